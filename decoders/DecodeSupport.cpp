#include "decoders/DecodeSupport.h"

#include <array>
#include <cstdio>

std::string FieldBudget::Stopped(uint64_t offset)
{
    return "項目が多すぎるため、オフセット " + Dec(offset) + " 以降は表示しません";
}

DecodedField MakeField(std::string name, uint64_t offset, uint64_t size, std::string value, std::string meaning)
{
    DecodedField field;
    field.name = std::move(name);
    field.offset = offset;
    field.size = size;
    field.value = std::move(value);
    field.meaning = std::move(meaning);
    return field;
}

std::string Dec(uint64_t value)
{
    return std::to_string(value);
}

std::string DecSigned(int64_t value)
{
    return std::to_string(value);
}

std::string Hex(uint64_t value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
    return text;
}

std::string HexBytes(const uint8_t* bytes, size_t length, size_t limit)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < length && i < limit; ++i) {
        if (i) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    if (length > limit) text += " …";
    return text;
}

namespace {

void AppendCodePoint(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the UTF-8 sequence at `i` (1 to 4), or 0 when it is not valid there.
size_t Utf8SequenceLength(const uint8_t* bytes, size_t i, size_t end)
{
    const uint8_t b = bytes[i];
    if (b < 0x80) return 1;
    size_t length = 0;
    uint32_t min = 0;
    uint32_t c = 0;
    if ((b & 0xE0) == 0xC0) {
        length = 2, min = 0x80, c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        length = 3, min = 0x800, c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, c = b & 0x07;
    } else {
        return 0;
    }
    if (end - i < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((bytes[i + k] & 0xC0) != 0x80) return 0;
        c = c << 6 | (bytes[i + k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string Utf16ToUtf8(const uint8_t* bytes, size_t units)
{
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = static_cast<uint32_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
            const uint32_t low = static_cast<uint32_t>(bytes[2 * i + 2] | bytes[2 * i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendCodePoint(out, c);
    }
    return out;
}

std::string EightBitText(const DecodeInput& input, const uint8_t* bytes, size_t length, int codePage)
{
    if (input.ansiText) return input.ansiText(bytes, length, codePage);
    std::string out;
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] < 0x80) {
            out += static_cast<char>(bytes[i]);
        } else {
            out += "\\x";
            out += kDigits[bytes[i] >> 4];
            out += kDigits[bytes[i] & 0xF];
        }
    }
    return out;
}

size_t FindInvalidUtf8(const uint8_t* bytes, size_t begin, size_t end)
{
    size_t i = begin;
    while (i < end) {
        const size_t length = Utf8SequenceLength(bytes, i, end);
        if (length == 0) return i;
        i += length;
    }
    return end;
}

std::string Shorten(std::string_view utf8, size_t limit)
{
    std::string out;
    size_t points = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    size_t i = 0;
    while (i < utf8.size()) {
        if (points == limit) {
            out += "…";
            break;
        }
        const size_t length = Utf8SequenceLength(bytes, i, utf8.size());
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else if (length == 1 && (bytes[i] < 0x20 || bytes[i] == 0x7F)) {
            out += ' ';
            ++i;
        } else {
            out.append(utf8.substr(i, length));
            i += length;
        }
        ++points;
    }
    return out;
}

std::string BitNames(uint32_t value, const BitName* names, size_t count)
{
    std::string text;
    uint32_t rest = value;
    for (size_t i = 0; i < count; ++i) {
        if ((value & names[i].bit) == names[i].bit && names[i].bit != 0) {
            if (!text.empty()) text += " | ";
            text += names[i].name;
            rest &= ~names[i].bit;
        }
    }
    if (rest) {
        if (!text.empty()) text += " | ";
        text += Hex(rest, 8);
    }
    return text;
}

std::string GuidText(const uint8_t* b)
{
    const ByteView view{b, 16};
    std::string text = "{" + Hex(view.U32(0), 8).substr(2) + "-" + Hex(view.U16(4), 4).substr(2) + "-" +
                       Hex(view.U16(6), 4).substr(2) + "-";
    text += HexBytes(b + 8, 2, 2) + "-" + HexBytes(b + 10, 6, 6) + "}";
    std::string compact;
    for (char c : text)
        if (c != ' ') compact += c;
    return compact;
}

std::string FileTimeUtc(uint64_t fileTime)
{
    const uint64_t seconds = fileTime / 10000000;
    int64_t days = static_cast<int64_t>(seconds / 86400);
    const uint64_t rest = seconds % 86400;
    // Days from 1601-01-01 to 1970-01-01, then the civil-from-days conversion.
    days -= 134774;
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t year = yoe + era * 400;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    if (month <= 2) ++year;
    if (year > 9999) return std::string();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", static_cast<int>(year),
                  static_cast<int>(month), static_cast<int>(day), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

uint32_t Crc32(const uint8_t* bytes, size_t length, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
