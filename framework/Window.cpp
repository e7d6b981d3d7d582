#include "framework/Window.h"

#include "framework/ExceptionBarrier.h"

namespace fw {
namespace {

const wchar_t kThisProperty[] = L"Orvetta.Window";

}  // namespace

const CRuntimeClass Window::classWindow = {"CWnd", &CObject::classCObject};

Window::~Window()
{
    if (m_hwnd) {
        HWND hwnd = m_hwnd;
        // The object is going away: its handlers must not run during the destruction.
        ::RemovePropW(hwnd, kThisProperty);
        if (m_previousProc) ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        m_hwnd = nullptr;
        ::DestroyWindow(hwnd);
    }
}

bool Window::Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId, UINT classStyle, HICON icon, HBRUSH background,
                    HCURSOR cursor)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExW(instance, className, &wc)) {
        wc.cbSize = sizeof wc;
        wc.style = classStyle;
        wc.lpfnWndProc = &Window::WindowProc;
        wc.hInstance = instance;
        wc.hIcon = icon;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        if (!::RegisterClassExW(&wc)) return false;
    }
    return ::CreateWindowExW(exStyle, className, title.c_str(), style, x, y, width, height, parent, menuOrId, instance,
                             this) != nullptr;
}

bool Window::Subclass(HWND hwnd)
{
    if (!hwnd || m_hwnd) return false;
    m_hwnd = hwnd;
    ::SetPropW(hwnd, kThisProperty, this);
    m_previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc)));
    return true;
}

void Window::DestroyWindow()
{
    if (m_hwnd) ::DestroyWindow(m_hwnd);
}

Window* Window::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<Window*>(::GetPropW(hwnd, kThisProperty)) : nullptr;
}

bool Window::OnNotifyReflect(NMHDR*, LRESULT&)
{
    return false;
}

bool Window::ReflectNotify(LPARAM lParam, LRESULT& result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    Window* sender = header ? FromHandle(header->hwndFrom) : nullptr;
    return sender && sender->OnNotifyReflect(header, result);
}

LRESULT Window::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc(msg, wParam, lParam);
}

LRESULT Window::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_previousProc) return ::CallWindowProcW(m_previousProc, m_hwnd, msg, wParam, lParam);
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->m_hwnd = hwnd;
            ::SetPropW(hwnd, kThisProperty, self);
        }
    } else {
        self = FromHandle(hwnd);
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        const LRESULT result = self->DefaultProc(msg, wParam, lParam);
        ::RemovePropW(hwnd, kThisProperty);
        if (self->m_previousProc)
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->m_previousProc));
        self->m_previousProc = nullptr;
        self->m_hwnd = nullptr;
        self->OnFinalMessage();
        return result;
    }
    try {
        return self->OnMessage(msg, wParam, lParam);
    } catch (...) {
        // No exception may enter the system's code that called this procedure.
        ReportCaughtException();
        return msg == WM_CREATE ? -1 : 0;
    }
}

}  // namespace fw
