// The shell's Explorer-style file dialogs for choosing one file to open or to save,
// shown modally over `owner`.
//
// Test seam: while a FileDialogAnswer lives, no dialog is shown; each request is
// recorded and the answer's path (or a cancel, when it is empty) is returned instead.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fw {

// One line of the dialog's type list: "テキスト (*.txt)" with the pattern "*.txt".
struct FileType {
    std::wstring name;
    std::wstring pattern;
};

struct FileDialogRequest {
    bool save = false;
    std::vector<FileType> types;
    std::wstring defaultExtension;  // without the dot; added when the user types none
    std::wstring fileName;          // the name the dialog starts with
};

// Save: asks before overwriting an existing file. True with the chosen file-system path
// when the user confirms; false on cancel or when the dialog cannot be made.
bool ChooseSaveFile(HWND owner, const FileDialogRequest& request, std::wstring& chosen);
// Open: the file must exist.
bool ChooseOpenFile(HWND owner, const FileDialogRequest& request, std::wstring& chosen);

class FileDialogAnswer {
public:
    explicit FileDialogAnswer(std::wstring path = {});
    FileDialogAnswer(const FileDialogAnswer&) = delete;
    FileDialogAnswer& operator=(const FileDialogAnswer&) = delete;
    ~FileDialogAnswer();

    const std::vector<FileDialogRequest>& Requests() const { return m_requests; }
    void SetPath(std::wstring path) { m_path = std::move(path); }

private:
    friend bool ShowFileDialog(HWND, const FileDialogRequest&, std::wstring&);
    std::wstring m_path;
    std::vector<FileDialogRequest> m_requests;
    FileDialogAnswer* m_previous;
};

}  // namespace fw
