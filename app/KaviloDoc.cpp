#include "app/KaviloDoc.h"

#include "app/CompareChooseDialog.h"
#include "app/CompareDialog.h"
#include "app/CopyingDialog.h"
#include "app/FormatChoice.h"
#include "app/HistoryLimits.h"
#include "capture/CBData.h"
#include "capture/CBDataCreateContext.h"
#include "capture/FormatCatalogue.h"
#include "capture/SnapshotComparison.h"
#include "capture/SnapshotFile.h"
#include "capture/bytes/DropEffect.h"
#include "framework/Clipboard.h"
#include "framework/FileDialog.h"
#include "framework/Format.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "framework/OleMessageFilter.h"
#include "framework/Profile.h"

#include <algorithm>
#include <ctime>
#include <new>
#include <optional>
#include <thread>

const fw::CRuntimeClass CKaviloDoc::classCKaviloDoc = {"CKaviloDoc", &fw::Document::classDocument};

namespace {

constexpr UINT kFirstChoice = 10000;
// A listing of formats that takes longer than this shows the progress window.
constexpr ULONGLONG kListingWindowDelay = 300;  // milliseconds
// A pop-up menu of thousands of items takes long to build and cannot be read: the
// formats after these are left out of it, and a grey item says how many.
constexpr size_t kMaxChoices = 1000;

// Posts WM_NULL to the thread that made it once `delay` has passed, and again every
// `period` until it is let go: a thread waiting in a COM call asks its message filter only
// when a message arrives while it waits, and one that arrived just before the wait began
// does not count.
class ThreadNudge {
public:
    ThreadNudge(DWORD delay, DWORD period)
        : m_thread(::GetCurrentThreadId()), m_letGo(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        if (!m_letGo) return;
        m_worker = std::thread([this, delay, period] {
            for (DWORD wait = delay; ::WaitForSingleObject(m_letGo.Get(), wait) == WAIT_TIMEOUT; wait = period)
                ::PostThreadMessageW(m_thread, WM_NULL, 0, 0);
        });
    }
    ThreadNudge(const ThreadNudge&) = delete;
    ThreadNudge& operator=(const ThreadNudge&) = delete;
    ~ThreadNudge()
    {
        LetGo();
        if (m_worker.joinable()) m_worker.join();
    }
    void LetGo()
    {
        if (m_letGo) ::SetEvent(m_letGo.Get());
    }

private:
    DWORD m_thread;
    fw::UniqueHandle m_letGo;
    std::thread m_worker;
};

// "&" doubled, so that a format's description shows literally instead of making a mnemonic.
std::wstring MenuText(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

fw::FileDialogRequest SnapshotFileRequest(const std::wstring& fileName)
{
    fw::FileDialogRequest request;
    request.types = {{L"Orvetta スナップショット (*.kavilo)", L"*.kavilo"}};
    request.defaultExtension = kSnapshotExtension;
    request.fileName = fileName;
    return request;
}

// A title as a file name: characters that file names cannot hold become "_".
std::wstring FileNameFor(const std::wstring& title)
{
    std::wstring name = title;
    for (wchar_t& c : name)
        if (c < 0x20 || wcschr(L"<>:\"/\\|?*", c)) c = L'_';
    return name.empty() ? std::wstring(L"snapshot") : name;
}

// The bytes of a snapshot's temporary files, the whole tree.
uint64_t SnapshotBytes(const CCBDataArray& snapshot)
{
    uint64_t total = 0;
    for (const auto& entry : snapshot) {
        if (!entry->m_tempFile.empty()) total += entry->m_dataSize;
        if (entry->m_children) total += SnapshotBytes(*entry->m_children);
    }
    return total;
}

bool Holds(const CCBDataArray& snapshot, const CCBData* entry)
{
    for (const auto& e : snapshot)
        if (e.get() == entry || (e->m_children && Holds(*e->m_children, entry))) return true;
    return false;
}

}  // namespace

CKaviloDoc::CKaviloDoc() = default;

CKaviloDoc::~CKaviloDoc()
{
    // Targets may hold the objects longer than the document lives.
    Track(m_clipboardReplay, nullptr);
    Track(m_dragReplay, nullptr);
}

void CKaviloDoc::SetTitle(const std::wstring& title)
{
    m_pathName.clear();
    fw::Document::SetTitle(title);
}

CKaviloDoc::BusyScope::BusyScope(CKaviloDoc& document) : m_document(document), m_outermost(!document.m_busy)
{
    if (!m_outermost) return;
    m_document.m_busy = true;
    if (m_document.m_busyListener) m_document.m_busyListener(true);
}

CKaviloDoc::BusyScope::~BusyScope()
{
    CKaviloDoc& document = m_document;
    if (!m_outermost) return;
    document.m_busy = false;
    if (document.m_busyListener) document.m_busyListener(false);
    if (document.m_closeAfterCapture) {
        // The main window was asked to close meanwhile: it closes now, once the caller has
        // let go of what it used.
        document.m_closeAfterCapture = false;
        if (HWND main = fw::GetMainWindow()) ::PostMessageW(main, WM_CLOSE, 0, 0);
    }
    std::vector<std::function<void()>> waiting = std::move(document.m_whenIdle);
    document.m_whenIdle.clear();
    for (auto& action : waiting) action();
}

void CKaviloDoc::RunWhenIdle(std::function<void()> action)
{
    if (m_busy)
        m_whenIdle.push_back(std::move(action));
    else
        action();
}

void CKaviloDoc::ReleaseSnapshot()
{
    if (!m_snapshot && m_kept.empty()) return;
    // The views let go of their entries before the old snapshots (and their files) go.
    std::vector<CKeptSnapshot> kept = std::move(m_kept);
    m_kept.clear();
    std::shared_ptr<CCBDataArray> old = std::move(m_snapshot);
    m_snapshot.reset();
    LeaveSnapshot();
    old.reset();
}

void CKaviloDoc::LeaveSnapshot()
{
    // What targets wrote belonged to the snapshot that went; a drag under way learns it is gone.
    std::shared_ptr<CCBData> oldWriteBack = std::move(m_writeBack);
    ++m_snapshotSerial;
    // The objects offered from it may still be written to; those writes are not shown
    // under another snapshot. (The clipboard's object stays tracked for the flush at exit.)
    for (ReplaySession* session : {&m_clipboardReplay, &m_dragReplay}) {
        if (session->object) session->object->SetWriteListener(nullptr);
    }
    UpdateAllViews(nullptr, HintSnapshotReplaced);
}

void CKaviloDoc::RetireSnapshot()
{
    const int keep = KeptSnapshots(fw::GetProfileInt(L"Settings", L"KeptSnapshots", 1), m_watching);
    if (!m_snapshot || keep <= 1) {
        // A history of one: the snapshot is replaced, as it always was.
        if (keep <= 1) ReleaseSnapshot();
        return;
    }
    m_kept.insert(m_kept.begin(), CKeptSnapshot{std::move(m_snapshot), GetTitle(), m_offeredFormats, m_taken, m_how,
                                                m_owner, m_allowedEffects});
    m_snapshot.reset();
    LeaveSnapshot();
}

void CKaviloDoc::TrimHistory()
{
    if (m_kept.empty()) return;
    std::vector<uint64_t> sizes;
    sizes.push_back(m_snapshot ? SnapshotBytes(*m_snapshot) : 0);
    for (const CKeptSnapshot& kept : m_kept) sizes.push_back(kept.snapshot ? SnapshotBytes(*kept.snapshot) : 0);
    const int budgetMiB =
        fw::GetProfileInt(L"Settings", L"HistoryBudgetMB", static_cast<int>(kDefaultHistoryBudget >> 20));
    const size_t over =
        SnapshotsOverLimits(sizes, KeptSnapshots(fw::GetProfileInt(L"Settings", L"KeptSnapshots", 1), m_watching),
                            static_cast<uint64_t>(std::max(budgetMiB, 1)) << 20);
    if (over == 0) return;
    // The views let go of the oldest before their files go.
    std::vector<CKeptSnapshot> dropped(std::make_move_iterator(m_kept.end() - over),
                                       std::make_move_iterator(m_kept.end()));
    m_kept.erase(m_kept.end() - over, m_kept.end());
    UpdateAllViews(nullptr, HintSnapshotReplaced);
}

void CKaviloDoc::RemoveKeptSnapshot(size_t index)
{
    if (index >= m_kept.size() || m_busy) return;
    CKeptSnapshot removed = std::move(m_kept[index]);
    m_kept.erase(m_kept.begin() + index);
    UpdateAllViews(nullptr, HintSnapshotReplaced);
}

std::shared_ptr<CCBDataArray> CKaviloDoc::FindSnapshotOf(const CCBData* entry) const
{
    if (m_snapshot && Holds(*m_snapshot, entry)) return m_snapshot;
    for (const CKeptSnapshot& kept : m_kept)
        if (kept.snapshot && Holds(*kept.snapshot, entry)) return kept.snapshot;
    return nullptr;
}

CKaviloDoc::CompareSide CKaviloDoc::RootSide(int kept) const
{
    if (kept < 0) return CompareSide{m_snapshot, GetTitle(), m_taken, m_owner};
    const CKeptSnapshot& root = m_kept[static_cast<size_t>(kept)];
    return CompareSide{root.snapshot, root.title, root.taken, root.owner};
}

bool CKaviloDoc::CompareRoot(int kept, const std::wstring& path, ShowEntryAt show)
{
    if (kept >= static_cast<int>(m_kept.size()) || m_busy) return false;
    // Reading the file, comparing and the dialog all dispatch messages.
    BusyScope busy(*this);
    return CompareRootNow(kept, path, show);
}

bool CKaviloDoc::CompareRootNow(int kept, const std::wstring& path, const ShowEntryAt& show)
{
    CompareSide a = RootSide(kept);
    CompareSide b;
    if (!path.empty()) {
        CSnapshotInfo info;
        SnapshotFileResult read;
        {
            CCopyingDialog progress;
            read = OpenSnapshotFile(path, info, b.snapshot, progress);
        }
        if (!read.Done()) {
            fw::AfxMessageBox(read.message);
            return false;
        }
        b.title = path.substr(path.find_last_of(L"\\/") + 1);
        // A file read here is in no tree: its entries cannot be shown.
        return CompareSides(a, b, false, show);
    }
    if (kept > 0) {
        b = RootSide(kept - 1);
    } else if (kept == 0) {
        b = RootSide(-1);
    } else if (!m_kept.empty()) {
        // The current snapshot is the newest: it is compared with the one before it.
        b = a;
        a = RootSide(0);
    }
    return CompareSides(a, b, true, show);
}

bool CKaviloDoc::CompareSides(const CompareSide& a, const CompareSide& b, bool showB, const ShowEntryAt& show)
{
    if (!a.snapshot || !b.snapshot) {
        fw::AfxMessageBox(L"比較するスナップショットがありません。");
        return false;
    }
    CompareResult result;
    {
        const std::vector<CompareNode> treeA = BuildCompareTree(*a.snapshot), treeB = BuildCompareTree(*b.snapshot);
        CCopyingDialog progress;
        result = CompareSnapshotTrees(treeA, treeB, progress);
        if (!result.stopped) {
            // The dialog shows the trees' nodes: they stay while it is open.
            CompareShowEntry showA, showSideB;
            if (show) {
                showA = [&show](const void* source, uint64_t offset, uint64_t length) {
                    return show(static_cast<const CCBData*>(source), offset, length);
                };
                if (showB) showSideB = showA;
            }
            CCompareDialog dialog(result, a.title, b.title, showA, showSideB);
            dialog.DoModal(fw::GetMainWindow());
        }
    }
    if (result.stopped) {
        fw::AfxMessageBox(L"中止しました。");
        return false;
    }
    return true;
}

bool CKaviloDoc::OnEditCompare(int kept, ShowEntryAt show)
{
    if (kept >= static_cast<int>(m_kept.size()) || m_busy) return false;
    // While the chooser and the comparison are open no capture or removal changes the
    // history; the sides hold their snapshots anyway.
    BusyScope busy(*this);
    const CompareSide a = RootSide(kept);
    // The other roots in the tree's order, the current one first.
    std::vector<int> others;
    for (int root = m_snapshot ? -1 : 0; root < static_cast<int>(m_kept.size()); ++root)
        if (root != kept) others.push_back(root);
    // With one other root there is nothing to choose: compared with it at once, as the
    // file has a command of its own.
    if (!a.snapshot || others.size() <= 1) return CompareRootNow(kept, std::wstring(), show);
    std::vector<CompareSide> sides;
    std::vector<CompareCandidate> candidates;
    for (const int root : others) {
        sides.push_back(RootSide(root));
        const CompareSide& side = sides.back();
        std::wstring owner;
        if (side.owner) {
            const std::wstring image = side.owner->image.value_or(L"不明");
            owner = image.substr(image.find_last_of(L"\\/") + 1);
            if (side.owner->pid) owner += L" (" + std::to_wstring(*side.owner->pid) + L")";
        }
        candidates.push_back(CompareCandidate{side.title, side.taken, owner});
    }
    // The next newer root starts selected (the current one: the one before it).
    const int neighbour = kept > 0 ? kept - 1 : kept == 0 ? -1 : 0;
    const size_t preselected = static_cast<size_t>(std::find(others.begin(), others.end(), neighbour) - others.begin());
    CCompareChooseDialog chooser(a.title, std::move(candidates), preselected);
    const INT_PTR chosen = chooser.DoModal(fw::GetMainWindow());
    if (chosen == CCompareChooseDialog::kChooseFile) {
        std::wstring path;
        if (!fw::ChooseOpenFile(fw::GetMainWindow(), SnapshotFileRequest(L""), path)) return false;
        return CompareRootNow(kept, path, show);
    }
    if (chosen != IDOK) return false;
    return CompareSides(a, sides[chooser.GetChosen()], true, show);
}

void CKaviloDoc::OnEditCompareFile(int kept, ShowEntryAt show)
{
    std::wstring path;
    if (fw::ChooseOpenFile(fw::GetMainWindow(), SnapshotFileRequest(L""), path))
        CompareRoot(kept, path, std::move(show));
}

void CKaviloDoc::CaptureForWatch(bool listOnly)
{
    if (m_busy) return;
    BusyScope busy(*this);
    // The snapshot goes into the history under its own title, before the new one is set.
    RetireSnapshot();
    SetTitle(fw::Format(L"クリップボード#%u", ::GetClipboardSequenceNumber()));
    CClipboardOwner owner = QueryClipboardOwner();
    COleDataObject clipboard;
    std::vector<FORMATETC> formats, enumerated;
    bool stopped = false;
    const bool cut = clipboard.AttachClipboard() && ListSourceFormats(clipboard, formats, enumerated, stopped);
    m_how = L"paste";
    m_owner = std::move(owner);
    m_allowedEffects.reset();
    ReplaceAndCapture(clipboard, listOnly || stopped ? std::vector<FORMATETC>() : formats, formats, enumerated, cut,
                      stopped);
    clipboard.Release();
}

void CKaviloDoc::ReplaceAndCapture(COleDataObject& source, const std::vector<FORMATETC>& capture,
                                   const std::vector<FORMATETC>& offered, const std::vector<FORMATETC>& enumerated,
                                   bool listCut, bool listStopped)
{
    BusyScope busy(*this);
    RetireSnapshot();
    m_taken = SnapshotTimeNow();
    m_snapshot = std::make_shared<CCBDataArray>();
    // The capture fills the snapshot it started with, whatever happens to the document's
    // reference meanwhile.
    const std::shared_ptr<CCBDataArray> snapshot = m_snapshot;
    try {
        CCopyingDialog progress;
        m_progress = &progress;
        snapshot->Capture(source, capture, progress);
        m_progress = nullptr;
        snapshot->RecordEnumeration(enumerated, capture);
        if (listCut) snapshot->push_back(MakeFormatListCutEntry(listStopped));
    } catch (const std::bad_alloc&) {
        m_progress = nullptr;
        m_snapshot.reset();
        fw::AfxMessageBox(L"メモリが足りません。");
    }
    ListFormatTexts(offered, m_offeredFormats);
    TrimHistory();
    UpdateAllViews(nullptr, HintSnapshotReplaced);
}

std::vector<std::wstring> CKaviloDoc::GetRootRows() const
{
    return RootRows(m_owner, m_allowedEffects);
}

std::vector<std::wstring> CKaviloDoc::RootRows(const std::optional<CClipboardOwner>& owner,
                                               const std::optional<DWORD>& allowedEffects)
{
    std::vector<std::wstring> rows = owner ? BuildOwnerRows(*owner) : std::vector<std::wstring>();
    if (allowedEffects) rows.push_back(L"許可されたドロップ効果\t" + DropEffectText(*allowedEffects));
    return rows;
}

bool CKaviloDoc::StopCapture(bool thenClose)
{
    if (!m_busy) return false;
    if (m_progress) m_progress->RequestStop();
    if (thenClose) m_closeAfterCapture = true;
    return true;
}

void CKaviloDoc::OnEditPaste()
{
    CaptureForWatch(false);
}

void CKaviloDoc::OnEditPasteSpecial()
{
    if (m_busy) return;
    BusyScope busy(*this);
    const DWORD sequence = ::GetClipboardSequenceNumber();
    CClipboardOwner owner = QueryClipboardOwner();
    COleDataObject clipboard;
    std::vector<FORMATETC> formats, enumerated;
    bool stopped = false;
    const bool cut = clipboard.AttachClipboard() && ListSourceFormats(clipboard, formats, enumerated, stopped);
    // After a stop nothing is taken: the snapshot only says so.
    const std::vector<FORMATETC> chosen = stopped ? std::vector<FORMATETC>() : ChooseFormats(formats);
    if (chosen.empty() && !stopped) return;
    RetireSnapshot();
    SetTitle(fw::Format(L"クリップボード#%u", sequence));
    m_how = L"paste-special";
    m_owner = std::move(owner);
    m_allowedEffects.reset();
    ReplaceAndCapture(clipboard, chosen, formats, enumerated, cut, stopped);
    UpdateAllViews(nullptr, HintSelectFirst);
    clipboard.Release();
}

bool CKaviloDoc::CaptureDrop(COleDataObject& source, bool chooseFormat, DWORD allowedEffects)
{
    if (m_busy) return false;
    BusyScope busy(*this);
    if (HWND main = fw::GetMainWindow()) ::SetForegroundWindow(main);
    std::vector<FORMATETC> formats, enumerated;
    bool stopped = false;
    const bool cut = ListSourceFormats(source, formats, enumerated, stopped);
    // After a stop nothing is taken: the snapshot only says so.
    const std::vector<FORMATETC> capture = stopped        ? std::vector<FORMATETC>()
                                           : chooseFormat ? ChooseFormats(formats)
                                                          : formats;
    if (capture.empty() && !stopped) return false;
    RetireSnapshot();

    int hour = -1, minute = -1, second = -1;
    const __time64_t now = _time64(nullptr);
    struct tm local = {};
    if (_localtime64_s(&local, &now) == 0) hour = local.tm_hour, minute = local.tm_min, second = local.tm_sec;
    SetTitle(fw::Format(L"ドロップデータ %02d:%02d:%02d", hour, minute, second));
    m_how = chooseFormat ? L"drop-special" : L"drop";
    m_owner.reset();
    m_allowedEffects = allowedEffects;
    ReplaceAndCapture(source, capture, formats, enumerated, cut, stopped);
    if (chooseFormat) UpdateAllViews(nullptr, HintSelectFirst);
    return true;
}

bool CKaviloDoc::ListSourceFormats(COleDataObject& source, std::vector<FORMATETC>& formats,
                                   std::vector<FORMATETC>& enumerated, bool& stopped)
{
    CCopyingDialog progress;
    CCBDataCreateContext pump;
    pump.m_progress = &progress;
    const ULONGLONG start = ::GetTickCount64();
    ThreadNudge nudge(static_cast<DWORD>(kListingWindowDelay), 100);
    bool shown = false;
    auto showOnceLong = [&]() -> bool {
        if (shown) return true;
        // A quick listing goes without the window and without dispatching messages.
        if (::GetTickCount64() - start < kListingWindowDelay) return false;
        progress.Open();
        shown = true;
        nudge.LetGo();  // the window's own messages ask the filter from here on
        return true;
    };
    m_progress = &progress;
    // A source may also block inside one call (EnumFormatEtc, Next): while the call is
    // pending, the filter shows the progress window once the listing has taken a moment,
    // serves it, and its Stop cancels the call (where the runtime can; elsewhere the call
    // is left to return and the listing ends there). The filter is only asked when a
    // message arrives: ThreadNudge posts them until the window shows.
    std::optional<fw::ScopedMessageFilter> filter;
    filter.emplace(
        nullptr,
        [&] {
            if (showOnceLong()) filter->SetWindow(progress.GetDialogWindow());
            return progress.IsStopRequested() != FALSE;
        },
        5000, fw::PendingCallsCanBeCancelled());
    bool cut = ListFormats(source, formats, &enumerated, [&] {
        if (progress.IsStopRequested()) return true;
        if (!showOnceLong()) return false;
        return pump.PumpMessages() != FALSE;
    });
    filter.reset();
    m_progress = nullptr;
    stopped = progress.IsStopRequested() != FALSE;
    // A cancelled call ends the listing as a failed one: it was still cut.
    if (stopped) cut = true;
    if (shown) progress.Close();
    return cut;
}

std::vector<FORMATETC> CKaviloDoc::ChooseFormats(const std::vector<FORMATETC>& offered)
{
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    fw::UniqueMenu menu(::CreatePopupMenu());
    const size_t shown = std::min(offered.size(), kMaxChoices);
    for (size_t i = 0; i < shown; ++i) {
        // Twenty formats a column.
        const UINT flags = MF_STRING | (i > 0 && i % 20 == 0 ? MF_MENUBARBREAK : 0);
        ::AppendMenuW(menu.Get(), flags, kFirstChoice + i, MenuText(GetFormatEtcText(offered[i])).c_str());
    }
    if (shown < offered.size())
        ::AppendMenuW(menu.Get(), MF_STRING | MF_GRAYED | (shown % 20 == 0 ? MF_MENUBARBREAK : 0), 0,
                      fw::Format(L"ほか%u個の形式", static_cast<unsigned>(offered.size() - shown)).c_str());
    const UINT command = static_cast<UINT>(::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_NONOTIFY, cursor.x,
                                                            cursor.y, 0, fw::GetMainWindow(), nullptr));
    if (command < kFirstChoice || command - kFirstChoice >= shown) return {};
    return FormatsForChoice(offered, command - kFirstChoice);
}

void CKaviloDoc::OnFileOpen()
{
    if (m_busy) return;
    std::wstring path;
    if (fw::ChooseOpenFile(fw::GetMainWindow(), SnapshotFileRequest(L""), path)) OpenFile(path);
}

void CKaviloDoc::OnFileSaveAs(int kept)
{
    if (m_busy) return;
    if (kept >= 0 && static_cast<size_t>(kept) < m_kept.size()) {
        std::wstring path;
        const std::wstring suggested = FileNameFor(m_kept[kept].title) + L"." + kSnapshotExtension;
        if (fw::ChooseSaveFile(fw::GetMainWindow(), SnapshotFileRequest(suggested), path))
            SaveKeptFile(path, static_cast<size_t>(kept));
        return;
    }
    if (!m_snapshot) return;
    const std::wstring suggested = m_pathName.empty() ? FileNameFor(GetTitle()) + L"." + kSnapshotExtension
                                                      : m_pathName.substr(m_pathName.find_last_of(L"\\/") + 1);
    std::wstring path;
    if (fw::ChooseSaveFile(fw::GetMainWindow(), SnapshotFileRequest(suggested), path)) SaveFile(path);
}

bool CKaviloDoc::OpenFile(const std::wstring& path)
{
    if (m_busy) return false;
    BusyScope busy(*this);
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    SnapshotFileResult result;
    {
        CCopyingDialog progress(L"スナップショットを開いています...");
        m_progress = &progress;
        result = OpenSnapshotFile(path, info, opened, progress);
        m_progress = nullptr;
    }
    if (!result.Done()) {
        fw::AfxMessageBox(result.message);
        return false;
    }
    RetireSnapshot();
    m_snapshot = std::move(opened);
    m_offeredFormats = std::move(info.offered);
    m_taken = info.taken;
    m_how = info.how;
    m_owner = info.owner;
    m_allowedEffects = info.allowedEffects;
    // The snapshot keeps its own title (the tree's root); the caption names the file.
    m_pathName = path;
    fw::Document::SetTitle(info.title);
    TrimHistory();
    UpdateAllViews(nullptr, HintSnapshotReplaced);
    return true;
}

bool CKaviloDoc::SaveKeptFile(const std::wstring& path, size_t kept)
{
    if (kept >= m_kept.size() || !m_kept[kept].snapshot || m_busy) return false;
    BusyScope busy(*this);
    // A copy of the pointer: the history may change while the progress window pumps messages.
    const CKeptSnapshot snapshot = m_kept[kept];
    CSnapshotInfo info;
    info.title = snapshot.title;
    info.offered = snapshot.offered;
    info.taken = snapshot.taken;
    info.how = snapshot.how;
    info.owner = snapshot.owner;
    info.allowedEffects = snapshot.allowedEffects;
    SnapshotFileResult result;
    {
        CCopyingDialog progress;
        result = SaveSnapshotFile(path, info, *snapshot.snapshot, progress);
    }
    if (!result.Done()) fw::AfxMessageBox(result.message);
    return result.Done();
}

bool CKaviloDoc::SaveFile(const std::wstring& path)
{
    if (!m_snapshot || m_busy) return false;
    BusyScope busy(*this);
    const std::shared_ptr<CCBDataArray> snapshot = m_snapshot;
    CSnapshotInfo info;
    info.title = GetTitle();
    info.offered = m_offeredFormats;
    info.taken = m_taken;
    info.how = m_how;
    info.owner = m_owner;
    info.allowedEffects = m_allowedEffects;
    SnapshotFileResult result;
    {
        CCopyingDialog progress(L"スナップショットを保存しています...");
        m_progress = &progress;
        result = SaveSnapshotFile(path, info, *snapshot, progress);
        m_progress = nullptr;
    }
    if (!result.Done()) {
        fw::AfxMessageBox(result.message);
        return false;
    }
    m_pathName = path;
    fw::Document::SetTitle(GetTitle());
    return true;
}

fw::ComPtr<CReplayDataObject> CKaviloDoc::MakeReplay(const CCBData* entry)
{
    if (!entry) return m_snapshot ? CReplayDataObject::ForSnapshot(m_snapshot) : nullptr;
    // An entry of an earlier snapshot is offered from that snapshot, which it keeps alive.
    const std::shared_ptr<CCBDataArray> holder = FindSnapshotOf(entry);
    return holder ? CReplayDataObject::ForEntry(holder, entry) : nullptr;
}

void CKaviloDoc::Track(ReplaySession& session, fw::ComPtr<CReplayDataObject> object)
{
    // Writes into an object the program no longer offers are not shown any more.
    if (session.object) session.object->SetWriteListener(nullptr);
    session.object = std::move(object);
    session.shown = 0;
    if (session.object) session.object->SetWriteListener([this, &session] { ShowWrites(session); });
}

CCBData& CKaviloDoc::WriteBack()
{
    if (!m_writeBack) {
        m_writeBack = std::make_shared<CCBData>();
        m_writeBack->m_displayName = L"ターゲットが設定したデータ";
        m_writeBack->m_treeIcon = 0;
        m_writeBack->m_defaultViewTab = 3;
        m_writeBack->m_children = std::make_shared<CCBDataArray>();
    }
    return *m_writeBack;
}

void CKaviloDoc::ShowWrites(ReplaySession& session)
{
    if (!session.object || !m_snapshot) return;
    const std::vector<CReplayWrite>& writes = session.object->Writes();
    if (session.shown >= writes.size()) return;
    CCBData& node = WriteBack();
    for (; session.shown < writes.size(); ++session.shown)
        node.m_children->push_back(MakeWriteBackEntry(writes[session.shown]));
    UpdateAllViews(nullptr, HintWriteBack);
}

bool CKaviloDoc::OnEditReplayKept(size_t index)
{
    if (index >= m_kept.size() || !m_kept[index].snapshot) return false;
    return OfferOnClipboard(CReplayDataObject::ForSnapshot(m_kept[index].snapshot));
}

bool CKaviloDoc::OnEditReplay(const CCBData* entry)
{
    return OfferOnClipboard(MakeReplay(entry));
}

bool CKaviloDoc::OfferOnClipboard(fw::ComPtr<CReplayDataObject> replay)
{
    if (m_busy) return false;
    // Waiting for the clipboard dispatches messages.
    BusyScope busy(*this);
    if (!replay) {
        fw::AfxMessageBox(L"クリップボードに戻せるデータがありません。");
        return false;
    }
    if (FAILED(fw::SetOleClipboardWithRetry(replay.Get()))) {
        fw::AfxMessageBox(L"クリップボードに戻せませんでした。");
        return false;
    }
    Track(m_clipboardReplay, std::move(replay));
    return true;
}

fw::DragResult CKaviloDoc::DragOut(const CCBData* entry, DWORD button)
{
    if (m_busy) return {};
    fw::ComPtr<CReplayDataObject> replay = MakeReplay(entry);
    if (!replay) return {};
    Track(m_dragReplay, replay);
    const unsigned serial = m_snapshotSerial;
    const fw::DragResult result = fw::DoDragDrop(replay.Get(), GetDragEffects(entry), button);
    // The drop may have replaced the snapshot (a drop on the program's own drop area):
    // the effect then belongs to a snapshot that is gone.
    if (m_snapshot && serial == m_snapshotSerial && m_dragReplay.object == replay) {
        ShowWrites(m_dragReplay);
        WriteBack().m_properties = {L"ドロップ効果\t" + (result.hr == DRAGDROP_S_DROP ? DropEffectText(result.effect)
                                                                                      : std::wstring(L"取り消し"))};
        UpdateAllViews(nullptr, HintWriteBack);
    }
    return result;
}

DWORD CKaviloDoc::GetDragEffects(const CCBData* entry) const
{
    // A replayed CF_HDROP names someone else's files: a move is offered only when the
    // source it was dropped from allowed one. An earlier snapshot's entry goes by its own.
    std::optional<DWORD> allowed = m_allowedEffects;
    if (entry) {
        const std::shared_ptr<CCBDataArray> holder = FindSnapshotOf(entry);
        for (const CKeptSnapshot& kept : m_kept)
            if (holder && kept.snapshot == holder) allowed = kept.allowedEffects;
    }
    constexpr DWORD kEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    return allowed ? *allowed & kEffects : DROPEFFECT_COPY | DROPEFFECT_LINK;
}

void CKaviloDoc::FlushReplay()
{
    fw::ComPtr<CReplayDataObject> replay = m_clipboardReplay.object;
    if (replay && ::OleIsCurrentClipboard(replay.Get()) == S_OK) ::OleFlushClipboard();
    Track(m_clipboardReplay, nullptr);
}
