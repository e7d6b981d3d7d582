#include "framework/FolderPicker.h"

#include "framework/Handles.h"

#include <shobjidl.h>

namespace fw {

bool PickFolder(HWND owner, const std::wstring& startFolder, std::wstring& chosen)
{
    ComPtr<IFileDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return false;
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) options = 0;
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
    ComPtr<IShellItem> start;
    if (!startFolder.empty() &&
        SUCCEEDED(::SHCreateItemFromParsingName(startFolder.c_str(), nullptr, IID_PPV_ARGS(&start))))
        dialog->SetDefaultFolder(start.Get());
    if (FAILED(dialog->Show(owner))) return false;
    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(&result))) return false;
    wchar_t* path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return false;
    chosen = path;
    ::CoTaskMemFree(path);
    return true;
}

}  // namespace fw
