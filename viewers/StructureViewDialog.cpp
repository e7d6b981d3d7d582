#include "viewers/StructureViewDialog.h"

#include "capture/CBData.h"
#include "decoders/DecodedText.h"
#include "framework/Clipboard.h"
#include "framework/Handles.h"
#include "framework/Utf8.h"
#include "framework/MessageBox.h"
#include "res/structureview_resource.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

namespace {

// Trees up to this many fields open whole; larger ones show their first level.
constexpr size_t kOpenWholeFields = 400;

size_t EagerFieldCount(const std::vector<DecodedField>& fields, size_t limit)
{
    size_t count = 0;
    for (const DecodedField& field : fields) {
        if (field.lazyChildren) return limit + 1;
        count += 1 + EagerFieldCount(field.children, limit);
        if (count > limit) return count;
    }
    return count;
}

}  // namespace

CStructureViewDialog::CStructureViewDialog(CCBData* entry) : CKaviloPropertyPage(IDD_STRUCTURE_VIEW), m_entry(entry) {}

std::shared_ptr<CKaviloPropertyPage> CStructureViewDialog::CreateForEntry(CCBData* entry)
{
    if (!entry || !FindEntryDecoder(*entry)) return nullptr;
    return std::make_shared<CStructureViewDialog>(entry);
}

void CStructureViewDialog::SaveAsDefaultView()
{
    WriteDefaultView(m_entry, L"STRUCTURE");
}

HWND CStructureViewDialog::GetList() const
{
    return GetDlgItem(IDC_STRUCTURE_LIST);
}

BOOL CStructureViewDialog::OnInitDialog()
{
    ::EnableThemeDialogTexture(GetSafeHwnd(), ETDT_ENABLETAB);
    HWND list = GetList();
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                   LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const struct {
        const wchar_t* heading;
        int width;
        int format;
    } columns[] = {{L"項目", 200, LVCFMT_LEFT},
                   {L"オフセット", 70, LVCFMT_RIGHT},
                   {L"サイズ", 60, LVCFMT_RIGHT},
                   {L"値", 420, LVCFMT_LEFT}};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = columns[i].format;
        column.pszText = const_cast<wchar_t*>(columns[i].heading);
        column.cx = columns[i].width;
        column.iSubItem = i;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }

    if (m_entry) m_decoding = DecodeEntry(*m_entry);
    m_rows.clear();
    if (m_decoding) {
        DecodedTree& tree = m_decoding->tree;
        for (size_t i = 0; i < tree.warnings.size(); ++i) m_rows.push_back({nullptr, 0, static_cast<int>(i), false});
        const bool openSmall = EagerFieldCount(tree.fields, kOpenWholeFields) <= kOpenWholeFields;
        for (DecodedField& field : tree.fields) AppendFieldRows(m_rows, field, 0, openSmall);
    }
    ::SetWindowTextW(GetDlgItem(IDC_STRUCTURE_SUMMARY), GetSummaryText().c_str());
    Refill(-1);
    return TRUE;
}

std::wstring CStructureViewDialog::GetSummaryText() const
{
    if (!m_decoding) return L"この形式のバイト列を読めません。";
    const DecodedTree& tree = m_decoding->tree;
    const size_t warnings = CountWarnings(tree);
    std::wstring text = fw::FromUtf8(tree.decoder) + L"  ";
    text += warnings ? L"警告 " + std::to_wstring(warnings) + L" 件" : L"警告なし";
    return text;
}

void CStructureViewDialog::AppendFieldRows(std::vector<Row>& rows, DecodedField& field, int depth, bool openSmall)
{
    const bool open = openSmall && !field.children.empty();
    rows.push_back({&field, depth, -1, open});
    for (size_t i = 0; i < field.warnings.size(); ++i) rows.push_back({&field, depth + 1, static_cast<int>(i), false});
    if (open)
        for (DecodedField& child : field.children) AppendFieldRows(rows, child, depth + 1, openSmall);
}

void CStructureViewDialog::Refill(int keepSelected)
{
    HWND list = GetList();
    if (!list) return;
    ::SendMessageW(list, LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOSCROLL);
    ::InvalidateRect(list, nullptr, FALSE);
    if (keepSelected >= 0) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, keepSelected, reinterpret_cast<LPARAM>(&state));
    }
}

std::wstring CStructureViewDialog::GetRowText(int index, int column) const
{
    if (index < 0 || index >= static_cast<int>(m_rows.size()) || !m_decoding) return std::wstring();
    const Row& row = m_rows[index];
    const std::wstring indent(static_cast<size_t>(row.depth) * 3, L' ');
    if (row.warning >= 0) {
        const std::string& text = row.field ? row.field->warnings[static_cast<size_t>(row.warning)]
                                            : m_decoding->tree.warnings[static_cast<size_t>(row.warning)];
        if (column == 0) return indent + L"! 警告";
        return column == 3 ? fw::FromUtf8(text) : std::wstring();
    }
    const DecodedField& field = *row.field;
    switch (column) {
        case 0: {
            const wchar_t* mark = !field.HasChildren() ? L"   " : row.open ? L"-  " : L"+  ";
            return indent + mark + fw::FromUtf8(field.name);
        }
        case 1:
            return std::to_wstring(field.offset);
        case 2:
            return std::to_wstring(field.size);
        case 3: {
            std::wstring text = fw::FromUtf8(field.value);
            if (!field.meaning.empty()) text += (text.empty() ? L"(" : L"  (") + fw::FromUtf8(field.meaning) + L")";
            // A closed row tells of the warnings below it, which its own rows do not show.
            if (!row.open && field.HasChildren())
                if (const size_t inside = CountWarnings(field) - field.warnings.size())
                    text += L"  ― 中に警告 " + std::to_wstring(inside) + L" 件";
            return text;
        }
        default:
            return std::wstring();
    }
}

bool CStructureViewDialog::ToggleRow(int index)
{
    if (index < 0 || index >= static_cast<int>(m_rows.size())) return false;
    const Row& row = m_rows[index];
    if (row.warning >= 0 || !row.field->HasChildren()) return false;
    if (row.open)
        Close(index);
    else
        Open(index);
    Refill(index);
    return true;
}

void CStructureViewDialog::Open(int index)
{
    Row& row = m_rows[index];
    row.open = true;
    std::vector<Row> added;
    // Children of large arrays are made here, on first opening.
    for (DecodedField& child : row.field->Children()) AppendFieldRows(added, child, row.depth + 1, false);
    // The row's own warnings stay right below it.
    size_t at = static_cast<size_t>(index) + 1;
    while (at < m_rows.size() && m_rows[at].field == m_rows[index].field && m_rows[at].warning >= 0) ++at;
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
}

void CStructureViewDialog::Close(int index)
{
    Row& row = m_rows[index];
    row.open = false;
    size_t at = static_cast<size_t>(index) + 1;
    while (at < m_rows.size() && m_rows[at].field == row.field && m_rows[at].warning >= 0) ++at;
    size_t end = at;
    while (end < m_rows.size() && m_rows[end].depth > row.depth) ++end;
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(at), m_rows.begin() + static_cast<std::ptrdiff_t>(end));
}

int CStructureViewDialog::GetSelectedRow() const
{
    HWND list = GetList();
    return list ? static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

void CStructureViewDialog::SelectRow(int index)
{
    HWND list = GetList();
    if (!list) return;
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = index >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    ::SendMessageW(list, LVM_SETITEMSTATE, index >= 0 ? index : static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&state));
    if (index >= 0) ::SendMessageW(list, LVM_ENSUREVISIBLE, index, FALSE);
}

void CStructureViewDialog::ShowSelected(bool show)
{
    const int index = GetSelectedRow();
    if (index < 0 || index >= static_cast<int>(m_rows.size()) || !m_selectBytes) return;
    const Row& row = m_rows[index];
    if (!row.field) return;
    m_selectBytes(row.field->offset, row.field->offset + row.field->size, show);
}

LRESULT CStructureViewDialog::OnNotify(NMHDR* header)
{
    if (header->idFrom != IDC_STRUCTURE_LIST) return 0;
    switch (header->code) {
        case LVN_GETDISPINFOW: {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
            if (info->item.mask & LVIF_TEXT) {
                m_textBuffer = GetRowText(info->item.iItem, info->item.iSubItem);
                // The list view copies what it needs before it asks again.
                if (info->item.cchTextMax > 0) {
                    const size_t n = std::min<size_t>(m_textBuffer.size(), info->item.cchTextMax - 1);
                    std::copy_n(m_textBuffer.c_str(), n, info->item.pszText);
                    info->item.pszText[n] = L'\0';
                }
            }
            return 0;
        }
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
                !(change->uOldState & LVIS_SELECTED))
                ShowSelected(false);
            return 0;
        }
        case NM_DBLCLK: {
            const auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
            if (!ToggleRow(activate->iItem)) ShowSelected(true);
            return 0;
        }
        case NM_CLICK: {
            // A click on the +/- mark opens or closes the row.
            const auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
            if (activate->iItem < 0 || static_cast<size_t>(activate->iItem) >= m_rows.size() || activate->iSubItem != 0)
                return 0;
            const Row& row = m_rows[static_cast<size_t>(activate->iItem)];
            const std::wstring prefix(static_cast<size_t>(row.depth) * 3 + 2, L'M');
            const int markEnd = static_cast<int>(
                ::SendMessageW(GetList(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(prefix.c_str())));
            if (activate->ptAction.x <= markEnd + 6) ToggleRow(activate->iItem);
            return 0;
        }
        case NM_RETURN:
            ShowSelected(true);
            return 0;
        case NM_RCLICK:
            ShowContextMenu();
            return 0;
        case LVN_KEYDOWN: {
            const auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
            const int index = GetSelectedRow();
            if (key->wVKey == 'C' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
                Copy(false);
            } else if (index >= 0 && (key->wVKey == VK_RIGHT || key->wVKey == VK_LEFT)) {
                const Row& row = m_rows[static_cast<size_t>(index)];
                if (row.warning < 0 && row.field->HasChildren() && row.open == (key->wVKey == VK_LEFT))
                    ToggleRow(index);
            } else if (index >= 0 && key->wVKey == VK_SPACE) {
                ToggleRow(index);
            }
            return 0;
        }
        default:
            return 0;
    }
}

void CStructureViewDialog::OnOK()
{
    // Enter (the list is the page's only control): the selected field's bytes in the hex page.
    ShowSelected(true);
}

bool CStructureViewDialog::OnCommand(WORD id, WORD code)
{
    switch (id) {
        case ID_STRUCTURE_COPY:
            Copy(false);
            return true;
        case ID_STRUCTURE_COPY_ALL:
            Copy(true);
            return true;
        case ID_STRUCTURE_SHOW_HEX:
            ShowSelected(true);
            return true;
        default:
            return CKaviloPropertyPage::OnCommand(id, code);
    }
}

void CStructureViewDialog::ShowContextMenu()
{
    fw::UniqueMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_STRUCTURE_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return;
    const int index = GetSelectedRow();
    const bool field = index >= 0 && m_rows[static_cast<size_t>(index)].field;
    ::EnableMenuItem(popup, ID_STRUCTURE_COPY, MF_BYCOMMAND | (index >= 0 ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(popup, ID_STRUCTURE_COPY_ALL, MF_BYCOMMAND | (m_decoding ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(popup, ID_STRUCTURE_SHOW_HEX, MF_BYCOMMAND | (field ? MF_ENABLED : MF_GRAYED));
    POINT at = {};
    ::GetCursorPos(&at);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, GetSafeHwnd(), nullptr);
}

std::wstring CStructureViewDialog::CopyText(bool all) const
{
    if (!m_decoding) return std::wstring();
    // Copying makes lazy children: the tree is this page's own.
    auto& tree = const_cast<DecodedTree&>(m_decoding->tree);
    if (all) return fw::FromUtf8(DecodedTreeText(tree, "", "\r\n"));
    const int index = GetSelectedRow();
    if (index < 0 || index >= static_cast<int>(m_rows.size())) return std::wstring();
    const Row& row = m_rows[static_cast<size_t>(index)];
    if (row.warning >= 0) return GetRowText(index, 3) + L"\r\n";
    return fw::FromUtf8(DecodedFieldText(*row.field, "", "\r\n"));
}

void CStructureViewDialog::Copy(bool all)
{
    const std::wstring text = CopyText(all);
    if (text.empty()) return;
    std::vector<fw::ClipboardBlock> blocks(1);
    blocks[0].format = CF_UNICODETEXT;
    blocks[0].memory = fw::GlobalFromBytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (!blocks[0].memory) {
        fw::AfxMessageBox(L"メモリ不足です。");
        return;
    }
    if (!fw::PutOnClipboard(GetSafeHwnd(), blocks)) fw::AfxMessageBox(L"クリップボードに書き込めません。");
}

bool CStructureViewDialog::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& result)
{
    switch (msg) {
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return false;
        case WM_CONTEXTMENU:
            // The menu opens from the list's right click; the key must not reach the windows around the page.
            result = TRUE;
            return true;
        default:
            return false;
    }
}

void CStructureViewDialog::OnSize(int width, int height)
{
    HWND summary = GetDlgItem(IDC_STRUCTURE_SUMMARY);
    HWND list = GetList();
    if (!summary || !list) return;
    RECT r;
    ::GetWindowRect(list, &r);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
    ::MoveWindow(summary, 5, 1, std::max(0, width - 5), std::max(0, static_cast<int>(r.top) - 2), TRUE);
    ::MoveWindow(list, 0, r.top, width, std::max(0, height - static_cast<int>(r.top)), TRUE);
}
