#include "viewers/PropertyViewDialog.h"

#include "capture/CBData.h"
#include "framework/Clipboard.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "framework/WindowResources.h"
#include "res/dialogs_resource.h"
#include "viewers/PropertyRows.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cstring>

namespace {

std::wstring ItemText(HWND list, int item, int column)
{
    // LVM_GETITEMTEXT gives no length: grow the buffer until the text fits.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW lvi = {};
        lvi.iSubItem = column;
        lvi.pszText = buffer.data();
        lvi.cchTextMax = static_cast<int>(buffer.size());
        const int length =
            static_cast<int>(::SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lvi)));
        if (length < static_cast<int>(buffer.size()) - 1) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

CPropertyViewDialog::CPropertyViewDialog() : CKaviloPropertyPage(IDD_PROPERTY_VIEW) {}

void CPropertyViewDialog::ShowEntry(CCBData* entry)
{
    m_entry = entry;
    m_rows = entry ? BuildEntryRows(*entry) : std::vector<std::wstring>();
    FillList();
}

void CPropertyViewDialog::ShowOfferedFormats(const std::vector<std::wstring>& offeredTexts,
                                             const std::vector<std::wstring>& moreRows)
{
    // The root is not an entry: making a default page here must not change the choice
    // for whichever entry was shown before.
    m_entry = nullptr;
    m_rows = BuildOfferedFormatRows(offeredTexts);
    m_rows.insert(m_rows.end(), moreRows.begin(), moreRows.end());
    FillList();
}

HWND CPropertyViewDialog::GetList() const
{
    return GetDlgItem(IDC_PROPERTY_LIST);
}

std::pair<int, int> CPropertyViewDialog::GetColumnWidths() const
{
    HWND list = GetList();
    if (!list) return {0, 0};
    return {static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)),
            static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0))};
}

void CPropertyViewDialog::SaveAsDefaultView()
{
    WriteDefaultView(m_entry, L"PROPERTY");
}

BOOL CPropertyViewDialog::OnInitDialog()
{
    ::EnableThemeDialogTexture(GetSafeHwnd(), ETDT_ENABLETAB);
    HWND list = GetList();
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

    {
        fw::WindowDC dc(GetSafeHwnd());
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(GetSafeHwnd(), WM_GETFONT, 0, 0));
        fw::SelectGuard select(dc.Get(), font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW metrics = {};
        if (::GetTextMetricsW(dc.Get(), &metrics)) m_aveCharWidth = metrics.tmAveCharWidth;
    }

    const struct {
        const wchar_t* heading;
        const wchar_t* entry;
        int defaultChars;
    } columns[] = {{L"項目", L"PropCol0", 20}, {L"値", L"PropCol1", 80}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = const_cast<wchar_t*>(columns[i].heading);
        column.cx = fw::GetProfileInt(L"Frame", columns[i].entry, columns[i].defaultChars * m_aveCharWidth);
        column.iSubItem = i;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    FillList();
    return TRUE;
}

void CPropertyViewDialog::FillList()
{
    HWND list = GetList();
    if (!list) return;
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        auto [name, value] = SplitRow(m_rows[i]);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = name.data();
        const int index = static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;
        LVITEMW sub = {};
        sub.iSubItem = 1;
        sub.pszText = value.data();
        ::SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
    }
}

bool CPropertyViewDialog::OnCommand(WORD id, WORD code)
{
    switch (id) {
        case ID_PROPERTY_COPY:
            CopyRows(true, true);
            return true;
        case ID_PROPERTY_COPY_NAME:
            CopyRows(true, false);
            return true;
        case ID_PROPERTY_COPY_VALUE:
            CopyRows(false, true);
            return true;
        case ID_PROPERTY_SELECT_ALL:
            SelectAll();
            return true;
        default:
            return CKaviloPropertyPage::OnCommand(id, code);
    }
}

LRESULT CPropertyViewDialog::OnNotify(NMHDR* header)
{
    if (header->idFrom == IDC_PROPERTY_LIST && header->code == NM_RCLICK) ShowContextMenu();
    return 0;
}

bool CPropertyViewDialog::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& result)
{
    switch (msg) {
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return false;  // the dialog's own processing too
        case WM_CONTEXTMENU:
            // The menu opens on a right click in the list only; the key must not reach
            // the windows around the page either.
            result = TRUE;
            return true;
        default:
            return false;
    }
}

void CPropertyViewDialog::OnSize(int width, int height)
{
    if (HWND list = GetList()) ::MoveWindow(list, 0, 0, width, height, TRUE);
}

void CPropertyViewDialog::ShowContextMenu()
{
    fw::UniqueMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_PROPERTY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return;
    HWND list = GetList();
    const bool anySelected = ::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
    const bool anyRow = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0;
    const UINT selectedState = MF_BYCOMMAND | (anySelected ? MF_ENABLED : MF_GRAYED);
    ::EnableMenuItem(popup, ID_PROPERTY_COPY, selectedState);
    ::EnableMenuItem(popup, ID_PROPERTY_COPY_NAME, selectedState);
    ::EnableMenuItem(popup, ID_PROPERTY_COPY_VALUE, selectedState);
    ::EnableMenuItem(popup, ID_PROPERTY_SELECT_ALL, MF_BYCOMMAND | (anyRow ? MF_ENABLED : MF_GRAYED));
    POINT at = {};
    ::GetCursorPos(&at);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, GetSafeHwnd(), nullptr);
}

void CPropertyViewDialog::CopyRows(bool names, bool values)
{
    HWND list = GetList();
    if (!list) return;
    std::wstring text;
    for (int item = -1; (item = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, item, LVNI_SELECTED))) >= 0;) {
        // The line break only once there is text, so rows that add nothing add no empty lines.
        if (!text.empty()) text += L"\r\n";
        if (names) text += ItemText(list, item, 0);
        if (names && values) text += L'\t';
        if (values) text += ItemText(list, item, 1);
    }

    std::vector<fw::ClipboardBlock> blocks(1);
    blocks[0].format = CF_UNICODETEXT;
    blocks[0].memory = fw::GlobalFromBytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (!blocks[0].memory) {
        fw::AfxMessageBox(L"メモリ不足です。");
        return;
    }
    if (!fw::PutOnClipboard(GetSafeHwnd(), blocks)) fw::AfxMessageBox(L"クリップボードに書き込めません。");
}

void CPropertyViewDialog::SelectAll()
{
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    // Item -1 means every item.
    ::SendMessageW(GetList(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
}
