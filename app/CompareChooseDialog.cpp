#include "app/CompareChooseDialog.h"

#include "res/compare_resource.h"

#include <commctrl.h>

CCompareChooseDialog::CCompareChooseDialog(std::wstring titleA, std::vector<CompareCandidate> candidates,
                                           size_t preselected)
    : fw::Dialog(IDD_COMPARE_CHOOSE),
      m_titleA(std::move(titleA)),
      m_candidates(std::move(candidates)),
      m_chosen(preselected)
{
}

BOOL CCompareChooseDialog::OnInitDialog()
{
    SetDlgItemText(IDC_COMPARE_CHOOSE_HEADER, L"A: " + m_titleA + L"\r\nB にするスナップショットを選んでください。");
    HWND list = GetDlgItem(IDC_COMPARE_CHOOSE_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    const wchar_t* const captions[] = {L"スナップショット", L"取得日時", L"所有者"};
    const int widths[] = {160, 150, 230};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(captions[i]);
        column.cx = widths[i];
        ListView_InsertColumn(list, i, &column);
    }
    for (size_t r = 0; r < m_candidates.size(); ++r) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = const_cast<wchar_t*>(m_candidates[r].title.c_str());
        const int at = ListView_InsertItem(list, &item);
        ListView_SetItemText(list, at, 1, const_cast<wchar_t*>(m_candidates[r].taken.c_str()));
        ListView_SetItemText(list, at, 2, const_cast<wchar_t*>(m_candidates[r].owner.c_str()));
    }
    if (m_chosen < m_candidates.size()) {
        const int at = static_cast<int>(m_chosen);
        ListView_SetItemState(list, at, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, at, FALSE);
    }
    ::EnableWindow(GetDlgItem(IDOK), Selected() >= 0);
    ::SetFocus(list);
    return FALSE;
}

int CCompareChooseDialog::Selected() const
{
    const int selected = ListView_GetNextItem(GetDlgItem(IDC_COMPARE_CHOOSE_LIST), -1, LVNI_SELECTED);
    return selected >= 0 && static_cast<size_t>(selected) < m_candidates.size() ? selected : -1;
}

void CCompareChooseDialog::OnOK()
{
    const int selected = Selected();
    if (selected < 0) {
        ::MessageBeep(MB_OK);
        return;
    }
    m_chosen = static_cast<size_t>(selected);
    ::EndDialog(GetSafeHwnd(), IDOK);
}

bool CCompareChooseDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_COMPARE_CHOOSE_FILE) {
        ::EndDialog(GetSafeHwnd(), kChooseFile);
        return true;
    }
    return fw::Dialog::OnCommand(id, code);
}

LRESULT CCompareChooseDialog::OnNotify(NMHDR* header)
{
    if (header->idFrom == IDC_COMPARE_CHOOSE_LIST) {
        if (header->code == LVN_ITEMCHANGED) ::EnableWindow(GetDlgItem(IDOK), Selected() >= 0);
        if (header->code == NM_DBLCLK && Selected() >= 0) OnOK();
    }
    return fw::Dialog::OnNotify(header);
}
