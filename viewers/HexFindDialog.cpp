#include "viewers/HexFindDialog.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "res/find_resource.h"

namespace {

bool Checked(HWND dialog, int id)
{
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void Check(HWND dialog, int id, bool on)
{
    ::CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

CHexFindDialog::CHexFindDialog(std::function<void(bool)> find) : fw::Dialog(IDD_HEX_FIND), m_find(std::move(find)) {}

FindQuery& CHexFindDialog::LastQuery()
{
    static FindQuery query;
    return query;
}

void CHexFindDialog::Show(HWND owner, UINT codePage)
{
    m_codePage = codePage;
    if (!GetSafeHwnd() && !CreateModeless(owner)) return;
    Load();
    HWND text = GetDlgItem(IDC_FIND_TEXT);
    ::SendMessageW(text, EM_SETSEL, 0, -1);
    ::ShowWindow(GetSafeHwnd(), SW_SHOW);
    ::SetFocus(text);
}

BOOL CHexFindDialog::OnInitDialog()
{
    Load();
    return TRUE;
}

void CHexFindDialog::LoadQuery(const fw::Dialog& dialog)
{
    const FindQuery& query = LastQuery();
    HWND hwnd = dialog.GetSafeHwnd();
    dialog.SetDlgItemText(IDC_FIND_TEXT, query.text);
    ::CheckRadioButton(hwnd, IDC_FIND_AS_TEXT, IDC_FIND_AS_HEX, query.hex ? IDC_FIND_AS_HEX : IDC_FIND_AS_TEXT);
    Check(hwnd, IDC_FIND_CODE_PAGE, query.codePage);
    Check(hwnd, IDC_FIND_UTF8, query.utf8);
    Check(hwnd, IDC_FIND_UTF16, query.utf16);
    Check(hwnd, IDC_FIND_IGNORE_CASE, query.ignoreCase);
}

void CHexFindDialog::StoreQuery(const fw::Dialog& dialog)
{
    FindQuery& query = LastQuery();
    HWND hwnd = dialog.GetSafeHwnd();
    query.text = dialog.GetDlgItemText(IDC_FIND_TEXT);
    query.hex = Checked(hwnd, IDC_FIND_AS_HEX);
    query.codePage = Checked(hwnd, IDC_FIND_CODE_PAGE);
    query.utf8 = Checked(hwnd, IDC_FIND_UTF8);
    query.utf16 = Checked(hwnd, IDC_FIND_UTF16);
    query.ignoreCase = Checked(hwnd, IDC_FIND_IGNORE_CASE);
}

void CHexFindDialog::Load()
{
    LoadQuery(*this);
    SetDlgItemText(IDC_FIND_CODE_PAGE, fw::Format(L"コードページ %u", m_codePage));
    UpdateEncodings();
}

void CHexFindDialog::UpdateEncodings()
{
    // Hex bytes are searched as they are: the encodings do not apply.
    const BOOL text = !Checked(GetSafeHwnd(), IDC_FIND_AS_HEX);
    for (int id : {IDC_FIND_CODE_PAGE, IDC_FIND_UTF8, IDC_FIND_UTF16, IDC_FIND_IGNORE_CASE})
        ::EnableWindow(GetDlgItem(id), text);
}

bool CHexFindDialog::OnCommand(WORD id, WORD code)
{
    if ((id == IDC_FIND_AS_TEXT || id == IDC_FIND_AS_HEX) && code == BN_CLICKED) {
        UpdateEncodings();
        return true;
    }
    if (id == IDC_FIND_PREVIOUS && code == BN_CLICKED) {
        StoreQuery(*this);
        if (m_find) m_find(true);
        return true;
    }
    return fw::Dialog::OnCommand(id, code);
}

void CHexFindDialog::OnOK()
{
    StoreQuery(*this);
    if (m_find) m_find(false);
}

void CHexFindDialog::OnCancel()
{
    StoreQuery(*this);
    ::ShowWindow(GetSafeHwnd(), SW_HIDE);
}

CHexGotoDialog::CHexGotoDialog() : fw::Dialog(IDD_HEX_GOTO) {}

void CHexGotoDialog::OnOK()
{
    const bool decimal = ::IsDlgButtonChecked(GetSafeHwnd(), IDC_GOTO_DECIMAL) == BST_CHECKED;
    if (!ParseOffsetText(GetDlgItemText(IDC_GOTO_OFFSET), decimal, m_offset)) {
        fw::AfxMessageBox(L"オフセットを 16進数（0x1f、1f）か 10進数（#31）で入力してください。");
        ::SetFocus(GetDlgItem(IDC_GOTO_OFFSET));
        return;
    }
    fw::Dialog::OnOK();
}
