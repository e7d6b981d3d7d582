// Building blocks of the decoder tests: little-endian writers and look-ups in a tree.
#pragma once

#include "decoders/Decoders.h"

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void PutU16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutU32BE(Bytes& b, uint32_t v)
{
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutText(Bytes& b, const std::string& text)
{
    b.insert(b.end(), text.begin(), text.end());
}
inline void PutWide(Bytes& b, const std::u16string& text)
{
    for (char16_t c : text) PutU16(b, c);
}
inline void SetU32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline DecodedTree DecodeAs(const char* format, const Bytes& bytes, const char* extension = "")
{
    const DecoderInfo* decoder = FindDecoder(format, extension);
    if (!decoder) return DecodedTree{"(none)", {}, {"no decoder"}};
    DecodeInput input;
    input.data = bytes.data();
    input.size = bytes.size();
    return RunDecoder(*decoder, input);
}

// The first field of that name, depth first, lazy children made on the way; null if none.
inline DecodedField* FindField(std::vector<DecodedField>& fields, const std::string& name)
{
    for (DecodedField& field : fields) {
        if (field.name == name) return &field;
        field.Children();
        if (DecodedField* found = FindField(field.children, name)) return found;
    }
    return nullptr;
}
inline DecodedField& Field(DecodedTree& tree, const std::string& name)
{
    static DecodedField missing;
    missing = DecodedField();
    missing.name = "(missing)";
    DecodedField* found = FindField(tree.fields, name);
    return found ? *found : missing;
}

// For a tree made in the same expression.
inline DecodedField& Field(DecodedTree&& tree, const std::string& name)
{
    return Field(tree, name);
}

// Every warning of the tree and its fields, joined by newlines.
inline void CollectWarnings(const std::vector<DecodedField>& fields, std::string& out)
{
    for (const DecodedField& field : fields) {
        for (const std::string& w : field.warnings) out += field.name + ": " + w + "\n";
        CollectWarnings(field.children, out);
    }
}
inline std::string AllWarnings(DecodedTree& tree)
{
    std::string out;
    for (const std::string& w : tree.warnings) out += w + "\n";
    FindField(tree.fields, "\x01");  // makes every lazy child
    CollectWarnings(tree.fields, out);
    return out;
}
inline std::string AllWarnings(DecodedTree&& tree)
{
    return AllWarnings(tree);
}

// The PNG CRC, written out here so that the decoder's is checked against another.
inline uint32_t Crc32ForTest(const Bytes& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}
