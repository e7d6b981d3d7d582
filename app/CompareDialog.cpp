#include "app/CompareDialog.h"

#include "res/watch_resource.h"

#include "framework/Format.h"

#include <commctrl.h>

#include <algorithm>

namespace {

std::wstring SizeText(const CompareNode* node)
{
    if (!node) return std::wstring();
    return node->hasData ? std::to_wstring(node->size) : std::wstring(L"なし");
}

// A changed pair whose bytes are the same as far as the shorter side goes: the number of
// bytes the longer side has beyond it, else 0.
uint64_t PrefixSurplus(const CompareItem& item)
{
    if (item.kind != CompareKind::Changed || item.unreadable || !item.firstDifference || !item.a || !item.b) return 0;
    if (!item.a->hasData || !item.b->hasData || item.a->media != item.b->media) return 0;
    const uint64_t shorter = std::min(item.a->size, item.b->size), longer = std::max(item.a->size, item.b->size);
    return *item.firstDifference == shorter ? longer - shorter : 0;
}

std::wstring ChangedText(const CompareItem& item)
{
    if (item.unreadable) return L"変更 (読めないバイトあり)";
    if (item.a->media != item.b->media) return L"変更 (媒体 " + item.a->media + L" / " + item.b->media + L")";
    if (const uint64_t surplus = PrefixSurplus(item)) {
        const bool longerB = item.b->size > item.a->size;
        return fw::Format(L"変更 (%ls は %ls の先頭と同じ、%ls が %llu バイト長い)", longerB ? L"A" : L"B",
                          longerB ? L"B" : L"A", longerB ? L"B" : L"A", static_cast<unsigned long long>(surplus));
    }
    return L"変更";
}

}  // namespace

std::vector<std::array<std::wstring, 6>> BuildCompareRows(const CompareResult& result)
{
    std::vector<std::array<std::wstring, 6>> rows;
    for (const CompareItem& item : result.items) {
        std::array<std::wstring, 6> row;
        row[0] = item.path;
        switch (item.kind) {
            case CompareKind::Same:
                row[1] = L"同じ";
                break;
            case CompareKind::OnlyA:
                row[1] = L"A のみ";
                break;
            case CompareKind::OnlyB:
                row[1] = L"B のみ";
                break;
            case CompareKind::Changed:
                row[1] = ChangedText(item);
                if (item.firstDifference) row[4] = std::to_wstring(*item.firstDifference);
                row[5] = std::to_wstring(item.differingBytes);
                break;
        }
        row[2] = SizeText(item.a);
        row[3] = SizeText(item.b);
        rows.push_back(std::move(row));
    }
    return rows;
}

CompareShowRange CompareShowAt(const CompareItem& item, bool sideB)
{
    if (item.kind != CompareKind::Changed || !item.firstDifference) return {};
    const uint64_t first = *item.firstDifference;
    const CompareNode* node = sideB ? item.b : item.a;
    if (!node) return {};
    if (!PrefixSurplus(item)) return {first, 1};
    // The shorter side ends where the other goes on: its caret at its end; the longer
    // side's surplus is what differs.
    if (node->size <= first) return {node->size, 0};
    return {first, node->size - first};
}

CCompareDialog::CCompareDialog(const CompareResult& result, std::wstring titleA, std::wstring titleB,
                               CompareShowEntry showA, CompareShowEntry showB)
    : fw::Dialog(IDD_COMPARE),
      m_result(result),
      m_titleA(std::move(titleA)),
      m_titleB(std::move(titleB)),
      m_showA(std::move(showA)),
      m_showB(std::move(showB))
{
}

BOOL CCompareDialog::OnInitDialog()
{
    std::wstring header = L"A: " + m_titleA + L"\r\nB: " + m_titleB;
    if (m_showA && !m_showB) header += L"\r\nB はファイルから読んだだけなので、HEX で表示できるのは A だけです。";
    SetDlgItemText(IDC_COMPARE_HEADER, header);
    HWND list = GetDlgItem(IDC_COMPARE_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    const wchar_t* const captions[] = {L"形式", L"比較", L"サイズ A", L"サイズ B", L"最初の違い", L"違うバイト数"};
    const int widths[] = {220, 110, 80, 80, 80, 80};
    for (int i = 0; i < 6; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | (i >= 2 ? LVCF_FMT : 0);
        column.fmt = LVCFMT_RIGHT;
        column.pszText = const_cast<wchar_t*>(captions[i]);
        column.cx = widths[i];
        ListView_InsertColumn(list, i, &column);
    }
    const auto rows = BuildCompareRows(m_result);
    for (size_t r = 0; r < rows.size(); ++r) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = const_cast<wchar_t*>(rows[r][0].c_str());
        const int at = ListView_InsertItem(list, &item);
        for (int c = 1; c < 6; ++c) ListView_SetItemText(list, at, c, const_cast<wchar_t*>(rows[r][c].c_str()));
    }
    // The first changed pair starts selected: Enter shows it.
    for (size_t r = 0; r < m_result.items.size(); ++r) {
        if (m_result.items[r].kind != CompareKind::Changed) continue;
        ListView_SetItemState(list, static_cast<int>(r), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, static_cast<int>(r), FALSE);
        break;
    }
    UpdateButtons();
    Layout();
    ::SetFocus(list);
    return FALSE;
}

const CompareItem* CCompareDialog::SelectedItem() const
{
    const int selected = ListView_GetNextItem(GetDlgItem(IDC_COMPARE_LIST), -1, LVNI_SELECTED);
    if (selected < 0 || static_cast<size_t>(selected) >= m_result.items.size()) return nullptr;
    return &m_result.items[static_cast<size_t>(selected)];
}

void CCompareDialog::UpdateButtons()
{
    const CompareItem* item = SelectedItem();
    ::EnableWindow(GetDlgItem(IDC_COMPARE_SHOW_A), item && item->a && m_showA);
    ::EnableWindow(GetDlgItem(IDC_COMPARE_SHOW_B), item && item->b && m_showB);
}

void CCompareDialog::Show(bool sideB)
{
    const CompareItem* item = SelectedItem();
    const CompareNode* node = item ? (sideB ? item->b : item->a) : nullptr;
    const CompareShowEntry& show = sideB ? m_showB : m_showA;
    if (!node || !show) {
        ::MessageBeep(MB_OK);
        return;
    }
    const CompareShowRange at = CompareShowAt(*item, sideB);
    show(node->source, at.offset, at.length);
    // The HEX page took the focus; the dialog keeps it while it is open.
    ::SetFocus(GetDlgItem(IDC_COMPARE_LIST));
}

bool CCompareDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_COMPARE_SHOW_A || id == IDC_COMPARE_SHOW_B) {
        Show(id == IDC_COMPARE_SHOW_B);
        return true;
    }
    return fw::Dialog::OnCommand(id, code);
}

void CCompareDialog::OnOK()
{
    // Enter: the default button's action, the dialog stays.
    Show(false);
}

LRESULT CCompareDialog::OnNotify(NMHDR* header)
{
    if (header->idFrom == IDC_COMPARE_LIST) {
        if (header->code == LVN_ITEMCHANGED) UpdateButtons();
        if (header->code == NM_DBLCLK) Show((::GetKeyState(VK_SHIFT) & 0x8000) != 0);
    }
    return fw::Dialog::OnNotify(header);
}

void CCompareDialog::Layout()
{
    RECT client = {};
    ::GetClientRect(GetSafeHwnd(), &client);
    HWND list = GetDlgItem(IDC_COMPARE_LIST);
    HWND close = GetDlgItem(IDCANCEL);
    HWND showA = GetDlgItem(IDC_COMPARE_SHOW_A), showB = GetDlgItem(IDC_COMPARE_SHOW_B);
    RECT button = {};
    ::GetWindowRect(close, &button);
    const int bw = button.right - button.left, bh = button.bottom - button.top;
    RECT header = {};
    ::GetWindowRect(GetDlgItem(IDC_COMPARE_HEADER), &header);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&header), 2);
    const int margin = header.left;
    ::MoveWindow(close, client.right - margin - bw, client.bottom - margin - bh, bw, bh, TRUE);
    RECT show = {};
    ::GetWindowRect(showA, &show);
    const int sw = show.right - show.left, gap = margin / 2;
    ::MoveWindow(showA, margin, client.bottom - margin - bh, sw, bh, TRUE);
    ::MoveWindow(showB, margin + sw + gap, client.bottom - margin - bh, sw, bh, TRUE);
    ::MoveWindow(list, margin, header.bottom + margin, client.right - 2 * margin,
                 client.bottom - header.bottom - 3 * margin - bh, TRUE);
}

bool CCompareDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    if (msg == WM_SIZE) {
        Layout();
        result = 0;
        return true;
    }
    return fw::Dialog::OnMessage(msg, wParam, lParam, result);
}
