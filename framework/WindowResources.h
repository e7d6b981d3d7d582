// Owners of per-window resources that are given back by calls of their own rather than by
// closing a handle: the caret, a timer, a window DC (the paint DC is in PaintDC.h) and an
// image list. Each undoes exactly what it did, once, when it goes (or earlier, when asked).
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <commctrl.h>

namespace fw {

// The thread's caret, made for one window; shown or hidden through the owner so that
// the show count never goes wrong.
class Caret {
public:
    Caret() = default;
    Caret(const Caret&) = delete;
    Caret& operator=(const Caret&) = delete;
    ~Caret() { Destroy(); }

    bool Create(HWND window, int width, int height);
    void Destroy();
    void SetPos(int x, int y) const;
    void Show();
    void Hide();
    bool Exists() const { return m_window != nullptr; }
    bool IsShown() const { return m_shown; }

private:
    HWND m_window = nullptr;
    bool m_shown = false;
};

// A window timer that is killed when the owner goes.
class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() { Stop(); }

    bool Start(HWND window, UINT_PTR id, UINT periodMs);
    void Stop();
    bool IsRunning() const { return m_window != nullptr; }

private:
    HWND m_window = nullptr;
    UINT_PTR m_id = 0;
};

// GetDC ... ReleaseDC of a window (null for the screen).
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (m_dc) ::ReleaseDC(m_window, m_dc);
    }
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// An image list of the common controls, destroyed with ImageList_Destroy. A control it
// is set on only refers to it: the control must go first.
struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::ImageList_Destroy(h); }
};
using UniqueImageList = Unique<ImageListTraits>;

// A font of `tenthsOfPoint` / 10 points at the screen's resolution.
UniqueFont CreatePointFont(int tenthsOfPoint, const wchar_t* faceName);

}  // namespace fw
