// The modeless window shown while a capture runs: the item being imported and a Stop
// button. It runs no message loop of its own; the capture pumps messages between steps
// and asks it for the stop flag.
#pragma once

#include "capture/CaptureProgress.h"
#include "framework/Dialog.h"
#include "framework/WindowResources.h"

#include <string>

class CCopyingDialog : public fw::Dialog, public ICaptureProgress {
public:
    // `status` says what is being done when it is not a capture ("取り込み中...").
    explicit CCopyingDialog(std::wstring status = L"");
    ~CCopyingDialog() override;

    void Open() override;
    void Close() override;
    // Shown at once when the last text went up at least kItemTextInterval ago; otherwise
    // kept and shown when the interval is over (a timer), so that a walk of a million
    // items does not spend its time redrawing the text, and the item the capture is busy
    // with is the one on screen.
    void SetItemText(const std::wstring& text) override;
    static constexpr UINT kItemTextInterval = 50;  // milliseconds
    BOOL IsStopRequested() const override { return m_stopRequested; }
    HWND GetDialogWindow() const override { return GetSafeHwnd(); }
    // What Stop does, for a caller other than the button (the main window closing).
    void RequestStop() { OnCancel(); }

protected:
    BOOL OnInitDialog() override;
    // Stop, Esc and the close box: the first one asks the capture to stop.
    void OnCancel() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void ShowItemText(const std::wstring& text);

    std::wstring m_status;
    std::wstring m_pendingItemText;
    int m_stopRequested = 0;
    bool m_itemTextPending = false;  // m_pendingItemText waits for the timer
    ULONGLONG m_itemTextShownAt = 0;
    HWND m_itemControl = nullptr;  // control 1014 once the dialog exists
    fw::Timer m_itemTextTimer;
};
