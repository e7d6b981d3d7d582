#include "framework/Dialog.h"

#include "framework/ExceptionBarrier.h"

#include <vector>

namespace fw {

Dialog::~Dialog()
{
    if (m_hwnd && !m_modal) ::DestroyWindow(m_hwnd);
}

INT_PTR Dialog::DoModal(HWND parent)
{
    m_modal = true;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), parent, &Dialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless(HWND parent)
{
    m_modal = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), parent,
                                &Dialog::DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Dialog::CreateModelessIndirect(HWND parent, const DLGTEMPLATE* dialogTemplate)
{
    m_modal = false;
    return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate, parent, &Dialog::DialogProc,
                                        reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::DestroyWindow()
{
    if (m_hwnd) ::DestroyWindow(m_hwnd);
}

void Dialog::SetDlgItemText(int id, const std::wstring& text) const
{
    if (m_hwnd) ::SetDlgItemTextW(m_hwnd, id, text.c_str());
}

std::wstring Dialog::GetDlgItemText(int id) const
{
    HWND item = GetDlgItem(id);
    if (!item) return std::wstring();
    std::vector<wchar_t> buffer(::GetWindowTextLengthW(item) + 1, L'\0');
    const int length = ::GetWindowTextW(item, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

bool Dialog::OnCommand(WORD id, WORD)
{
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

LRESULT Dialog::OnNotify(NMHDR*)
{
    return 0;
}

void Dialog::OnOK()
{
    if (m_modal) ::EndDialog(m_hwnd, IDOK);
}

void Dialog::OnCancel()
{
    if (m_modal) ::EndDialog(m_hwnd, IDCANCEL);
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        return Dispatch(hwnd, msg, wParam, lParam);
    } catch (...) {
        // No exception may enter the dialog manager that called this procedure.
        ReportCaughtException();
        return FALSE;
    }
}

INT_PTR Dialog::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return self->OnInitDialog();
    }
    self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    switch (msg) {
        case WM_COMMAND:
            return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_NOTIFY: {
            const LRESULT result = self->OnNotify(reinterpret_cast<NMHDR*>(lParam));
            ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_NCDESTROY:
            self->m_hwnd = nullptr;
            ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            return FALSE;
        default: {
            INT_PTR result = 0;
            return self->OnMessage(msg, wParam, lParam, result) ? result : FALSE;
        }
    }
}

}  // namespace fw
