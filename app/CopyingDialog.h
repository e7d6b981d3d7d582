// The modeless window shown while a capture runs: the item being imported and a Stop
// button. It runs no message loop of its own; the capture pumps messages between steps
// and asks it for the stop flag.
#pragma once

#include "capture/CaptureProgress.h"
#include "framework/Dialog.h"

#include <string>

class CCopyingDialog : public fw::Dialog, public ICaptureProgress {
public:
    // `status` says what is being done when it is not a capture ("取り込み中...").
    explicit CCopyingDialog(std::wstring status = L"");
    ~CCopyingDialog() override;

    void Open() override;
    void Close() override;
    void SetItemText(const std::wstring& text) override;
    BOOL IsStopRequested() const override { return m_stopRequested; }
    HWND GetDialogWindow() const override { return GetSafeHwnd(); }
    // What Stop does, for a caller other than the button (the main window closing).
    void RequestStop() { OnCancel(); }

protected:
    BOOL OnInitDialog() override;
    // Stop, Esc and the close box: the first one asks the capture to stop.
    void OnCancel() override;

private:
    std::wstring m_status;
    std::wstring m_pendingItemText;
    int m_stopRequested = 0;
};
