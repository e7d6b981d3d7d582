#include "viewers/TextFindDialog.h"

#include "framework/MessageBox.h"
#include "res/textview_resource.h"

CTextFindDialog::CTextFindDialog(std::wstring pattern, bool ignoreCase)
    : fw::Dialog(IDD_TEXT_FIND), m_pattern(std::move(pattern)), m_ignoreCase(ignoreCase)
{
}

BOOL CTextFindDialog::OnInitDialog()
{
    SetDlgItemText(IDC_TEXT_FIND_PATTERN, m_pattern);
    ::CheckDlgButton(GetSafeHwnd(), IDC_TEXT_FIND_IGNORE_CASE, m_ignoreCase ? BST_CHECKED : BST_UNCHECKED);
    HWND edit = GetDlgItem(IDC_TEXT_FIND_PATTERN);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    ::SetFocus(edit);
    return FALSE;  // the focus is set
}

bool CTextFindDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_TEXT_FIND_BACKWARD && code == BN_CLICKED) {
        m_backward = true;
        OnOK();
        m_backward = false;  // still open: the pattern was refused
        return true;
    }
    return fw::Dialog::OnCommand(id, code);
}

void CTextFindDialog::OnOK()
{
    const std::wstring pattern = GetDlgItemText(IDC_TEXT_FIND_PATTERN);
    if (pattern.empty()) {
        fw::AfxMessageBox(L"検索する文字列を入力してください。");
        return;
    }
    m_pattern = pattern;
    m_ignoreCase = ::IsDlgButtonChecked(GetSafeHwnd(), IDC_TEXT_FIND_IGNORE_CASE) == BST_CHECKED;
    fw::Dialog::OnOK();
}
