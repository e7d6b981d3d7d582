// Long operations of the viewers (a find over a large entry, copy and export of a large
// selection) run on the UI thread in 1 MiB steps. Once one has run for a moment it shows
// the application's progress window with Stop, pumping messages between steps; the main
// window is disabled meanwhile, so nothing else starts. The application installs how its
// progress window is made; without one the operation runs to its end unseen.
#pragma once

#include "capture/CaptureProgress.h"

#include <cstdint>
#include <memory>
#include <string>

using ViewerProgressMaker = std::unique_ptr<ICaptureProgress> (*)(const std::wstring& what);
void SetViewerProgressMaker(ViewerProgressMaker maker);

class CViewerOperation {
public:
    // `what` names the operation in the progress window ("検索しています...").
    explicit CViewerOperation(std::wstring what);
    ~CViewerOperation();
    CViewerOperation(const CViewerOperation&) = delete;
    CViewerOperation& operator=(const CViewerOperation&) = delete;

    // After each step: true while the operation may go on, false once Stop was pressed.
    bool Step(uint64_t done, uint64_t total);
    bool Stopped() const { return m_stopped; }

    // How long an operation runs before its window shows (tests set 0).
    static void SetDelayForTests(uint32_t milliseconds);

private:
    std::wstring m_what;
    std::unique_ptr<ICaptureProgress> m_progress;
    uint64_t m_started;
    HWND m_focus = nullptr;  // gets the focus back when the progress window goes
    bool m_stopped = false;
};
