#include "app/CopyingDialog.h"

#include "framework/MessageBox.h"
#include "res/resource.h"

namespace {

constexpr UINT_PTR kItemTextTimer = 1;

}  // namespace

CCopyingDialog::CCopyingDialog(std::wstring status) : fw::Dialog(IDD_COPYING), m_status(std::move(status)) {}

CCopyingDialog::~CCopyingDialog() = default;

void CCopyingDialog::Open()
{
    // Owned by the main window: no taskbar button of its own, always above it.
    CreateModeless(fw::GetMainWindow());
    HWND dialog = GetSafeHwnd();
    if (dialog) ::ShowWindow(dialog, SW_SHOW);
    if (HWND main = fw::GetMainWindow()) ::EnableWindow(main, FALSE);
    if (dialog) {
        ::EnableWindow(dialog, TRUE);
        ::SetFocus(dialog);
    }
}

void CCopyingDialog::Close()
{
    m_itemTextTimer.Stop();
    m_itemControl = nullptr;
    HWND main = fw::GetMainWindow();
    if (main) ::EnableWindow(main, TRUE);
    DestroyWindow();
    if (main) ::SetFocus(main);
}

void CCopyingDialog::SetItemText(const std::wstring& text)
{
    // The control is looked up once: finding a child window asks the window manager each time.
    if (!m_itemControl || !::IsWindow(m_itemControl)) {
        m_pendingItemText = text;
        return;
    }
    if (::GetTickCount64() - m_itemTextShownAt >= kItemTextInterval) {
        ShowItemText(text);
        return;
    }
    m_pendingItemText = text;
    m_itemTextPending = true;
    if (!m_itemTextTimer.IsRunning()) m_itemTextTimer.Start(GetSafeHwnd(), kItemTextTimer, kItemTextInterval);
}

void CCopyingDialog::ShowItemText(const std::wstring& text)
{
    m_itemTextTimer.Stop();
    m_itemTextPending = false;
    ::SetWindowTextW(m_itemControl, text.c_str());
    m_itemTextShownAt = ::GetTickCount64();
}

bool CCopyingDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM, INT_PTR& result)
{
    if (msg != WM_TIMER || wParam != kItemTextTimer) return false;
    // The capture pumps messages between its steps: the last text goes up here at the latest.
    if (m_itemTextPending) {
        ShowItemText(m_pendingItemText);
    } else {
        m_itemTextTimer.Stop();
    }
    result = 0;
    return true;
}

BOOL CCopyingDialog::OnInitDialog()
{
    m_itemControl = GetDlgItem(IDC_COPYING_ITEM);
    SetDlgItemText(IDC_COPYING_ITEM, m_pendingItemText);
    if (!m_status.empty()) SetDlgItemText(IDC_COPYING_STATUS, m_status);
    return TRUE;
}

void CCopyingDialog::OnCancel()
{
    if (m_stopRequested) return;
    m_stopRequested = 1;
    SetDlgItemText(IDC_COPYING_STATUS, L"中止しています...");
}
