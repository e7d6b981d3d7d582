#include "framework/MessageBox.h"

#include <gtest/gtest.h>

#include <string>

TEST(AppMessageBox, RecorderCapturesTextsAndTypesAndAnswers)
{
    fw::MessageBoxRecorder recorder(IDCANCEL);
    EXPECT_EQ(fw::AfxMessageBox(L"一時ファイルを読めません"), IDCANCEL);
    EXPECT_EQ(fw::AfxMessageBox(L"二つ目", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(recorder.Boxes().size(), 2u);
    EXPECT_EQ(recorder.Boxes()[0].text, L"一時ファイルを読めません");
    EXPECT_EQ(recorder.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(recorder.Boxes()[1].type, static_cast<UINT>(MB_OKCANCEL));
}

TEST(AppMessageBox, InnerRecorderTakesBoxesUntilItEnds)
{
    fw::MessageBoxRecorder outer;
    {
        fw::MessageBoxRecorder inner(IDNO);
        EXPECT_EQ(fw::AfxMessageBox(L"inner"), IDNO);
        EXPECT_EQ(inner.Texts(), std::vector<std::wstring>{L"inner"});
    }
    EXPECT_EQ(fw::AfxMessageBox(L"outer"), IDOK);
    EXPECT_EQ(outer.Texts(), std::vector<std::wstring>{L"outer"});
}

TEST(AppMessageBox, CaptionIsTheApplicationName)
{
    EXPECT_EQ(fw::GetAppName(), L"Orvetta");
    // A real box (no recorder): its caption is read, and the box answered, once it is made.
    static std::wstring caption;
    caption.clear();
    HHOOK hook = ::SetWindowsHookExW(
        WH_CALLWNDPROCRET,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
            if (code == HC_ACTION && sent->message == WM_INITDIALOG) {
                wchar_t text[64] = {};
                ::GetWindowTextW(sent->hwnd, text, 64);
                caption = text;
                ::PostMessageW(sent->hwnd, WM_COMMAND, IDOK, 0);
            }
            return ::CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    fw::SetAppName(L"キャプション");
    const int answer = fw::AfxMessageBox(L"本文");
    fw::SetAppName(L"Orvetta");
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(caption, L"キャプション");
}

// A box raised while the user is in a pop-up of the main window (a dialog) is owned by
// that pop-up, so that it disables the dialog too.
TEST(AppMessageBox, OwnedByTheMainWindowsLastActivePopup)
{
    HWND main = ::CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(main);
    fw::SetMainWindow(main);
    fw::MessageBoxRecorder boxes;
    ::SetActiveWindow(main);
    fw::AfxMessageBox(L"main");
    HWND popup = ::CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE, 20, 20, 200, 100, main,
                                   nullptr, nullptr, nullptr);
    ASSERT_TRUE(popup);
    ::SetActiveWindow(popup);
    fw::AfxMessageBox(L"dialog");
    fw::SetMainWindow(nullptr);
    fw::AfxMessageBox(L"none");
    ::DestroyWindow(popup);
    ::DestroyWindow(main);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].owner, main);
    EXPECT_EQ(boxes.Boxes()[1].owner, popup);
    EXPECT_EQ(boxes.Boxes()[2].owner, nullptr);
}
