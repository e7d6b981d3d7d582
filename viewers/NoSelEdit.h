// An edit control that keeps its selection when tabbed into (no DLGC_HASSETSEL) and
// selects its whole text on Ctrl+A. The key is handled by the subclassed control
// itself, so it works under any message loop, with or without dialog navigation.
#pragma once

#include "framework/Window.h"

class CNoSelEdit : public fw::Window {
public:
    // Takes over the edit `id` of `dialog`.
    bool SubclassDlgItem(int id, HWND dialog) { return Subclass(::GetDlgItem(dialog, id)); }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
