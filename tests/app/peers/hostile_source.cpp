// A program that offers, all at once, blocks shaped to make each parser work hardest,
// then an ordinary text, and serves them until told to finish:
//   hostile_source READY_EVENT GO_EVENT
// "Shell IDList Array": 4 MiB of 02 00 (every offset and item leads to the next item);
// CF_HDROP: names said to start far past the block; "FileGroupDescriptorW": 2^28
// descriptors claimed in 8 bytes; "DragImageBits": 4 MiB claiming 60000 × 60000 pixels;
// CF_DIB: a header claiming 30000 × 30000 pixels; CF_UNICODETEXT: an ordinary text.
// With "-" for both events it serves for half a minute without telling anyone.
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

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Repeated(std::initializer_list<uint8_t> unit, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = unit.begin()[i % unit.size()];
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) return 3;
    fw::OleInit ole;
    TestDataObject* object = TestDataObject::Create();

    auto idLists = Repeated({0x02, 0x00}, 4 << 20);
    idLists[idLists.size() - 2] = 0;  // every list ends at the block's end
    object->Offer(Fmt(::RegisterClipboardFormatW(L"Shell IDList Array")), GlobalMedium(idLists));

    std::vector<uint8_t> dropFiles(64, 0);
    Put32(dropFiles, 0, 0x7FFFFFF0);
    Put32(dropFiles, 16, 1);
    object->Offer(Fmt(CF_HDROP), GlobalMedium(dropFiles));

    std::vector<uint8_t> group(8, 0);
    Put32(group, 0, 1u << 28);
    object->Offer(Fmt(::RegisterClipboardFormatW(L"FileGroupDescriptorW")), GlobalMedium(group));

    auto drag = Repeated({0}, 4 << 20);
    Put32(drag, 0, 60000);
    Put32(drag, 4, 60000);
    object->Offer(Fmt(::RegisterClipboardFormatW(L"DragImageBits")), GlobalMedium(drag));

    std::vector<uint8_t> dib(40 + 1024, 0);
    Put32(dib, 0, 40);
    Put32(dib, 4, 30000);
    Put32(dib, 8, 30000);
    dib[12] = 1;
    dib[14] = 32;
    object->Offer(Fmt(CF_DIB), GlobalMedium(dib));

    const wchar_t text[] = L"敵対的なデータの後の普通のテキスト";
    std::vector<uint8_t> textBytes(sizeof text);
    std::memcpy(textBytes.data(), text, sizeof text);
    object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium(textBytes));

    if (FAILED(SetOleClipboard(object))) return 2;
    object->Release();

    const bool standalone = std::wstring(argv[1]) == L"-";
    fw::UniqueHandle ready(standalone ? nullptr : ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(standalone ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                   : ::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if ((!ready && !standalone) || !go) return 5;
    if (ready) ::SetEvent(ready.Get());
    testing_support::ServeMessagesUntil(go.Get(), standalone ? 30000 : 60000);
    ::OleSetClipboard(nullptr);
    return 0;
}
