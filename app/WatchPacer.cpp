#include "app/WatchPacer.h"

#include <algorithm>
#include <cstdint>

void CWatchPacer::Changed(uint64_t now)
{
    if (m_pending++ == 0) m_firstPending = now;
    m_lastChange = now;
    ++m_changes;
}

uint64_t CWatchPacer::Wait(uint64_t now) const
{
    if (!m_pending || m_running) return UINT64_MAX;
    const uint64_t quiet = std::min(m_lastChange + kSettle, m_firstPending + kLongest);
    const uint64_t at = m_hadSnapshot ? std::max(quiet, m_lastEnd + kGap) : quiet;
    return at > now ? at - now : 0;
}

bool CWatchPacer::Due(uint64_t now) const
{
    return Wait(now) == 0;
}

uint64_t CWatchPacer::Start(uint64_t)
{
    const uint64_t taken = m_pending;
    m_pending = 0;
    m_running = true;
    if (taken) ++m_snapshots;
    return taken;
}

void CWatchPacer::Finished(uint64_t now)
{
    m_running = false;
    m_hadSnapshot = true;
    m_lastEnd = now;
}

void CWatchPacer::Drop()
{
    // Not a change of anyone else's: neither taken nor skipped.
    m_changes -= m_pending;
    m_pending = 0;
}
