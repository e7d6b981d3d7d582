// Helpers the decoders share: bounds-checked little- and big-endian reads, field makers,
// number and text formatting. No <windows.h>.
#pragma once

#include "decoders/Decoders.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A view of the block that answers only what it holds.
struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;

    bool Has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
    uint8_t U8(size_t offset) const { return data[offset]; }
    uint16_t U16(size_t offset) const { return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8); }
    uint32_t U32(size_t offset) const
    {
        return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
               static_cast<uint32_t>(data[offset + 2]) << 16 | static_cast<uint32_t>(data[offset + 3]) << 24;
    }
    int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
    uint64_t U64(size_t offset) const { return U32(offset) | static_cast<uint64_t>(U32(offset + 4)) << 32; }
    uint16_t U16BE(size_t offset) const { return static_cast<uint16_t>(data[offset] << 8 | data[offset + 1]); }
    uint32_t U32BE(size_t offset) const
    {
        return static_cast<uint32_t>(data[offset]) << 24 | static_cast<uint32_t>(data[offset + 1]) << 16 |
               static_cast<uint32_t>(data[offset + 2]) << 8 | static_cast<uint32_t>(data[offset + 3]);
    }
};

// Counts the fields a decoder makes against kMaxDecodedFields.
class FieldBudget {
public:
    // False once the budget is spent; the caller stops and says so with Stopped().
    bool Take(size_t count = 1)
    {
        if (m_used + count > kMaxDecodedFields) return false;
        m_used += count;
        return true;
    }
    static std::string Stopped(uint64_t offset);

private:
    size_t m_used = 0;
};

DecodedField MakeField(std::string name, uint64_t offset, uint64_t size, std::string value,
                       std::string meaning = std::string());

std::string Dec(uint64_t value);
std::string DecSigned(int64_t value);
// "0x" and `digits` upper-case hexadecimal digits.
std::string Hex(uint64_t value, int digits);
// Up to `limit` bytes as "4D 5A 90", with " …" when there were more.
std::string HexBytes(const uint8_t* bytes, size_t length, size_t limit);

// UTF-16LE units as UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const uint8_t* bytes, size_t units);
// 8-bit text as the input's converter gives it, else ASCII with \xNN for the rest.
std::string EightBitText(const DecodeInput& input, const uint8_t* bytes, size_t length, int codePage);
// The offset of the first byte that breaks UTF-8 in [begin, end), or `end`.
size_t FindInvalidUtf8(const uint8_t* bytes, size_t begin, size_t end);
// Text shortened to about `limit` code points, with "…" when cut; control characters shown as spaces.
std::string Shorten(std::string_view utf8, size_t limit);

// Names of the bits set in `value` from `names` joined by " | ", unknown bits as one hex word.
struct BitName {
    uint32_t bit;
    const char* name;
};
std::string BitNames(uint32_t value, const BitName* names, size_t count);
template <size_t N>
std::string BitNames(uint32_t value, const BitName (&names)[N])
{
    return BitNames(value, names, N);
}

// A GUID in its registry form, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}; 16 bytes are there.
std::string GuidText(const uint8_t* bytes);
// A FILETIME as UTC "YYYY-MM-DD hh:mm:ss UTC"; empty when it lies past the year 9999.
std::string FileTimeUtc(uint64_t fileTime);

// The 32-bit CRC of PNG and zip.
uint32_t Crc32(const uint8_t* bytes, size_t length, uint32_t crc = 0);

// The decoders, by family.
DecodedTree DecodeHtmlFormat(const DecodeInput& input);
DecodedTree DecodeDropFiles(const DecodeInput& input);
DecodedTree DecodeFileGroupDescriptorA(const DecodeInput& input);
DecodedTree DecodeFileGroupDescriptorW(const DecodeInput& input);
DecodedTree DecodeShellIdList(const DecodeInput& input);
DecodedTree DecodeShellObjectOffsets(const DecodeInput& input);
DecodedTree DecodeDropEffect(const DecodeInput& input);
DecodedTree DecodeBool(const DecodeInput& input);
DecodedTree DecodeWindowHandle(const DecodeInput& input);
DecodedTree DecodeDropDescription(const DecodeInput& input);
DecodedTree DecodeDragImageBits(const DecodeInput& input);
DecodedTree DecodeLocale(const DecodeInput& input);
DecodedTree DecodeDib(const DecodeInput& input);
DecodedTree DecodeBmpFile(const DecodeInput& input);
DecodedTree DecodePng(const DecodeInput& input);
DecodedTree DecodeJpeg(const DecodeInput& input);
DecodedTree DecodeGif(const DecodeInput& input);
DecodedTree DecodeMetaFilePict(const DecodeInput& input);
DecodedTree DecodeEnhMetaFile(const DecodeInput& input);
DecodedTree DecodeObjectDescriptor(const DecodeInput& input);
DecodedTree DecodeAnsiString(const DecodeInput& input);
DecodedTree DecodeWideString(const DecodeInput& input);
DecodedTree DecodeMozUrl(const DecodeInput& input);
DecodedTree DecodeRtf(const DecodeInput& input);
DecodedTree DecodeChromiumCustomData(const DecodeInput& input);
