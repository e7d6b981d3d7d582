#include "app/KaviloDoc.h"

#include "app/CopyingDialog.h"
#include "app/FormatChoice.h"
#include "capture/FormatCatalogue.h"
#include "framework/Format.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"

#include <ctime>
#include <new>

const fw::CRuntimeClass CKaviloDoc::classCKaviloDoc = {"CKaviloDoc", &fw::Document::classDocument};

namespace {

constexpr UINT kFirstChoice = 10000;

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

}  // namespace

CKaviloDoc::CKaviloDoc() = default;
CKaviloDoc::~CKaviloDoc() = default;

void CKaviloDoc::ReplaceAndCapture(COleDataObject& source, const std::vector<FORMATETC>& capture,
                                   const std::vector<FORMATETC>& offered)
{
    ReleaseSnapshot();
    m_snapshot = std::make_shared<CCBDataArray>();
    try {
        CCopyingDialog progress;
        m_progress = &progress;
        m_snapshot->Capture(source, capture, progress);
        m_progress = nullptr;
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

void CKaviloDoc::ReleaseSnapshot()
{
    if (!m_snapshot) return;
    // The views let go of their entries before the old snapshot (and its files) goes.
    std::shared_ptr<CCBDataArray> old = std::move(m_snapshot);
    m_snapshot.reset();
    UpdateAllViews(nullptr, HintSnapshotReplaced);
    old.reset();
}

void CKaviloDoc::OnEditPaste()
{
    SetTitle(fw::Format(L"クリップボード#%u", ::GetClipboardSequenceNumber()));
    COleDataObject clipboard;
    std::vector<FORMATETC> formats;
    if (clipboard.AttachClipboard()) ListFormats(clipboard, formats);
    ReplaceAndCapture(clipboard, formats, formats);
    clipboard.Release();
}

void CKaviloDoc::OnEditPasteSpecial()
{
    const DWORD sequence = ::GetClipboardSequenceNumber();
    COleDataObject clipboard;
    std::vector<FORMATETC> formats;
    if (clipboard.AttachClipboard()) ListFormats(clipboard, formats);
    const std::vector<FORMATETC> chosen = ChooseFormats(formats);
    if (chosen.empty()) return;
    SetTitle(fw::Format(L"クリップボード#%u", sequence));
    ReplaceAndCapture(clipboard, chosen, formats);
    UpdateAllViews(nullptr, HintSelectFirst);
    clipboard.Release();
}

bool CKaviloDoc::CaptureDrop(COleDataObject& source, bool chooseFormat)
{
    if (HWND main = fw::GetMainWindow()) ::SetForegroundWindow(main);
    std::vector<FORMATETC> formats;
    ListFormats(source, formats);
    const std::vector<FORMATETC> capture = chooseFormat ? ChooseFormats(formats) : formats;
    if (capture.empty()) return false;

    int hour = -1, minute = -1, second = -1;
    const __time64_t now = _time64(nullptr);
    struct tm local = {};
    if (_localtime64_s(&local, &now) == 0) hour = local.tm_hour, minute = local.tm_min, second = local.tm_sec;
    SetTitle(fw::Format(L"ドロップデータ %02d:%02d:%02d", hour, minute, second));
    ReplaceAndCapture(source, capture, formats);
    if (chooseFormat) UpdateAllViews(nullptr, HintSelectFirst);
    return true;
}

std::vector<FORMATETC> CKaviloDoc::ChooseFormats(const std::vector<FORMATETC>& offered)
{
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    fw::UniqueMenu menu(::CreatePopupMenu());
    for (size_t i = 0; i < offered.size(); ++i) {
        // Twenty formats a column.
        const UINT flags = MF_STRING | (i > 0 && i % 20 == 0 ? MF_MENUBARBREAK : 0);
        ::AppendMenuW(menu.Get(), flags, kFirstChoice + i, MenuText(GetFormatEtcText(offered[i])).c_str());
    }
    const UINT command = static_cast<UINT>(::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_NONOTIFY, cursor.x,
                                                            cursor.y, 0, fw::GetMainWindow(), nullptr));
    if (command < kFirstChoice || command - kFirstChoice >= offered.size()) return {};
    return FormatsForChoice(offered, command - kFirstChoice);
}
