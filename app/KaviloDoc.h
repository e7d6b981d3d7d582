// The document: the one current snapshot, its title and the formats the last data object
// offered. Paste, Paste Special and drops capture into a new snapshot that replaces the
// previous one; the views are told with the hints below.
#pragma once

#include "capture/CBDataArray.h"
#include "capture/ReplayDataObject.h"
#include "framework/Document.h"
#include "framework/OleDropSource.h"

#include <memory>
#include <string>
#include <vector>

class CCopyingDialog;
class COleDataObject;

class CKaviloDoc : public fw::Document {
public:
    static const fw::CRuntimeClass classCKaviloDoc;
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCKaviloDoc; }

    // View hints.
    static constexpr LPARAM HintSnapshotReplaced = 1;  // rebuild the tree, drop the pages
    static constexpr LPARAM HintShowEntry = 2;         // show the entry (the hint object), or the offered formats
    static constexpr LPARAM HintSelectFirst = 4;       // select the first entry of the tree
    static constexpr LPARAM HintWriteBack = 8;         // what targets wrote changed (GetWriteBack)

    CKaviloDoc();
    ~CKaviloDoc() override;

    // Paste (command 57637) and Paste Special (command 32775).
    void OnEditPaste();
    void OnEditPasteSpecial();
    // A drop on one of the drop areas; true when a capture was made.
    bool CaptureDrop(COleDataObject& source, bool chooseFormat);
    // Open (command 57601) and Save As (command 57604): the Explorer-style dialogs over
    // snapshot files, then OpenFile or SaveFile.
    void OnFileOpen();
    void OnFileSaveAs();
    // Replaces the snapshot with the file's, as a capture does (hint 1 before and after).
    // When the file cannot be read or the user stops, the current snapshot stays and a
    // message says why. True when opened.
    bool OpenFile(const std::wstring& path);
    // Saves the current snapshot; true when the file was written whole.
    bool SaveFile(const std::wstring& path);
    // The snapshot file last opened or saved, which the caption names; empty after a capture.
    const std::wstring& GetPathName() const { return m_pathName; }
    // A capture's title: the snapshot no longer is the file's.
    void SetTitle(const std::wstring& title) override;

    // The pop-up menu of the offered formats at the cursor: the formats to capture (none,
    // the chosen one, or a descriptor and "FileContents").
    std::vector<FORMATETC> ChooseFormats(const std::vector<FORMATETC>& offered);

    // Replay: the whole snapshot (entry null) or one entry back on the clipboard (command
    // 32800), and the drag of the tree's root or of an entry. False when nothing was offered.
    bool OnEditReplay(const CCBData* entry);
    fw::DragResult DragOut(const CCBData* entry, DWORD button = MK_LBUTTON);
    // At exit: what can be kept of a replay on the clipboard stays there without the program.
    void FlushReplay();
    // What targets wrote into the data the program offered, with the effect of the last
    // drag: one entry per write under "ターゲットが設定したデータ". Null until there is any.
    const std::shared_ptr<CCBData>& GetWriteBack() const { return m_writeBack; }
    const fw::ComPtr<CReplayDataObject>& GetClipboardReplay() const { return m_clipboardReplay.object; }

    const std::shared_ptr<CCBDataArray>& GetSnapshot() const { return m_snapshot; }
    const std::vector<std::wstring>& GetOfferedFormats() const { return m_offeredFormats; }
    // The texts of the offered formats as the root of the tree shows them.
    void SetOfferedFormats(std::vector<std::wstring> texts) { m_offeredFormats = std::move(texts); }

    // Replaces the snapshot: the views let go of the old one first (hint 1), then the
    // new one is captured from `source`, then the views are told again (hint 1).
    // `listCut`: the source's list of formats was cut, which the snapshot's last entry says.
    void ReplaceAndCapture(COleDataObject& source, const std::vector<FORMATETC>& capture,
                           const std::vector<FORMATETC>& offered, bool listCut = false);

    // Asks a running capture to stop; with `thenClose`, the main window is closed once the
    // capture has ended. False when no capture runs.
    bool StopCapture(bool thenClose = false);
    bool IsCapturing() const { return m_progress != nullptr; }
    // Lets go of the snapshot and its files (the views first).
    void ReleaseSnapshot();

private:
    // A data object the program offered and how many of its writes are shown.
    struct ReplaySession {
        fw::ComPtr<CReplayDataObject> object;
        size_t shown = 0;
    };
    fw::ComPtr<CReplayDataObject> MakeReplay(const CCBData* entry);
    void Track(ReplaySession& session, fw::ComPtr<CReplayDataObject> object);
    void ShowWrites(ReplaySession& session);
    CCBData& WriteBack();

    ReplaySession m_clipboardReplay;
    ReplaySession m_dragReplay;
    std::shared_ptr<CCBData> m_writeBack;
    unsigned m_snapshotSerial = 0;  // counts replaced snapshots: a drop may replace the one a drag serves
    std::shared_ptr<CCBDataArray> m_snapshot;
    std::vector<std::wstring> m_offeredFormats;
    std::wstring m_pathName;
    std::wstring m_taken;  // when and how the snapshot was taken, kept in its file
    std::wstring m_how;
    CCopyingDialog* m_progress = nullptr;  // the running capture's, else null
    bool m_closeAfterCapture = false;
};
