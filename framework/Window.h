// The window base: one window procedure for every window of the program. The static
// thunk stores `this` at WM_NCCREATE (from lpCreateParams), hands every message to the
// virtual OnMessage, and at WM_NCDESTROY forgets the window and calls OnFinalMessage.
// Unhandled messages fall to DefaultProc, which ends in DefWindowProcW (or the
// original procedure of a subclassed control).
#pragma once

#include "framework/Object.h"

#include <windows.h>

#include <string>

namespace fw {

class Window : public CObject {
public:
    static const CRuntimeClass classWindow;
    const CRuntimeClass* GetRuntimeClass() const override { return &classWindow; }

    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Destroys a window that still exists.
    ~Window() override;

    // Registers (once) a window class of this name for the thunk and creates the window.
    bool Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle, int x, int y,
                int width, int height, HWND parent, HMENU menuOrId, UINT classStyle = CS_DBLCLKS, HICON icon = nullptr,
                HBRUSH background = nullptr, HCURSOR cursor = nullptr);
    // Takes over an existing control (a common control created elsewhere) so that its
    // messages reach OnMessage first; DefaultProc then calls the control's own procedure.
    bool Subclass(HWND hwnd);
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hwnd; }
    // The object behind a window of the program, or null.
    static Window* FromHandle(HWND hwnd);

    // A notification the control sent to its parent, handed back to the control's own
    // object by a parent that reflects notifications. True when handled, with the result.
    virtual bool OnNotifyReflect(NMHDR* header, LRESULT& result);
    // Lets the parent reflect WM_NOTIFY to the window that sent it; true when it handled it.
    static bool ReflectNotify(LPARAM lParam, LRESULT& result);

protected:
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage() {}
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    WNDPROC m_previousProc = nullptr;
};

}  // namespace fw
