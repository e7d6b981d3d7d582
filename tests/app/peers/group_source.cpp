// A program that puts dropped files and a file group on the clipboard and serves them
// until told to finish:
//   group_source READY_EVENT GO_EVENT FOLDER
// CF_HDROP names FOLDER; "FileGroupDescriptorW" names three files, two of them alike,
// whose bytes FileContents delivers by index.
#include "framework/Handles.h"
#include "tests/PeerServe.h"
#include "tests/TestDataObject.h"
#include "tests/capture/WalkTestSupport.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) return 3;
    fw::OleInit ole;
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_HDROP), GlobalMedium(DropFilesBytes({argv[3]}, true)));
    object->Offer(Fmt(::RegisterClipboardFormatW(L"FileGroupDescriptorW")),
                  GlobalMedium(FileGroupBytes({L"報告:書?.txt", L"same.txt", L"same.txt"})));
    const UINT contents = ::RegisterClipboardFormatW(L"FileContents");
    object->OfferOnly(Fmt(contents, TYMED_ISTREAM));
    for (LONG i = 0; i < 3; ++i)
        object->Answer(Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, i),
                       StreamMedium({static_cast<uint8_t>('0' + i), 'x'}));
    if (FAILED(::OleSetClipboard(object))) return 2;
    object->Release();

    fw::UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    fw::UniqueHandle go(::OpenEventW(SYNCHRONIZE, FALSE, argv[2]));
    if (!ready || !go) return 5;
    ::SetEvent(ready.Get());
    testing_support::ServeMessagesUntil(go.Get(), 60000);
    ::OleSetClipboard(nullptr);
    return 0;
}
