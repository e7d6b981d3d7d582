#include "app/CopyingDialog.h"

#include "framework/MessageBox.h"
#include "res/resource.h"

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
    HWND main = fw::GetMainWindow();
    if (main) ::EnableWindow(main, TRUE);
    DestroyWindow();
    if (main) ::SetFocus(main);
}

void CCopyingDialog::SetItemText(const std::wstring& text)
{
    if (GetDlgItem(IDC_COPYING_ITEM))
        SetDlgItemText(IDC_COPYING_ITEM, text);
    else
        m_pendingItemText = text;
}

BOOL CCopyingDialog::OnInitDialog()
{
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
