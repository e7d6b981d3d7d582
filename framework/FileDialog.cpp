#include "framework/FileDialog.h"

#include "framework/Handles.h"

#include <shobjidl.h>

namespace fw {

namespace {

FileDialogAnswer* g_answer = nullptr;

}  // namespace

FileDialogAnswer::FileDialogAnswer(std::wstring path) : m_path(std::move(path)), m_previous(g_answer)
{
    g_answer = this;
}

FileDialogAnswer::~FileDialogAnswer()
{
    g_answer = m_previous;
}

bool ShowFileDialog(HWND owner, const FileDialogRequest& request, std::wstring& chosen)
{
    if (g_answer) {
        g_answer->m_requests.push_back(request);
        if (g_answer->m_path.empty()) return false;
        chosen = g_answer->m_path;
        return true;
    }

    ComPtr<IFileDialog> dialog;
    const CLSID& clsid = request.save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog;
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)))) return false;
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) options = 0;
    options |= FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
    options |= request.save ? FOS_OVERWRITEPROMPT : FOS_FILEMUSTEXIST;
    dialog->SetOptions(options);

    std::vector<COMDLG_FILTERSPEC> specs;
    for (const FileType& type : request.types) specs.push_back({type.name.c_str(), type.pattern.c_str()});
    if (!specs.empty()) dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    if (!request.defaultExtension.empty()) dialog->SetDefaultExtension(request.defaultExtension.c_str());
    if (!request.fileName.empty()) dialog->SetFileName(request.fileName.c_str());

    if (FAILED(dialog->Show(owner))) return false;
    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(&result))) return false;
    wchar_t* path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return false;
    chosen = path;
    ::CoTaskMemFree(path);
    return true;
}

bool ChooseSaveFile(HWND owner, const FileDialogRequest& request, std::wstring& chosen)
{
    FileDialogRequest save = request;
    save.save = true;
    return ShowFileDialog(owner, save, chosen);
}

bool ChooseOpenFile(HWND owner, const FileDialogRequest& request, std::wstring& chosen)
{
    FileDialogRequest open = request;
    open.save = false;
    return ShowFileDialog(owner, open, chosen);
}

}  // namespace fw
