// A program that puts well-known formats on the clipboard, some of them with the faults
// real programs make, and serves them until told to finish:
//   structure_source READY_EVENT GO_EVENT
// "HTML Format" whose offsets count characters instead of UTF-8 bytes; CF_HDROP naming two
// files that are not there; "FileGroupDescriptorW" with a name that
// climbs out of its folder; "Preferred DropEffect" copy | link; CF_LOCALE Japanese; a
// 2 x 2 "PNG". With "-" for both events it serves for half a minute (screenshots).
#include "framework/Handles.h"
#include "tests/PeerServe.h"
#include "tests/TestDataObject.h"

#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::vector<uint8_t> Text(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

// The offsets count characters: the Japanese text before the fragment makes them short.
std::vector<uint8_t> HtmlCountedInCharacters()
{
    const std::string body =
        "<html><body>\xE8\xA1\xA8:<!--StartFragment--><b>\xE5\xA4\xAA\xE5\xAD\x97</b><!--EndFragment--></body></html>";
    // Header 105 bytes; before the fragment 1 + 13 + 20 characters, the fragment 9, after it 32.
    std::string html =
        "Version:0.9\r\nStartHTML:0000000105\r\nEndHTML:0000000180\r\n"
        "StartFragment:0000000139\r\nEndFragment:0000000148\r\n" +
        body;
    std::vector<uint8_t> bytes = Text(html);
    bytes.push_back(0);
    return bytes;
}

std::vector<uint8_t> DropFiles()
{
    std::vector<uint8_t> bytes(20, 0);
    PutU32(bytes, 0, 20);
    PutU32(bytes, 16, 1);  // wide names
    for (const wchar_t* name : {L"C:\\orvetta-absent\\a.txt", L"C:\\orvetta-absent\\b.txt", L""}) {
        for (const wchar_t* c = name; *c; ++c)
            bytes.insert(bytes.end(), {static_cast<uint8_t>(*c), static_cast<uint8_t>(*c >> 8)});
        bytes.insert(bytes.end(), {0, 0});
    }
    return bytes;
}

std::vector<uint8_t> FileGroup()
{
    std::vector<uint8_t> bytes(4 + 2 * 592, 0);
    PutU32(bytes, 0, 2);
    const wchar_t* names[] = {L"\u5831\u544A.txt", L"..\\outside.txt"};
    for (int i = 0; i < 2; ++i) {
        const size_t base = 4 + i * 592;
        PutU32(bytes, base, 0x40 | 0x20);  // FD_FILESIZE | FD_WRITESTIME
        PutU32(bytes, base + 56, 0xD53E8000);
        PutU32(bytes, base + 60, 0x01D5C0E1);
        PutU32(bytes, base + 68, 1000 * (i + 1));
        std::memcpy(bytes.data() + base + 72, names[i], std::wcslen(names[i]) * 2);
    }
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) return 3;
    fw::OleInit ole;
    const bool standalone = std::wstring(argv[1]) == L"-";
    fw::UniqueHandle ready(standalone ? nullptr : ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(standalone ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                   : ::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if ((!ready && !standalone) || !go) return 5;

    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(::RegisterClipboardFormatW(L"HTML Format")), GlobalMedium(HtmlCountedInCharacters()));
    object->Offer(Fmt(CF_HDROP), GlobalMedium(DropFiles()));
    object->Offer(Fmt(::RegisterClipboardFormatW(L"FileGroupDescriptorW")), GlobalMedium(FileGroup()));
    object->Offer(Fmt(::RegisterClipboardFormatW(L"Preferred DropEffect")), GlobalMedium({5, 0, 0, 0}));
    object->Offer(Fmt(CF_LOCALE), GlobalMedium({0x11, 0x04, 0, 0}));
    object->Offer(
        Fmt(::RegisterClipboardFormatW(L"PNG")),
        GlobalMedium({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
                      0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xFD,
                      0xD4, 0x9A, 0x73, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8,
                      0xCF, 0xC0, 0xC0, 0x00, 0xC2, 0x0C, 0xFF, 0x81, 0x00, 0x00, 0x1F, 0xEE, 0x05, 0xFB, 0x0B,
                      0xD9, 0x68, 0x8B, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82}));
    const HRESULT hr = SetOleClipboard(object);
    object->Release();
    if (FAILED(hr)) return 2;
    if (ready) ::SetEvent(ready.Get());
    testing_support::ServeMessagesUntil(go.Get(), standalone ? 30000 : 60000);
    ::OleSetClipboard(nullptr);
    return 0;
}
