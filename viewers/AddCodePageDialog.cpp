#include "viewers/AddCodePageDialog.h"

#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/textview_resource.h"
#include "viewers/CodePageList.h"
#include "viewers/bytes/CodePageText.h"

CAddCodePageDialog::CAddCodePageDialog() : fw::Dialog(IDD_ADD_CODEPAGE) {}

BOOL CAddCodePageDialog::OnInitDialog()
{
    m_edit.SubclassDlgItem(IDC_ADD_CODEPAGE_EDIT, GetSafeHwnd());
    const std::wstring stored = ReadStoredCodePages();
    const std::u16string lines = LinesForEditing(std::u16string(stored.begin(), stored.end()));
    SetDlgItemText(IDC_ADD_CODEPAGE_EDIT, std::wstring(lines.begin(), lines.end()));
    return TRUE;
}

void CAddCodePageDialog::OnOK()
{
    const std::wstring text = GetDlgItemText(IDC_ADD_CODEPAGE_EDIT);
    if (text.find(L';') != std::wstring::npos) {
        fw::AfxMessageBox(L";は使えません。");
        return;
    }
    const std::u16string stored = StoredFromLines(std::u16string(text.begin(), text.end()));
    fw::WriteProfileString(L"Settings", L"CodePages", std::wstring(stored.begin(), stored.end()));
    fw::Dialog::OnOK();
}
