#include "framework/CustomControl.h"

namespace fw {

bool CustomControl::CreateAtPlaceholder(const wchar_t* className, HWND parent, HWND placeholder, UINT id, DWORD style,
                                        UINT classStyle, HCURSOR cursor)
{
    RECT r = {};
    if (placeholder) {
        ::GetWindowRect(placeholder, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    }
    return Create(className, L"", style, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), classStyle, nullptr, nullptr, cursor);
}

}  // namespace fw
