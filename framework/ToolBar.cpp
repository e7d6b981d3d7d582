#include "framework/ToolBar.h"

#include <commctrl.h>

#include <vector>

namespace fw {

bool ToolBar::Create(HWND parent, DWORD toolbarStyle, DWORD style, UINT id)
{
    HWND hwnd =
        ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style | toolbarStyle | CCS_NODIVIDER, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return false;
    ::SendMessageW(hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return Subclass(hwnd);
}

bool ToolBar::LoadToolBar(UINT resourceId)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(241));  // RT_TOOLBAR
    if (!found) return false;
    HGLOBAL loaded = ::LoadResource(instance, found);
    const auto* data = static_cast<const WORD*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(instance, found);
    // version, button width, button height, item count, then one command ID per item
    if (!data || size < 8 || data[0] != 1) return false;
    const WORD width = data[1], height = data[2], count = data[3];
    if (size < 8u + 2u * count) return false;

    ::SendMessageW(m_hwnd, TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
    ::SendMessageW(m_hwnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(width + 7, height + 7));
    int images = 0;
    for (WORD i = 0; i < count; ++i) images += data[4 + i] != 0;
    TBADDBITMAP bitmap = {instance, resourceId};
    if (::SendMessageW(m_hwnd, TB_ADDBITMAP, images, reinterpret_cast<LPARAM>(&bitmap)) < 0) return false;

    std::vector<TBBUTTON> buttons(count);
    int image = 0;
    for (WORD i = 0; i < count; ++i) {
        TBBUTTON& b = buttons[i];
        b.idCommand = data[4 + i];
        if (b.idCommand == 0) {
            b.fsStyle = BTNS_SEP;
            b.iBitmap = 8;
        } else {
            b.fsStyle = BTNS_BUTTON;
            b.fsState = TBSTATE_ENABLED;
            b.iBitmap = image++;
        }
    }
    if (!::SendMessageW(m_hwnd, TB_ADDBUTTONSW, count, reinterpret_cast<LPARAM>(buttons.data()))) return false;
    ::SendMessageW(m_hwnd, TB_AUTOSIZE, 0, 0);
    return true;
}

int ToolBar::GetCount() const
{
    return static_cast<int>(::SendMessageW(m_hwnd, TB_BUTTONCOUNT, 0, 0));
}

UINT ToolBar::GetItemID(int index) const
{
    TBBUTTON button = {};
    ::SendMessageW(m_hwnd, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
    return static_cast<UINT>(button.idCommand);
}

RECT ToolBar::GetItemRect(int index) const
{
    RECT rect = {};
    ::SendMessageW(m_hwnd, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    return rect;
}

void ToolBar::SetSeparatorWidth(int index, int width)
{
    TBBUTTON button = {};
    ::SendMessageW(m_hwnd, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
    button.fsStyle = BTNS_SEP;
    button.iBitmap = width;  // a separator's width lives in its image index
    ::SendMessageW(m_hwnd, TB_DELETEBUTTON, index, 0);
    ::SendMessageW(m_hwnd, TB_INSERTBUTTONW, index, reinterpret_cast<LPARAM>(&button));
    ::SendMessageW(m_hwnd, TB_AUTOSIZE, 0, 0);
}

int ToolBar::GetHeight() const
{
    RECT rect = {};
    ::GetWindowRect(m_hwnd, &rect);
    return rect.bottom - rect.top;
}

bool ToolBar::AddCheckButton(UINT commandId, UINT bitmapId)
{
    TBADDBITMAP bitmap = {::GetModuleHandleW(nullptr), bitmapId};
    const LRESULT image = ::SendMessageW(m_hwnd, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bitmap));
    if (image < 0) return false;
    TBBUTTON button = {};
    button.iBitmap = static_cast<int>(image);
    button.idCommand = static_cast<int>(commandId);
    button.fsStyle = BTNS_CHECK;
    button.fsState = TBSTATE_ENABLED;
    return ::SendMessageW(m_hwnd, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)) != FALSE;
}

void ToolBar::SetChecked(UINT commandId, bool checked)
{
    ::SendMessageW(m_hwnd, TB_CHECKBUTTON, commandId, MAKELPARAM(checked ? TRUE : FALSE, 0));
}

bool ToolBar::IsChecked(UINT commandId) const
{
    return ::SendMessageW(m_hwnd, TB_ISBUTTONCHECKED, commandId, 0) != 0;
}

}  // namespace fw
