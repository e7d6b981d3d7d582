#include "decoders/DecodedTree.h"

std::vector<DecodedField>& DecodedField::Children()
{
    if (lazyChildren) {
        children = lazyChildren();
        lazyChildren = nullptr;
        lazyWarnings = 0;
    }
    return children;
}

size_t CountWarnings(const DecodedField& field)
{
    size_t count = field.warnings.size() + field.lazyWarnings;
    for (const DecodedField& child : field.children) count += CountWarnings(child);
    return count;
}

size_t CountWarnings(const DecodedTree& tree)
{
    size_t count = tree.warnings.size();
    for (const DecodedField& field : tree.fields) count += CountWarnings(field);
    return count;
}
