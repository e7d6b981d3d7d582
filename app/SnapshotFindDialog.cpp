#include "app/SnapshotFindDialog.h"

#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "framework/Format.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "res/find_resource.h"
#include "viewers/HexFindDialog.h"
#include "viewers/ViewerProgress.h"

#include <commctrl.h>

namespace {

constexpr uint64_t kContext = 8;  // bytes shown before and after a match

void AddColumn(HWND list, int index, const wchar_t* title, int width)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(title);
    column.cx = width;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

CSnapshotFindDialog::CSnapshotFindDialog(std::shared_ptr<CCBDataArray> snapshot)
    : fw::Dialog(IDD_SNAPSHOT_FIND), m_snapshot(std::move(snapshot))
{
    // Hits of another snapshot point at entries that are gone.
    if (Last().snapshot.lock() != m_snapshot || !m_snapshot) Last() = LastSearch{m_snapshot, {}};
}

CSnapshotFindDialog::LastSearch& CSnapshotFindDialog::Last()
{
    static LastSearch last;
    return last;
}

BOOL CSnapshotFindDialog::OnInitDialog()
{
    HWND list = GetDlgItem(IDC_SNAPSHOT_FIND_HITS);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    AddColumn(list, 0, L"エントリ", 200);
    AddColumn(list, 1, L"オフセット", 90);
    AddColumn(list, 2, L"前後のバイト", 320);
    CHexFindDialog::LoadQuery(*this);
    ListHits();
    return TRUE;
}

std::wstring CSnapshotFindDialog::BytesAround(const SnapshotFindHit& hit) const
{
    const CCBData* entry = hit.path.empty() ? nullptr : hit.path.back();
    if (!entry || entry->m_tempFile.empty()) return {};
    fw::UniqueFile file(::CreateFileW(entry->m_tempFile.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    if (!file) return {};
    const uint64_t from = hit.offset > kContext ? hit.offset - kContext : 0;
    const uint64_t shown = std::min<uint64_t>(hit.length, 16);
    const uint64_t to = std::min(entry->m_dataSize, hit.offset + shown + kContext);
    uint8_t bytes[2 * kContext + 16] = {};
    const uint32_t got = FileReadProc(from, static_cast<uint32_t>(to - from), bytes, file.Get(), 0);
    std::wstring text;
    for (uint32_t k = 0; k < got; ++k) {
        const uint64_t at = from + k;
        if (at == hit.offset) text += L"[";
        text += fw::Format(L"%02x", bytes[k]);
        if (at + 1 == hit.offset + shown) text += shown < hit.length ? L"…]" : L"]";
        if (k + 1 < got) text += L' ';
    }
    return text;
}

void CSnapshotFindDialog::ListHits()
{
    HWND list = GetDlgItem(IDC_SNAPSHOT_FIND_HITS);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<SnapshotFindHit>& hits = Last().hits;
    for (size_t k = 0; k < hits.size(); ++k) {
        std::wstring entry = FindHitEntryText(hits[k]);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(k);
        item.pszText = entry.data();
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        std::wstring offset = fw::Format(L"%llu", static_cast<unsigned long long>(hits[k].offset));
        item.iSubItem = 1;
        item.pszText = offset.data();
        ::SendMessageW(list, LVM_SETITEMTEXTW, k, reinterpret_cast<LPARAM>(&item));
        std::wstring around = BytesAround(hits[k]);
        item.iSubItem = 2;
        item.pszText = around.data();
        ::SendMessageW(list, LVM_SETITEMTEXTW, k, reinterpret_cast<LPARAM>(&item));
    }
    if (!hits.empty()) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    }
    ::EnableWindow(GetDlgItem(IDC_SNAPSHOT_FIND_SHOW), !hits.empty());
}

void CSnapshotFindDialog::Search()
{
    // One query for every find: F3 in a hex page repeats what was searched here.
    CHexFindDialog::StoreQuery(*this);
    std::wstring error;
    std::vector<SnapshotFindHit> hits;
    bool stopped = false;
    {
        // The list stays as it is while the progress window pumps messages.
        HWND dialog = GetSafeHwnd();
        if (dialog) ::EnableWindow(dialog, FALSE);
        CViewerOperation operation(L"スナップショット内を検索しています...");
        const bool done =
            m_snapshot && FindInSnapshot(
                              *m_snapshot, CHexFindDialog::LastQuery(), 0,
                              [&hits](const SnapshotFindHit& hit) { hits.push_back(hit); },
                              [&operation](uint64_t d, uint64_t t) { return operation.Step(d, t); }, error);
        stopped = !done && error.empty() && m_snapshot;
        if (dialog) ::EnableWindow(dialog, TRUE);
    }
    // The progress window gives the main window back: this window is still modal over it.
    if (IsModal())
        if (HWND owner = ::GetWindow(GetSafeHwnd(), GW_OWNER)) ::EnableWindow(owner, FALSE);
    if (!error.empty()) {
        fw::AfxMessageBox(error);
        return;
    }
    Last().hits = std::move(hits);
    ListHits();
    const size_t count = Last().hits.size();
    SetDlgItemText(IDC_SNAPSHOT_FIND_STATUS, stopped ? fw::Format(L"中止しました（それまでに %zu 件）。", count)
                                             : count == 0 ? std::wstring(L"見つかりません。")
                                                          : fw::Format(L"%zu 件見つかりました。", count));
}

void CSnapshotFindDialog::Choose()
{
    const int index =
        static_cast<int>(::SendMessageW(GetDlgItem(IDC_SNAPSHOT_FIND_HITS), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (index < 0 || static_cast<size_t>(index) >= Last().hits.size()) return;
    m_chosen = Last().hits[static_cast<size_t>(index)];
    fw::Dialog::OnOK();
}

void CSnapshotFindDialog::OnOK()
{
    // Enter in the list chooses its hit; anywhere else it searches.
    if (::GetFocus() == GetDlgItem(IDC_SNAPSHOT_FIND_HITS) && !Last().hits.empty())
        Choose();
    else
        Search();
}

bool CSnapshotFindDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_SNAPSHOT_FIND_SHOW && code == BN_CLICKED) {
        Choose();
        return true;
    }
    return fw::Dialog::OnCommand(id, code);
}

LRESULT CSnapshotFindDialog::OnNotify(NMHDR* header)
{
    if (header->idFrom == IDC_SNAPSHOT_FIND_HITS && header->code == NM_DBLCLK) {
        Choose();
        return 0;
    }
    return fw::Dialog::OnNotify(header);
}
