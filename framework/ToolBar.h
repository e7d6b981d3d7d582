// A toolbar control built from a toolbar resource (button size and command IDs, 0 for a
// separator) and the bitmap of the same ID holding the button images side by side.
#pragma once

#include "framework/Window.h"

namespace fw {

class ToolBar : public Window {
public:
    bool Create(HWND parent, DWORD toolbarStyle, DWORD style, UINT id);
    bool LoadToolBar(UINT resourceId);
    int GetCount() const;
    UINT GetItemID(int index) const;
    RECT GetItemRect(int index) const;
    // Makes the item at `index` a separator `width` pixels wide.
    void SetSeparatorWidth(int index, int width);
    int GetHeight() const;
    // Appends a check button showing the bitmap resource (one image of the toolbar's size).
    bool AddCheckButton(UINT commandId, UINT bitmapId);
    void SetChecked(UINT commandId, bool checked);
    bool IsChecked(UINT commandId) const;
};

}  // namespace fw
