// A child control of the program's own. Its window class is registered once per name,
// on first use; the control is made at the rectangle of a placeholder control of its
// parent dialog, which marks in the template where it goes.
#pragma once

#include "framework/Window.h"

namespace fw {

class CustomControl : public Window {
public:
    // Creates the control under `parent` covering `placeholder` (a child of `parent`), with
    // the class style, cursor and window style given. The placeholder is left as it is.
    bool CreateAtPlaceholder(const wchar_t* className, HWND parent, HWND placeholder, UINT id, DWORD style,
                             UINT classStyle, HCURSOR cursor);
};

}  // namespace fw
