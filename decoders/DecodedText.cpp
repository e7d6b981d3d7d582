#include "decoders/DecodedText.h"

std::string DecodedFieldLine(const DecodedField& field)
{
    std::string line =
        field.name + " [" + std::to_string(field.offset) + ", " + std::to_string(field.size) + "] " + field.value;
    if (!field.meaning.empty()) line += "  (" + field.meaning + ")";
    return line;
}

std::string DecodedFieldText(DecodedField& field, const std::string& indent, const char* newline)
{
    std::string out = indent + DecodedFieldLine(field) + newline;
    for (const std::string& warning : field.warnings) out += indent + "  ! " + warning + newline;
    field.Children();
    for (DecodedField& child : field.children) out += DecodedFieldText(child, indent + "  ", newline);
    return out;
}

std::string DecodedTreeText(DecodedTree& tree, const std::string& indent, const char* newline)
{
    std::string out =
        indent + "[構造] " + tree.decoder + " (警告 " + std::to_string(CountWarnings(tree)) + ")" + newline;
    for (const std::string& warning : tree.warnings) out += indent + "  ! " + warning + newline;
    for (DecodedField& field : tree.fields) out += DecodedFieldText(field, indent + "  ", newline);
    return out;
}
