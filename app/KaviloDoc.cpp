#include "app/KaviloDoc.h"

#include "app/CopyingDialog.h"
#include "app/FormatChoice.h"
#include "capture/CBData.h"
#include "capture/FormatCatalogue.h"
#include "capture/SnapshotFile.h"
#include "capture/bytes/DropEffect.h"
#include "framework/Clipboard.h"
#include "framework/FileDialog.h"
#include "framework/Format.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"

#include <algorithm>
#include <ctime>
#include <new>

const fw::CRuntimeClass CKaviloDoc::classCKaviloDoc = {"CKaviloDoc", &fw::Document::classDocument};

namespace {

constexpr UINT kFirstChoice = 10000;
// A pop-up menu of thousands of items takes long to build and cannot be read: the
// formats after these are left out of it, and a grey item says how many.
constexpr size_t kMaxChoices = 1000;

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

void CKaviloDoc::ReleaseSnapshot()
{
    if (!m_snapshot) return;
    // The views let go of their entries before the old snapshot (and its files) goes.
    std::shared_ptr<CCBDataArray> old = std::move(m_snapshot);
    m_snapshot.reset();
    // What targets wrote belonged to this snapshot; a drag under way learns it is gone.
    std::shared_ptr<CCBData> oldWriteBack = std::move(m_writeBack);
    ++m_snapshotSerial;
    UpdateAllViews(nullptr, HintSnapshotReplaced);
    old.reset();
}

void CKaviloDoc::ReplaceAndCapture(COleDataObject& source, const std::vector<FORMATETC>& capture,
                                   const std::vector<FORMATETC>& offered, bool listCut)
{
    ReleaseSnapshot();
    m_taken = SnapshotTimeNow();
    m_snapshot = std::make_shared<CCBDataArray>();
    try {
        CCopyingDialog progress;
        m_progress = &progress;
        m_snapshot->Capture(source, capture, progress);
        m_progress = nullptr;
        if (listCut) m_snapshot->push_back(MakeFormatListCutEntry());
    } catch (const std::bad_alloc&) {
        m_progress = nullptr;
        m_snapshot.reset();
        fw::AfxMessageBox(L"メモリが足りません。");
    }
    if (m_closeAfterCapture) {
        // The main window was asked to close during the capture: it closes now, after the
        // views are up to date and the caller has let go of the source.
        m_closeAfterCapture = false;
        if (HWND main = fw::GetMainWindow()) ::PostMessageW(main, WM_CLOSE, 0, 0);
    }
    ListFormatTexts(offered, m_offeredFormats);
    UpdateAllViews(nullptr, HintSnapshotReplaced);
}

bool CKaviloDoc::StopCapture(bool thenClose)
{
    if (!m_progress) return false;
    m_progress->RequestStop();
    if (thenClose) m_closeAfterCapture = true;
    return true;
}

void CKaviloDoc::OnEditPaste()
{
    SetTitle(fw::Format(L"クリップボード#%u", ::GetClipboardSequenceNumber()));
    COleDataObject clipboard;
    std::vector<FORMATETC> formats;
    const bool cut = clipboard.AttachClipboard() && ListFormats(clipboard, formats);
    m_how = L"paste";
    ReplaceAndCapture(clipboard, formats, formats, cut);
    clipboard.Release();
}

void CKaviloDoc::OnEditPasteSpecial()
{
    const DWORD sequence = ::GetClipboardSequenceNumber();
    COleDataObject clipboard;
    std::vector<FORMATETC> formats;
    const bool cut = clipboard.AttachClipboard() && ListFormats(clipboard, formats);
    const std::vector<FORMATETC> chosen = ChooseFormats(formats);
    if (chosen.empty()) return;
    SetTitle(fw::Format(L"クリップボード#%u", sequence));
    m_how = L"paste-special";
    ReplaceAndCapture(clipboard, chosen, formats, cut);
    UpdateAllViews(nullptr, HintSelectFirst);
    clipboard.Release();
}

bool CKaviloDoc::CaptureDrop(COleDataObject& source, bool chooseFormat)
{
    if (HWND main = fw::GetMainWindow()) ::SetForegroundWindow(main);
    std::vector<FORMATETC> formats;
    const bool cut = ListFormats(source, formats);
    const std::vector<FORMATETC> capture = chooseFormat ? ChooseFormats(formats) : formats;
    if (capture.empty()) return false;

    int hour = -1, minute = -1, second = -1;
    const __time64_t now = _time64(nullptr);
    struct tm local = {};
    if (_localtime64_s(&local, &now) == 0) hour = local.tm_hour, minute = local.tm_min, second = local.tm_sec;
    SetTitle(fw::Format(L"ドロップデータ %02d:%02d:%02d", hour, minute, second));
    m_how = chooseFormat ? L"drop-special" : L"drop";
    ReplaceAndCapture(source, capture, formats, cut);
    if (chooseFormat) UpdateAllViews(nullptr, HintSelectFirst);
    return true;
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
    std::wstring path;
    if (fw::ChooseOpenFile(fw::GetMainWindow(), SnapshotFileRequest(L""), path)) OpenFile(path);
}

void CKaviloDoc::OnFileSaveAs()
{
    if (!m_snapshot) return;
    const std::wstring suggested = m_pathName.empty() ? FileNameFor(GetTitle()) + L"." + kSnapshotExtension
                                                      : m_pathName.substr(m_pathName.find_last_of(L"\\/") + 1);
    std::wstring path;
    if (fw::ChooseSaveFile(fw::GetMainWindow(), SnapshotFileRequest(suggested), path)) SaveFile(path);
}

bool CKaviloDoc::OpenFile(const std::wstring& path)
{
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    SnapshotFileResult result;
    {
        CCopyingDialog progress;
        result = OpenSnapshotFile(path, info, opened, progress);
    }
    if (!result.Done()) {
        fw::AfxMessageBox(result.message);
        return false;
    }
    ReleaseSnapshot();
    m_snapshot = std::move(opened);
    m_offeredFormats = std::move(info.offered);
    m_taken = info.taken;
    m_how = info.how;
    // The snapshot keeps its own title (the tree's root); the caption names the file.
    m_pathName = path;
    fw::Document::SetTitle(info.title);
    UpdateAllViews(nullptr, HintSnapshotReplaced);
    return true;
}

bool CKaviloDoc::SaveFile(const std::wstring& path)
{
    if (!m_snapshot) return false;
    CSnapshotInfo info;
    info.title = GetTitle();
    info.offered = m_offeredFormats;
    info.taken = m_taken;
    info.how = m_how;
    SnapshotFileResult result;
    {
        CCopyingDialog progress;
        result = SaveSnapshotFile(path, info, *m_snapshot, progress);
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
    if (!m_snapshot) return nullptr;
    return entry ? CReplayDataObject::ForEntry(m_snapshot, entry) : CReplayDataObject::ForSnapshot(m_snapshot);
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

bool CKaviloDoc::OnEditReplay(const CCBData* entry)
{
    fw::ComPtr<CReplayDataObject> replay = MakeReplay(entry);
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
    fw::ComPtr<CReplayDataObject> replay = MakeReplay(entry);
    if (!replay) return {};
    Track(m_dragReplay, replay);
    const unsigned serial = m_snapshotSerial;
    // A drag source may offer every effect; the snapshot itself is never changed.
    const fw::DragResult result =
        fw::DoDragDrop(replay.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, button);
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

void CKaviloDoc::FlushReplay()
{
    fw::ComPtr<CReplayDataObject> replay = m_clipboardReplay.object;
    if (replay && ::OleIsCurrentClipboard(replay.Get()) == S_OK) ::OleFlushClipboard();
    Track(m_clipboardReplay, nullptr);
}
