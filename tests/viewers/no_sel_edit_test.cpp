#include "viewers/NoSelEdit.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Holds Ctrl down in this thread's key state (what GetKeyState reads) for a block.
class CtrlHeld {
public:
    CtrlHeld()
    {
        ::GetKeyboardState(m_saved);
        BYTE state[256];
        std::copy(m_saved, m_saved + 256, state);
        state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        ::SetKeyboardState(state);
    }
    ~CtrlHeld() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

std::pair<DWORD, DWORD> Selection(HWND edit)
{
    DWORD start = 0, end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

std::wstring Text(HWND edit)
{
    wchar_t text[128] = {};
    ::GetWindowTextW(edit, text, 128);
    return text;
}

void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Characters that reach the edit control's own procedure, under any subclass made later.
std::vector<WPARAM> g_charsReachingTheEdit;
WNDPROC g_editProc = nullptr;

LRESULT CALLBACK RecordChars(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CHAR) g_charsReachingTheEdit.push_back(wParam);
    return ::CallWindowProcW(g_editProc, hwnd, msg, wParam, lParam);
}

}  // namespace

TEST(NoSelEdit, TabbingInKeepsTheSelectionAndCtrlASelectsAll)
{
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr, nullptr, nullptr);
    HWND plain = ::CreateWindowExW(0, L"EDIT", L"plain", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 20, parent,
                                   reinterpret_cast<HMENU>(1), nullptr, nullptr);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"0123456789", WS_CHILD | ES_AUTOHSCROLL, 0, 30, 100, 20, parent,
                                  reinterpret_cast<HMENU>(2), nullptr, nullptr);
    // The plain edit shows what the subclass takes away.
    ASSERT_TRUE(::SendMessageW(plain, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL);
    g_charsReachingTheEdit.clear();
    g_editProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordChars)));
    CNoSelEdit noSel;
    ASSERT_TRUE(noSel.SubclassDlgItem(2, parent));
    const LRESULT code = ::SendMessageW(edit, WM_GETDLGCODE, 0, 0);
    EXPECT_FALSE(code & DLGC_HASSETSEL);
    EXPECT_TRUE(code & DLGC_WANTCHARS);  // the rest of the edit's answer stays

    ::SendMessageW(edit, EM_SETSEL, 3, 3);
    ::SendMessageW(edit, WM_KEYDOWN, 'A', 0x001E0001);
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{3}, DWORD{3}));  // no Ctrl: nothing
    {
        CtrlHeld ctrl;
        // Through a message loop, as the key arrives: the key and then its character.
        ::PostMessageW(edit, WM_KEYDOWN, 'A', 0x001E0001);
        PumpPending();
        EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{10}));
        ::SendMessageW(edit, WM_CHAR, 0x01, 0x001E0001);
    }
    EXPECT_EQ(Text(edit), L"0123456789");
    // The select-all character never reaches the edit (which would only beep at it);
    // other characters do.
    ::SendMessageW(edit, WM_CHAR, L'x', 0x002D0001);
    EXPECT_EQ(g_charsReachingTheEdit, std::vector<WPARAM>{L'x'});
    ::DestroyWindow(parent);
    EXPECT_FALSE(noSel.GetSafeHwnd());
}
