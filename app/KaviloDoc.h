// The document: the one current snapshot, its title and the formats the last data object
// offered. Paste, Paste Special and drops capture into a new snapshot that replaces the
// previous one; the views are told with the hints below.
#pragma once

#include "capture/CBDataArray.h"
#include "capture/ClipboardOwner.h"
#include "capture/ReplayDataObject.h"
#include "framework/Document.h"
#include "framework/OleDropSource.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCopyingDialog;
class COleDataObject;

// An earlier snapshot kept in the history, with what its root shows and its file keeps.
struct CKeptSnapshot {
    std::shared_ptr<CCBDataArray> snapshot;
    std::wstring title;
    std::vector<std::wstring> offered;
    std::wstring taken, how;
    std::optional<CClipboardOwner> owner;
    std::optional<DWORD> allowedEffects;  // a drop's: what its source allowed
};

class CKaviloDoc : public fw::Document {
public:
    static const fw::CRuntimeClass classCKaviloDoc;
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCKaviloDoc; }

    // View hints.
    static constexpr LPARAM HintSnapshotReplaced = 1;  // rebuild the tree, drop the pages
    static constexpr LPARAM HintShowEntry = 2;         // show the entry (the hint object), or the offered formats
    static constexpr LPARAM HintSelectFirst = 4;       // select the first entry of the tree
    static constexpr LPARAM HintWriteBack = 8;         // what targets wrote changed (GetWriteBack)
    static constexpr LPARAM HintShowKept = 16;         // show an earlier snapshot's root (the hint object)

    CKaviloDoc();
    ~CKaviloDoc() override;

    // Paste (command 57637) and Paste Special (command 32775).
    void OnEditPaste();
    void OnEditPasteSpecial();
    // A drop on one of the drop areas, whose source allowed `allowedEffects`; true when a
    // capture was made.
    bool CaptureDrop(COleDataObject& source, bool chooseFormat, DWORD allowedEffects);
    // Open (command 57601) and Save As (command 57604): the Explorer-style dialogs over
    // snapshot files, then OpenFile or SaveFile.
    void OnFileOpen();
    // With `kept` (an earlier snapshot's index), that snapshot is saved instead of the current one.
    void OnFileSaveAs(int kept = -1);
    // Replaces the snapshot with the file's, as a capture does (hint 1 before and after).
    // When the file cannot be read or the user stops, the current snapshot stays and a
    // message says why. True when opened.
    bool OpenFile(const std::wstring& path);
    // Saves the current snapshot; true when the file was written whole.
    bool SaveFile(const std::wstring& path);
    // Saves an earlier snapshot of the history as it was taken; the caption stays.
    bool SaveKeptFile(const std::wstring& path, size_t kept);
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
    // An earlier snapshot, whole, back on the clipboard.
    bool OnEditReplayKept(size_t index);
    fw::DragResult DragOut(const CCBData* entry, DWORD button = MK_LBUTTON);
    // At exit: what can be kept of a replay on the clipboard stays there without the program.
    void FlushReplay();
    // What targets wrote into the data the program offered, with the effect of the last
    // drag: one entry per write under "ターゲットが設定したデータ". Null until there is any.
    const std::shared_ptr<CCBData>& GetWriteBack() const { return m_writeBack; }
    const fw::ComPtr<CReplayDataObject>& GetClipboardReplay() const { return m_clipboardReplay.object; }

    const std::shared_ptr<CCBDataArray>& GetSnapshot() const { return m_snapshot; }
    const std::vector<std::wstring>& GetOfferedFormats() const { return m_offeredFormats; }
    // The effects a drag of this snapshot offers: those its drop source allowed, or copy
    // and link only (a clipboard capture, or a file that did not record them).
    DWORD GetDragEffects(const CCBData* entry = nullptr) const;
    // The texts of the offered formats as the root of the tree shows them.
    void SetOfferedFormats(std::vector<std::wstring> texts) { m_offeredFormats = std::move(texts); }
    // Who put the data on the clipboard, for clipboard snapshots; none for drops.
    const std::optional<CClipboardOwner>& GetOwner() const { return m_owner; }
    // The root's rows after the offered formats: the clipboard owner's, or the effects a
    // dropped source allowed.
    std::vector<std::wstring> GetRootRows() const;
    static std::vector<std::wstring> RootRows(const std::optional<CClipboardOwner>& owner,
                                              const std::optional<DWORD>& allowedEffects);

    // Replaces the snapshot: the views let go of the old one first (hint 1), then the
    // new one is captured from `source`, then the views are told again (hint 1).
    // `enumerated` is the source's own list, exact duplicates included, which the snapshot
    // keeps for its replay. `listCut`: the source's list of formats was cut, which the
    // snapshot's last entry says (`listStopped`: by the user's stop).
    void ReplaceAndCapture(COleDataObject& source, const std::vector<FORMATETC>& capture,
                           const std::vector<FORMATETC>& offered, const std::vector<FORMATETC>& enumerated = {},
                           bool listCut = false, bool listStopped = false);

    // Asks the running long operation (a capture, the opening or saving of a snapshot file,
    // a replay waiting for the clipboard) to stop; with `thenClose`, the main window is
    // closed once it has ended. False when none runs.
    bool StopCapture(bool thenClose = false);
    bool IsCapturing() const { return m_progress != nullptr; }
    // True while a long operation runs. Each of them pumps messages, so a second one could
    // start inside it: they are refused meanwhile (commands disabled, drops not taken).
    bool IsBusy() const { return m_busy; }
    // Runs `action` now, or, during a long operation, once it has ended.
    void RunWhenIdle(std::function<void()> action);
    // Told when a long operation starts (true) and ends (false).
    void SetBusyListener(std::function<void(bool)> listener) { m_busyListener = std::move(listener); }
    // Lets go of the snapshot, the earlier ones and their files (the views first).
    void ReleaseSnapshot();

    // The earlier snapshots, newest first. With a history of one ("保持するスナップショット",
    // the default) there are none: each capture replaces the snapshot.
    const std::vector<CKeptSnapshot>& GetKeptSnapshots() const { return m_kept; }
    // Removes an earlier snapshot; the views let go of it first.
    void RemoveKeptSnapshot(size_t index);
    // While the clipboard is watched the history holds at least twenty snapshots.
    void SetWatching(bool watching) { m_watching = watching; }
    bool IsWatching() const { return m_watching; }
    // The snapshot that holds `entry` anywhere in its tree: the current one or an earlier one.
    std::shared_ptr<CCBDataArray> FindSnapshotOf(const CCBData* entry) const;
    // Compares a root (an earlier snapshot's index, or -1 for the current snapshot) with
    // the snapshot file at `path`, or without one with its neighbour in the history (the
    // next newer one; the current snapshot with the one before it), and shows the result.
    // False when there is nothing to compare, the file cannot be read or the user stops.
    // The dialog shows an entry of the history in HEX with `length` bytes from an offset
    // selected (the caret at the offset when 0) through `show`; the entries of a file read
    // for the comparison only cannot be shown.
    using ShowEntryAt = std::function<bool(const CCBData* entry, uint64_t offset, uint64_t length)>;
    bool CompareRoot(int kept, const std::wstring& path = std::wstring(), ShowEntryAt show = {});
    // Asks for a snapshot file, then CompareRoot with it.
    void OnEditCompareFile(int kept, ShowEntryAt show = {});
    // 比較: a root compared with another root the user chooses among the history's (the
    // next newer one preselected), or with a snapshot file; with only one other root,
    // with that one at once (CompareRoot).
    bool OnEditCompare(int kept, ShowEntryAt show = {});
    // The watch's capture of the clipboard: as Paste, or only the offered formats and the
    // owner when `listOnly`.
    void CaptureForWatch(bool listOnly);

private:
    // Marks one long operation for its scope; at its end, what waited for it runs.
    class BusyScope {
    public:
        explicit BusyScope(CKaviloDoc& document);
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
        ~BusyScope();

    private:
        CKaviloDoc& m_document;
        bool m_outermost;  // the scope that marked the document busy ends it
    };

    // ListFormats for a capture, part of its long operation: once the listing has taken
    // longer than a moment the progress window shows, and its Stop ends the listing
    // (`stopped`). True when the list was cut.
    bool ListSourceFormats(COleDataObject& source, std::vector<FORMATETC>& formats, std::vector<FORMATETC>& enumerated,
                           bool& stopped);

    // A data object the program offered and how many of its writes are shown.
    struct ReplaySession {
        fw::ComPtr<CReplayDataObject> object;
        size_t shown = 0;
    };
    fw::ComPtr<CReplayDataObject> MakeReplay(const CCBData* entry);
    bool OfferOnClipboard(fw::ComPtr<CReplayDataObject> replay);
    void Track(ReplaySession& session, fw::ComPtr<CReplayDataObject> object);
    void ShowWrites(ReplaySession& session);
    CCBData& WriteBack();
    // The current snapshot goes into the history, or is let go with a history of one.
    void RetireSnapshot();
    // After the current snapshot went (released or kept): what targets wrote to it and the
    // replay objects' writes let go of it, and the views are told.
    void LeaveSnapshot();
    // Drops the oldest snapshots beyond the count and byte limits, telling the views.
    void TrimHistory();
    // A side of a comparison: the snapshot (held for as long as the comparison shows it),
    // and what names it.
    struct CompareSide {
        std::shared_ptr<CCBDataArray> snapshot;
        std::wstring title, taken;
        std::optional<CClipboardOwner> owner;
    };
    // A root: an earlier snapshot's index, or -1 for the current snapshot.
    CompareSide RootSide(int kept) const;
    // CompareRoot within a long operation already marked.
    bool CompareRootNow(int kept, const std::wstring& path, const ShowEntryAt& show);
    // Compares and shows the result; `showB`: B's entries are in the tree and can be shown.
    bool CompareSides(const CompareSide& a, const CompareSide& b, bool showB, const ShowEntryAt& show);

    ReplaySession m_clipboardReplay;
    ReplaySession m_dragReplay;
    std::shared_ptr<CCBData> m_writeBack;
    unsigned m_snapshotSerial = 0;  // counts replaced snapshots: a drop may replace the one a drag serves
    std::shared_ptr<CCBDataArray> m_snapshot;
    std::vector<std::wstring> m_offeredFormats;
    std::wstring m_pathName;
    std::wstring m_taken;  // when and how the snapshot was taken, kept in its file
    std::wstring m_how;
    std::optional<CClipboardOwner> m_owner;
    std::optional<DWORD> m_allowedEffects;  // a drop's: what its source allowed
    std::vector<CKeptSnapshot> m_kept;      // newest first
    bool m_watching = false;
    CCopyingDialog* m_progress = nullptr;  // the running long operation's, else null
    bool m_closeAfterCapture = false;
    bool m_busy = false;
    std::vector<std::function<void()>> m_whenIdle;
    std::function<void(bool)> m_busyListener;
};
