// What a decoder makes of a block of bytes: a tree of fields, each with where it lies in
// the block, its value as the data shows it, a short meaning and the warnings found on
// it. Texts are UTF-8 (names are the platform's member names, meanings and warnings are
// Japanese). No <windows.h>: built natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DecodedField {
    std::string name;
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string value;
    std::string meaning;
    std::vector<std::string> warnings;
    std::vector<DecodedField> children;
    // Children of large arrays are made when they are first asked for; the function reads
    // the bytes the decoder was given, which must outlive it. `lazyWarnings` counts the
    // warnings those children will carry, so that the total is known at once.
    std::function<std::vector<DecodedField>()> lazyChildren;
    size_t lazyWarnings = 0;

    bool HasChildren() const { return !children.empty() || static_cast<bool>(lazyChildren); }
    // The children, made from `lazyChildren` when they are not there yet.
    std::vector<DecodedField>& Children();
};

struct DecodedTree {
    std::string decoder;  // the decoder's name: "HTML Format", "DROPFILES", …
    std::vector<DecodedField> fields;
    std::vector<std::string> warnings;  // about the block as a whole
};

// Every warning of the tree: the block's own, the fields', and those lazy children will carry.
size_t CountWarnings(const DecodedTree& tree);
size_t CountWarnings(const DecodedField& field);
