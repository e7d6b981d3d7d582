// The document: the one current snapshot, its title and the formats the last data object
// offered. Paste, Paste Special and drops capture into a new snapshot that replaces the
// previous one; the views are told with the hints below.
#pragma once

#include "capture/CBDataArray.h"
#include "framework/Document.h"

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

    CKaviloDoc();
    ~CKaviloDoc() override;

    // Paste (command 57637) and Paste Special (command 32775).
    void OnEditPaste();
    void OnEditPasteSpecial();
    // A drop on one of the drop areas; true when a capture was made.
    bool CaptureDrop(COleDataObject& source, bool chooseFormat);
    // The pop-up menu of the offered formats at the cursor: the formats to capture (none,
    // the chosen one, or a descriptor and "FileContents").
    std::vector<FORMATETC> ChooseFormats(const std::vector<FORMATETC>& offered);

    const std::shared_ptr<CCBDataArray>& GetSnapshot() const { return m_snapshot; }
    const std::vector<std::wstring>& GetOfferedFormats() const { return m_offeredFormats; }
    // The texts of the offered formats as the root of the tree shows them.
    void SetOfferedFormats(std::vector<std::wstring> texts) { m_offeredFormats = std::move(texts); }

    // Replaces the snapshot: the views let go of the old one first (hint 1), then the
    // new one is captured from `source`, then the views are told again (hint 1).
    void ReplaceAndCapture(COleDataObject& source, const std::vector<FORMATETC>& capture,
                           const std::vector<FORMATETC>& offered);

    // Asks a running capture to stop; with `thenClose`, the main window is closed once the
    // capture has ended. False when no capture runs.
    bool StopCapture(bool thenClose = false);
    bool IsCapturing() const { return m_progress != nullptr; }
    // Lets go of the snapshot and its files (the views first).
    void ReleaseSnapshot();

private:
    std::shared_ptr<CCBDataArray> m_snapshot;
    std::vector<std::wstring> m_offeredFormats;
    CCopyingDialog* m_progress = nullptr;  // the running capture's, else null
    bool m_closeAfterCapture = false;
};
