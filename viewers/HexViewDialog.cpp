#include "viewers/HexViewDialog.h"

#include "capture/CBData.h"
#include "framework/Profile.h"
#include "framework/WindowResources.h"
#include "framework/MessageBox.h"
#include "res/find_resource.h"
#include "res/hexview_resource.h"
#include "viewers/HexFindDialog.h"
#include "viewers/SnapshotFind.h"
#include "viewers/ViewerProgress.h"

#include <uxtheme.h>

#include <algorithm>

namespace {

int WidthFromIndex(LRESULT index)
{
    return index == 1 ? 32 : index == 2 ? 64 : 16;
}

}  // namespace

CHexViewDialog::CHexViewDialog(CCBData* entry) : CKaviloPropertyPage(IDD_HEX_VIEW), m_entry(entry) {}

CHexViewDialog::~CHexViewDialog()
{
    m_findDialog.reset();
    // The control goes before the page's window and the file it reads.
    m_hexView.DestroyWindow();
}

void CHexViewDialog::SaveAsDefaultView()
{
    WriteDefaultView(m_entry, L"HEX");
}

uint32_t CHexViewDialog::HexPageReadProc(uint64_t offset, uint32_t count, void* destination, void* page, uintptr_t)
{
    auto* self = static_cast<CHexViewDialog*>(page);
    if (!self || !self->m_file) return 0;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(self->m_file.Get(), position, nullptr, FILE_BEGIN)) return 0;
    uint32_t delivered = 0;
    while (delivered < count) {
        DWORD read = 0;
        if (!::ReadFile(self->m_file.Get(), static_cast<uint8_t*>(destination) + delivered, count - delivered, &read,
                        nullptr) ||
            read == 0)
            break;
        delivered += read;
    }
    return delivered;
}

BOOL CHexViewDialog::OnInitDialog()
{
    HWND page = GetSafeHwnd();
    ::EnableThemeDialogTexture(page, ETDT_ENABLETAB);
    if (m_entry && !m_entry->m_tempFile.empty())
        m_file.Reset(::CreateFileW(m_entry->m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   0, nullptr));

    m_font = fw::CreatePointFont(90, L"ＭＳ ゴシック");
    HWND placeholder = GetDlgItem(IDC_HEX_PLACEHOLDER);
    m_placeholder.SubclassDlgItem(IDC_HEX_PLACEHOLDER, page);
    ::SendMessageW(placeholder, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);

    m_hexView.Create(page, placeholder, IDC_HEX_VIEW);
    const bool unreadable = m_entry && !m_file;
    if (unreadable) {
        // Lines of zeros would pass for the entry's bytes: the page says what is wrong instead.
        ::SetWindowTextW(placeholder, L"一時ファイルを開けません。このエントリのバイト列は表示できません。");
        ::ShowWindow(placeholder, SW_SHOW);
    } else {
        ::ShowWindow(m_hexView.GetSafeHwnd(), SW_SHOW);
        ::ShowWindow(placeholder, SW_HIDE);
    }

    HWND combo = GetDlgItem(IDC_HEX_WIDTH);
    for (const wchar_t* item : {L"16バイト", L"32バイト", L"64バイト"})
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    const int stored = fw::GetProfileInt(L"Settings", L"HexViewWidth", 16);
    const int index = stored == 32 ? 1 : stored == 64 ? 2 : 0;
    m_hexView.SetBytesPerLine(WidthFromIndex(index));
    if (m_entry && m_file) m_hexView.SetDataSource(&HexPageReadProc, this, 0, m_entry->m_dataSize);
    ::SendMessageW(combo, CB_SETCURSEL, index, 0);

    ::SetWindowPos(m_hexView.GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    if (m_selectionPending) {
        m_selectionPending = false;
        m_hexView.SelectByteRange(m_pendingBegin, m_pendingEnd);
    }
    return TRUE;
}

void CHexViewDialog::OpenFind()
{
    if (!m_findDialog) m_findDialog = std::make_unique<CHexFindDialog>([this](bool backward) { Find(backward); });
    m_findDialog->Show(::GetAncestor(GetSafeHwnd(), GA_ROOT), m_entry ? FindCodePageOf(*m_entry) : ::GetACP());
}

bool CHexViewDialog::Find(bool backward)
{
    const FindQuery& query = CHexFindDialog::LastQuery();
    if (query.text.empty()) {
        OpenFind();
        return false;
    }
    std::wstring error;
    const std::vector<SearchPattern> patterns =
        BuildFindPatterns(query, m_entry ? FindCodePageOf(*m_entry) : ::GetACP(), error);
    if (error.empty()) {
        size_t shortest = SIZE_MAX;
        for (const SearchPattern& p : patterns) shortest = std::min(shortest, p.bytes.size());
        error = CheckPatternLength(shortest, m_hexView.GetDataSize());
    }
    if (!error.empty()) {
        fw::AfxMessageBox(error);
        return false;
    }
    CViewerOperation operation(L"検索しています...");
    SearchRequest request;
    request.from = m_hexView.GetFindStart(backward);
    request.backward = backward;
    const SearchResult result =
        FindInSource(m_hexView.GetByteSource(), patterns, request,
                     [&operation](uint64_t done, uint64_t total) { return operation.Step(done, total); });
    if (result.end == SearchEnd::Found) {
        m_hexView.SelectBytes(result.hit.offset, patterns[result.hit.pattern].bytes.size());
        // The selection shows while the control has the focus.
        ::SetFocus(m_hexView.GetSafeHwnd());
        return true;
    }
    if (result.end == SearchEnd::NotFound)
        fw::AfxMessageBox(result.sourceShort
                              ? L"見つかりません。一時ファイルが途中で終わっています。"
                              : (backward ? L"これより前には見つかりません。" : L"これより後には見つかりません。"));
    return false;
}

void CHexViewDialog::GoTo()
{
    CHexGotoDialog dialog;
    if (dialog.DoModal(::GetAncestor(GetSafeHwnd(), GA_ROOT)) != IDOK) return;
    m_hexView.GoToOffset(dialog.m_offset);
    ::SetFocus(m_hexView.GetSafeHwnd());
}

void CHexViewDialog::SelectBytes(uint64_t begin, uint64_t end)
{
    if (!m_hexView.GetSafeHwnd()) {
        m_selectionPending = true;
        m_pendingBegin = begin;
        m_pendingEnd = end;
        return;
    }
    m_hexView.SelectByteRange(begin, end);
}

bool CHexViewDialog::OnCommand(WORD id, WORD code)
{
    switch (id) {
        case ID_HEX_FIND:
            OpenFind();
            return true;
        case ID_HEX_FIND_NEXT:
        case ID_HEX_FIND_PREVIOUS:
            Find(id == ID_HEX_FIND_PREVIOUS);
            return true;
        case ID_HEX_GOTO:
            GoTo();
            return true;
        default:
            break;
    }
    if (id == IDC_HEX_WIDTH && code == CBN_SELCHANGE) {
        const int width = WidthFromIndex(::SendMessageW(GetDlgItem(IDC_HEX_WIDTH), CB_GETCURSEL, 0, 0));
        fw::WriteProfileInt(L"Settings", L"HexViewWidth", width);
        m_hexView.SetBytesPerLine(width);
        return true;
    }
    return CKaviloPropertyPage::OnCommand(id, code);
}

bool CHexViewDialog::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR&)
{
    if (msg == WM_SIZE) OnSize(LOWORD(lParam), HIWORD(lParam));
    return false;  // the dialog's own processing too
}

void CHexViewDialog::OnSize(int width, int height)
{
    HWND placeholder = GetDlgItem(IDC_HEX_PLACEHOLDER);
    if (!placeholder) return;
    RECT r;
    ::GetWindowRect(placeholder, &r);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
    const int w = std::max(0, width - static_cast<int>(r.left)), h = std::max(0, height - static_cast<int>(r.top));
    ::MoveWindow(placeholder, r.left, r.top, w, h, TRUE);
    if (HWND control = m_hexView.GetSafeHwnd()) ::MoveWindow(control, r.left, r.top, w, h, TRUE);
}
