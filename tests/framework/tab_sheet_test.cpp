#include "framework/TabSheet.h"

#include "res/dialogs_resource.h"
#include "tests/ControlReading.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using testing_support::ClickTab;
using testing_support::TabTexts;

namespace {

class CountingPage : public fw::PropertyPage {
public:
    using fw::PropertyPage::PropertyPage;
    void OnSetActive() override { ++m_activations; }
    bool OnKillActive() override { return m_mayLeave; }
    int m_activations = 0;
    bool m_mayLeave = true;
};

RECT ChildRect(HWND child, HWND parent)
{
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class TabSheet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                    nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }
    static HWND s_frame;
};
HWND TabSheet::s_frame = nullptr;

}  // namespace

TEST_F(TabSheet, TabsAreCaptionsAndPagesAreMadeWhenFirstShown)
{
    // A modal dialog's template serves as a page too: its frame is dropped.
    CountingPage properties(IDD_PROPERTY_VIEW), settings(IDD_SETTING), named(IDD_PROPERTY_VIEW, L"別名");
    fw::TabSheet sheet;
    sheet.AddPage(&properties);
    sheet.AddPage(&settings);
    ASSERT_TRUE(sheet.Create(s_frame, WS_CHILD | WS_VISIBLE));
    sheet.AddPage(&named);
    EXPECT_EQ(TabTexts(sheet.GetTabControl()), (std::vector<std::wstring>{L"プロパティ", L"設定", L"別名"}));
    EXPECT_EQ(named.GetCaption(), L"別名");
    EXPECT_TRUE(properties.GetSafeHwnd());
    EXPECT_FALSE(settings.GetSafeHwnd());
    EXPECT_EQ(properties.m_activations, 1);

    // The sheet was sized to hold its first page.
    RECT page = ChildRect(properties.GetSafeHwnd(), sheet.GetSafeHwnd());
    RECT client;
    ::GetClientRect(sheet.GetSafeHwnd(), &client);
    EXPECT_GE(client.right, page.right);
    EXPECT_GE(client.bottom, page.bottom);

    ClickTab(sheet.GetTabControl(), 1);
    ASSERT_TRUE(settings.GetSafeHwnd());
    EXPECT_EQ(sheet.GetActivePage(), &settings);
    const LONG style = ::GetWindowLongW(settings.GetSafeHwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & (WS_POPUP | WS_CAPTION));
    EXPECT_EQ(::GetParent(settings.GetSafeHwnd()), sheet.GetSafeHwnd());
    EXPECT_TRUE(::IsWindowVisible(settings.GetSafeHwnd()));
    EXPECT_FALSE(::IsWindowVisible(properties.GetSafeHwnd()));
    ::SetWindowPos(sheet.GetSafeHwnd(), nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
    ::SetWindowPos(sheet.GetTabControl(), nullptr, 3, 5, 390, 280, SWP_NOZORDER);
    sheet.LayoutPages();
    RECT display = ChildRect(sheet.GetTabControl(), sheet.GetSafeHwnd());
    ::SendMessageW(sheet.GetTabControl(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (HWND pageWindow : {properties.GetSafeHwnd(), settings.GetSafeHwnd()}) {
        const RECT r = ChildRect(pageWindow, sheet.GetSafeHwnd());
        EXPECT_EQ(r.left, display.left);
        EXPECT_EQ(r.top, display.top);
        EXPECT_EQ(r.right, display.right);
        EXPECT_EQ(r.bottom, display.bottom);
    }
    EXPECT_FALSE(named.GetSafeHwnd());

    // A page that refuses to go keeps its place in front.
    settings.m_mayLeave = false;
    ClickTab(sheet.GetTabControl(), 2);
    EXPECT_EQ(sheet.GetActivePage(), &settings);
    EXPECT_FALSE(named.GetSafeHwnd());
    settings.m_mayLeave = true;
    ASSERT_TRUE(sheet.SetActivePage(&named));
    wchar_t text[32] = {};
    ::GetWindowTextW(named.GetSafeHwnd(), text, 32);
    EXPECT_STREQ(text, L"別名");
}

TEST_F(TabSheet, RemovingTheActivePageBringsThePreviousOneForward)
{
    CountingPage a(IDD_PROPERTY_VIEW, L"a"), b(IDD_PROPERTY_VIEW, L"b"), c(IDD_PROPERTY_VIEW, L"c");
    fw::TabSheet sheet;
    sheet.AddPage(&a);
    ASSERT_TRUE(sheet.Create(s_frame, WS_CHILD | WS_VISIBLE));
    sheet.AddPage(&b);
    sheet.AddPage(&c);
    sheet.AddPage(&b);  // already there
    EXPECT_EQ(sheet.GetPageCount(), 3);
    ASSERT_TRUE(sheet.SetActivePage(2));
    HWND cWindow = c.GetSafeHwnd();
    ::SetFocus(::GetDlgItem(cWindow, IDC_PROPERTY_LIST));

    sheet.RemovePage(2);
    EXPECT_FALSE(::IsWindow(cWindow));
    EXPECT_EQ(sheet.GetActivePage(), &b);
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    EXPECT_EQ(::SendMessageW(sheet.GetTabControl(), TCM_GETCURSEL, 0, 0), 1);
    // The keyboard followed into the page now in front rather than being lost.
    EXPECT_TRUE(::IsChild(b.GetSafeHwnd(), ::GetFocus()));

    // Removing a page before the active one keeps the same page in front.
    sheet.RemovePage(0);
    EXPECT_EQ(sheet.GetActivePage(), &b);
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    EXPECT_EQ(TabTexts(sheet.GetTabControl()), std::vector<std::wstring>{L"b"});
    sheet.RemovePage(0);
    EXPECT_EQ(sheet.GetActivePage(), nullptr);
    EXPECT_EQ(sheet.GetPageCount(), 0);
    sheet.RemovePage(0);  // nothing left: nothing happens
    EXPECT_FALSE(sheet.SetActivePage(0));
}
