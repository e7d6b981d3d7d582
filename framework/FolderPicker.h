// The shell's folder chooser (the file-open dialog in folder mode, file-system folders
// only), shown modally over `owner`.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// Starts in `startFolder` when the shell can parse it, else at the dialog's own default
// place. True with the chosen folder's path when the user confirms; false on cancel or
// when the dialog cannot be made or gives no file-system path.
bool PickFolder(HWND owner, const std::wstring& startFolder, std::wstring& chosen);

}  // namespace fw
