// What a capture sees of its progress window: the current item's text and the
// user's stop request. The progress dialog implements it; tests and the console
// front end drive captures through their own implementations.
#pragma once

#include <windows.h>

#include <string>

class ICaptureProgress {
public:
    virtual ~ICaptureProgress() = default;
    // At the start of a capture: shows the progress window and keeps the user from
    // starting a second capture (the main window is disabled meanwhile).
    virtual void Open() = 0;
    // At the end: enables the main window again and closes the progress window.
    virtual void Close() = 0;
    // Shows the format, file or element being imported.
    virtual void SetItemText(const std::wstring& text) = 0;
    // Non-zero once the user has asked to stop.
    virtual BOOL IsStopRequested() const = 0;
    // The dialog window that gets first look at pumped messages (IsDialogMessage);
    // null when there is none.
    virtual HWND GetDialogWindow() const = 0;
};
