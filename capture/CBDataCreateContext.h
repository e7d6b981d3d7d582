// The state of one capture, on the stack of the capture and passed by pointer to
// every import routine.
#pragma once

#include "capture/CaptureProgress.h"
#include "capture/FreeSpaceGuard.h"

#include <windows.h>

#include <cstdint>
#include <string>

class COleDataObject;

class CCBDataCreateContext {
public:
    CCBDataCreateContext() = default;
    CCBDataCreateContext(const CCBDataCreateContext&) = delete;
    CCBDataCreateContext& operator=(const CCBDataCreateContext&) = delete;
    // Deletes the palette when it was duplicated here.
    virtual ~CCBDataCreateContext();

    // Dispatches every pending message (the progress dialog sees each first through
    // IsDialogMessage) and returns the stop flag: non-zero once the user asked to stop.
    BOOL PumpMessages();

    // The row for an entry whose gathering was cut short: "エラー\t", then
    // "サイズが限界を超えたため" when more than the size limit was collected, then
    // "取得を中止しました。".
    std::wstring GetAbortText() const;

    COleDataObject* m_source = nullptr;  // not owned
    HPALETTE m_palette = nullptr;
    BOOL m_ownsPalette = FALSE;
    uint64_t m_collectedBytes = 0;           // under the current top-level format (or file of a group)
    ICaptureProgress* m_progress = nullptr;  // not owned
    int m_walkDepth = 0;                     // levels of child snapshots being walked right now

    // The bound on the snapshot's entries (CaptureSettings().m_maxEntries): how many it holds
    // so far, at every level and under every format, and what the current format's walk
    // left out once the bound was reached, for the row of its top-level entry.
    uint64_t m_entryCount = 0;
    uint64_t m_leftOutItems = 0;       // items of a level that were not taken
    bool m_leftOutAtLeast = false;     // a level's rest was counted only as far as the bound
    bool m_leftOutContainers = false;  // containers stayed unopened
    // Clears what the last format left out; the entry count goes on.
    void BeginFormat();
    // The row for the format's top-level entry when its walk stopped at the bound; empty otherwise.
    std::wstring GetEntryBoundText() const;
    CFreeSpaceGuard m_freeSpace;  // shared by every copy of the capture
};
