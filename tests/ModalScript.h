// Drives a modal window of the test's own thread: a thread timer, which every modal
// loop dispatches, looks for the window and runs the script on it once. The script
// must leave the window closed (or closing). When no window turns up by the deadline,
// the test fails and the thread's modal windows are closed, so the run goes on.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>

namespace testing_support {

class ModalScript {
public:
    using Finder = std::function<HWND()>;
    using Script = std::function<void(HWND)>;

    ModalScript(Finder finder, Script script, std::chrono::milliseconds wait = std::chrono::seconds(20))
        : m_finder(std::move(finder)), m_script(std::move(script))
    {
        m_deadline = std::chrono::steady_clock::now() + wait;
        m_timer = ::SetTimer(nullptr, 0, 20, &ModalScript::OnTimer);
        Scripts()[m_timer] = this;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    ~ModalScript() { Stop(); }

    bool Ran() const { return m_ran; }

    // A visible dialog (#32770) of this thread with this caption.
    static HWND FindDialog(const std::wstring& caption, HWND owner = nullptr)
    {
        Search search = {caption, owner, nullptr};
        ::EnumThreadWindows(::GetCurrentThreadId(), &ModalScript::Match, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    struct Search {
        std::wstring caption;  // empty: any
        HWND owner;            // null: any
        HWND found;
    };

    static BOOL CALLBACK Match(HWND hwnd, LPARAM param)
    {
        auto* search = reinterpret_cast<Search*>(param);
        wchar_t className[64] = {}, caption[256] = {};
        ::GetClassNameW(hwnd, className, 64);
        ::GetWindowTextW(hwnd, caption, 256);
        if (std::wstring(className) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
        if (!search->caption.empty() && search->caption != caption) return TRUE;
        if (search->owner && ::GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
        search->found = hwnd;
        return FALSE;
    }

    // Ends whatever modal loop holds this thread: menus, then visible dialogs and boxes.
    static void CloseModalWindows()
    {
        ::EndMenu();
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND hwnd, LPARAM) {
                wchar_t className[64] = {};
                ::GetClassNameW(hwnd, className, 64);
                if (std::wstring(className) == L"#32770" && ::IsWindowVisible(hwnd))
                    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return TRUE;
            },
            0);
    }

    static std::map<UINT_PTR, ModalScript*>& Scripts()
    {
        static std::map<UINT_PTR, ModalScript*> scripts;
        return scripts;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
    {
        const auto found = Scripts().find(id);
        if (found == Scripts().end()) return;
        ModalScript* self = found->second;
        HWND window = self->m_finder();
        if (!window) {
            if (std::chrono::steady_clock::now() > self->m_deadline) {
                self->Stop();
                ADD_FAILURE() << "the window the script waits for did not appear in time";
                CloseModalWindows();
            }
            return;
        }
        self->Stop();
        self->m_ran = true;
        self->m_script(window);
    }

    void Stop()
    {
        if (!m_timer) return;
        ::KillTimer(nullptr, m_timer);
        Scripts().erase(m_timer);
        m_timer = 0;
    }

    Finder m_finder;
    Script m_script;
    UINT_PTR m_timer = 0;
    bool m_ran = false;
    std::chrono::steady_clock::time_point m_deadline;
};

}  // namespace testing_support
