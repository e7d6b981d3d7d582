#include "app/CopyingDialog.h"

#include "capture/CBDataCreateContext.h"
#include "framework/MessageBox.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

RECT DialogUnits(HWND dialog, int x, int y, int w, int h)
{
    RECT r = {x, y, x + w, y + h};
    ::MapDialogRect(dialog, &r);
    return r;
}

// A window standing in for the main window, so that disabling it can be seen.
class MainWindow {
public:
    MainWindow()
    {
        m_hwnd = ::CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                   nullptr, nullptr, nullptr);
        fw::SetMainWindow(m_hwnd);
    }
    ~MainWindow()
    {
        fw::SetMainWindow(nullptr);
        ::DestroyWindow(m_hwnd);
    }
    HWND m_hwnd;
};

}  // namespace

TEST(CopyingDialog, LayoutAndTextsFromItsTemplate)
{
    MainWindow main;
    CCopyingDialog dialog;
    dialog.Open();
    HWND hwnd = dialog.GetSafeHwnd();
    ASSERT_TRUE(hwnd);
    wchar_t caption[64] = {};
    ::GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(caption, L"Orvetta");
    EXPECT_EQ(ItemText(hwnd, IDCANCEL), L"中止");
    EXPECT_EQ(ItemText(hwnd, IDC_COPYING_STATUS), L"取り込み中...");
    HWND edit = ::GetDlgItem(hwnd, IDC_COPYING_ITEM);
    const LONG style = ::GetWindowLongW(edit, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_FALSE(style & WS_BORDER);
    RECT stop;
    ::GetWindowRect(::GetDlgItem(hwnd, IDCANCEL), &stop);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&stop), 2);
    const RECT expected = DialogUnits(hwnd, 240, 10, 50, 14);
    EXPECT_EQ(stop.left, expected.left);
    EXPECT_EQ(stop.bottom - stop.top, expected.bottom - expected.top);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(::IsWindowEnabled(main.m_hwnd));
    dialog.Close();
    EXPECT_FALSE(dialog.GetSafeHwnd());
    EXPECT_TRUE(::IsWindowEnabled(main.m_hwnd));
}

TEST(CopyingDialog, ItemTextSetBeforeTheWindowIsShownWhenItOpens)
{
    CCopyingDialog dialog;
    dialog.SetItemText(L"CF_UNICODETEXT");
    dialog.Open();
    EXPECT_EQ(ItemText(dialog.GetSafeHwnd(), IDC_COPYING_ITEM), L"CF_UNICODETEXT");
    dialog.SetItemText(L"\"HTML Format\"");
    EXPECT_EQ(ItemText(dialog.GetSafeHwnd(), IDC_COPYING_ITEM), L"\"HTML Format\"");
    dialog.Close();
}

TEST(CopyingDialog, StopTwiceChangesNothingMore)
{
    CCopyingDialog dialog;
    dialog.Open();
    HWND hwnd = dialog.GetSafeHwnd();
    EXPECT_FALSE(dialog.IsStopRequested());
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(dialog.IsStopRequested());
    EXPECT_EQ(ItemText(hwnd, IDC_COPYING_STATUS), L"中止しています...");
    ::SetDlgItemTextW(hwnd, IDC_COPYING_STATUS, L"changed");
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(ItemText(hwnd, IDC_COPYING_STATUS), L"changed");
    EXPECT_TRUE(::IsWindow(hwnd));  // it does not close itself
    dialog.Close();
}

TEST(CopyingDialog, EscAndTheCloseBoxActAsStopThroughThePump)
{
    CCopyingDialog dialog;
    dialog.Open();
    CCBDataCreateContext context;
    context.m_progress = &dialog;
    EXPECT_FALSE(context.PumpMessages());
    // Esc reaches the dialog only through IsDialogMessage, which the pump offers it first.
    HWND focus = ::GetDlgItem(dialog.GetSafeHwnd(), IDCANCEL);
    ::PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(context.PumpMessages());
    dialog.Close();

    CCopyingDialog second;
    second.Open();
    ::SendMessageW(second.GetSafeHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    context.m_progress = &second;
    EXPECT_TRUE(context.PumpMessages());
    EXPECT_TRUE(::IsWindow(second.GetSafeHwnd()));
    second.Close();
}
