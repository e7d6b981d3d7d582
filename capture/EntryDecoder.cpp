#include "capture/EntryDecoder.h"

#include "capture/CBData.h"
#include "capture/FormatCatalogue.h"
#include "framework/Handles.h"
#include "framework/Utf8.h"

#include <windows.h>

#include <algorithm>

namespace {

std::string EightBitToUtf8(const uint8_t* bytes, size_t length, int codePage)
{
    if (length == 0) return std::string();
    const UINT cp = codePage == 0 ? CP_ACP : codePage == 1 ? CP_OEMCP : static_cast<UINT>(codePage);
    const int count = static_cast<int>(std::min<size_t>(length, 0x7FFFFFFF));
    const auto* text = reinterpret_cast<const char*>(bytes);
    const int wide = ::MultiByteToWideChar(cp, 0, text, count, nullptr, 0);
    if (wide <= 0) return std::string(text, count);
    std::wstring out(wide, L'\0');
    ::MultiByteToWideChar(cp, 0, text, count, out.data(), wide);
    return fw::ToUtf8(out);
}

std::optional<LocaleFacts> LookUpLocale(uint32_t lcid)
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (::LCIDToLocaleName(lcid, name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return std::nullopt;
    DWORD ansi = 0, oem = 0;
    ::GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&ansi),
                     sizeof ansi / sizeof(wchar_t));
    ::GetLocaleInfoW(lcid, LOCALE_IDEFAULTCODEPAGE | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&oem),
                     sizeof oem / sizeof(wchar_t));
    return LocaleFacts{fw::ToUtf8(name), ansi, oem};
}

std::string LocalTime(uint64_t fileTime)
{
    FILETIME utc = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME universal, local;
    if (!::FileTimeToSystemTime(&utc, &universal) || !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return std::string();
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
              local.wSecond);
    return text;
}

}  // namespace

std::string DecoderFormatName(const CCBData& entry)
{
    const UINT format = entry.m_fmt.cfFormat;
    if (format >= 0xC000) {
        wchar_t name[256] = {};
        const int length = ::GetClipboardFormatNameW(format, name, 256);
        if (length > 0) return fw::ToUtf8(std::wstring_view(name, length));
    }
    const std::wstring name = GetFormatName(format);
    return fw::ToUtf8(name);
}

const DecoderInfo* FindEntryDecoder(const CCBData& entry)
{
    if (!entry.HasData()) return nullptr;
    std::string extension;
    if (const size_t dot = entry.m_name.rfind(L'.'); dot != std::wstring::npos) {
        extension = fw::ToUtf8(std::wstring_view(entry.m_name).substr(dot));
    }
    return FindDecoder(DecoderFormatName(entry), extension);
}

DecodeInput SystemDecodeInput(const uint8_t* data, size_t size)
{
    DecodeInput input;
    input.data = data;
    input.size = size;
    input.ansiText = &EightBitToUtf8;
    input.locale = &LookUpLocale;
    input.localTime = &LocalTime;
    return input;
}

std::unique_ptr<EntryDecoding> DecodeEntry(const CCBData& entry)
{
    const DecoderInfo* decoder = FindEntryDecoder(entry);
    if (!decoder) return nullptr;
    fw::UniqueFile file(::CreateFileW(entry.m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    // Only the part the decoders look at is read; a larger entry is decoded with a warning.
    const uint64_t wanted = std::min<uint64_t>(entry.m_dataSize, kMaxDecodedBytes);
    auto decoding = std::make_unique<EntryDecoding>();
    decoding->bytes = std::make_shared<std::vector<uint8_t>>();
    try {
        decoding->bytes->resize(static_cast<size_t>(wanted));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    DWORD got = 0;
    if (!::ReadFile(file.Get(), decoding->bytes->data(), static_cast<DWORD>(wanted), &got, nullptr)) return nullptr;
    decoding->bytes->resize(got);
    DecodeInput input = SystemDecodeInput(decoding->bytes->data(), decoding->bytes->size());
    decoding->tree = RunDecoder(*decoder, input);
    if (entry.m_dataSize > got)
        decoding->tree.warnings.insert(decoding->tree.warnings.begin(),
                                       "先頭の " + std::to_string(got) + " バイトだけを解析しました (データは " +
                                           std::to_string(entry.m_dataSize) + " バイト)");
    return decoding;
}
