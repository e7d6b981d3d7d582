// The progress window of the viewers' long operations: the capture's progress window,
// saying what runs instead of "取り込み中...".
#pragma once

#include "app/CopyingDialog.h"

class CViewerProgressWindow : public CCopyingDialog {
public:
    explicit CViewerProgressWindow(std::wstring what) : m_what(std::move(what)) {}
    void Open() override;

    // Makes the viewers show this window (once, at start-up).
    static void Install();

private:
    std::wstring m_what;
};
