// When the clipboard watch takes its next snapshot. A writer often sets its formats one by
// one, and a program in a loop may change the clipboard a thousand times a second: a
// snapshot follows a change once the clipboard has been quiet for the settle time, or
// after the longest wait even when it never quiets, and never sooner than the gap after
// the previous snapshot ended. Changes in between are coalesced and counted. Pure: the
// caller passes the time in milliseconds.
#pragma once

#include <cstdint>

class CWatchPacer {
public:
    static constexpr uint64_t kSettle = 150;    // quiet time after the last change
    static constexpr uint64_t kLongest = 1000;  // from the first pending change, even when not quiet
    static constexpr uint64_t kGap = 300;       // from the end of one snapshot to the start of the next

    // A change of the clipboard (WM_CLIPBOARDUPDATE).
    void Changed(uint64_t now);
    // Whether a snapshot should start now.
    bool Due(uint64_t now) const;
    // How long to wait before Due may become true without another change; 0 when due,
    // UINT64_MAX when nothing is pending.
    uint64_t Wait(uint64_t now) const;
    // A snapshot starts: the pending changes are taken (their count returned).
    uint64_t Start(uint64_t now);
    // The snapshot ended; changes during it stay pending for the next one.
    void Finished(uint64_t now);
    // The pending changes are let go without a snapshot and without counting (the
    // program's own replay).
    void Drop();

    bool Pending() const { return m_pending != 0; }
    uint64_t Changes() const { return m_changes; }
    uint64_t Snapshots() const { return m_snapshots; }
    // Changes that got no snapshot of their own.
    uint64_t Skipped() const { return m_changes - m_snapshots; }

private:
    uint64_t m_pending = 0;
    uint64_t m_firstPending = 0, m_lastChange = 0;
    bool m_running = false;
    bool m_hadSnapshot = false;
    uint64_t m_lastEnd = 0;
    uint64_t m_changes = 0, m_snapshots = 0;
};
