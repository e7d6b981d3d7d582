// A program that reads the clipboard as another program pasting would, and writes what
// it saw to a file, one line per description (see ClipboardListing.h):
//   clipboard_reader OUTFILE
#include "tests/capture/ClipboardListing.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return 3;
    fw::OleInit ole;
    if (FAILED(ole.Result())) return 4;
    std::string text;
    for (const std::string& line : testing_support::ListClipboard()) text += line + "\n";
    fw::UniqueFile out(
        ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!out || !::WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return 2;
    return written == text.size() ? 0 : 2;
}
