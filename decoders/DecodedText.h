// A decoded tree as plain text, the same for the console report and the page's copy:
// one line per field, "name [offset, size] value  (meaning)", children indented by two
// spaces, each warning on a line of its own below its field, marked "! ". No <windows.h>.
#pragma once

#include "decoders/DecodedTree.h"

#include <string>

// The field's own line, without indent or line end.
std::string DecodedFieldLine(const DecodedField& field);
// The field, its warnings and its children (lazy ones are made), each line ending in `newline`.
std::string DecodedFieldText(DecodedField& field, const std::string& indent, const char* newline = "\n");
// "[構造] DECODER (警告 N)", the block's warnings, then every field.
std::string DecodedTreeText(DecodedTree& tree, const std::string& indent, const char* newline = "\n");
