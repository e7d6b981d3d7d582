#include "app/KaviloView.h"

#include "app/KaviloDoc.h"
#include "capture/CBData.h"
#include "capture/FormatCatalogue.h"
#include "framework/Profile.h"
#include "res/dialogs_resource.h"
#include "res/structureview_resource.h"
#include "tests/ControlReading.h"
#include "tests/TestSupport.h"
#include "viewers/HexViewDialog.h"
#include "viewers/StructureViewDialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using testing_support::ClickTab;
using testing_support::ListRows;
using testing_support::TabTexts;

namespace {

// Stands in for the hex, text and image pages that come with later work; it counts its
// instances so that their release can be seen.
class TestPage : public CKaviloPropertyPage {
public:
    TestPage(const wchar_t* caption, const wchar_t* keyword, CCBData* entry)
        : CKaviloPropertyPage(IDD_PROPERTY_VIEW, caption), m_keyword(keyword), m_entry(entry)
    {
        ++s_alive;
    }
    ~TestPage() override { --s_alive; }
    void SaveAsDefaultView() override { WriteDefaultView(m_entry, m_keyword); }

    static int s_alive;

private:
    const wchar_t* m_keyword;
    CCBData* m_entry;
};
int TestPage::s_alive = 0;

RECT ChildRect(HWND child, HWND parent)
{
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::shared_ptr<CCBData> MakeEntry(const wchar_t* name, bool withFile, int ownDefaultTab)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt.cfFormat = CF_TEXT;
    entry->m_fmt.dwAspect = DVASPECT_CONTENT;
    entry->m_fmt.tymed = TYMED_HGLOBAL;
    entry->m_name = name;
    entry->m_defaultViewTab = ownDefaultTab;
    if (withFile) {
        // The name only: the pages under test never open it.
        entry->m_tempFile = L"C:\\nonexistent\\orvetta-view-test.cvtmp";
        entry->m_dataSize = 3;
    }
    return entry;
}

class KaviloView : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        // One visible frame for the whole suite: showing a window costs seconds under Wine.
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                    640, 480, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }

    void SetUp() override
    {
        fw::SetRegistryKey(L"OrvettaViewerHostTest");
        fw::DeleteAppRegistryKey();
        CKaviloView::SetPageFactory(ViewTab_Hex,
                                    [](CCBData* e) { return std::make_shared<TestPage>(L"HEX", L"HEX", e); });
        CKaviloView::SetPageFactory(ViewTab_Text,
                                    [](CCBData* e) { return std::make_shared<TestPage>(L"テキスト", L"TEXT", e); });
        CKaviloView::SetPageFactory(ViewTab_Image,
                                    [](CCBData* e) { return std::make_shared<TestPage>(L"画像", L"IMAGE", e); });
        m_view = std::make_unique<CKaviloView>();
        ASSERT_TRUE(m_view->Create(s_frame, 1));
        ::MoveWindow(m_view->GetSafeHwnd(), 0, 0, 500, 400, TRUE);
        m_doc.AddView(m_view.get());
        m_view->OnInitialUpdate();
        m_sheet = ::GetWindow(m_view->GetSafeHwnd(), GW_CHILD);
        m_tab = FindTab();
    }
    void TearDown() override
    {
        m_doc.RemoveView(m_view.get());
        m_view.reset();
        for (int tab : {ViewTab_Hex, ViewTab_Text, ViewTab_Image, ViewTab_Structure})
            CKaviloView::SetPageFactory(tab, nullptr);
        fw::DeleteAppRegistryKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaViewerHostTest");
        fw::SetRegistryKey(L"Orvetta");
    }

    HWND FindTab() const
    {
        for (HWND child = ::GetWindow(m_sheet, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[64] = {};
            ::GetClassNameW(child, name, 64);
            if (std::wstring(name) == WC_TABCONTROLW) return child;
        }
        return nullptr;
    }
    HWND PropertyList() const { return ::GetDlgItem(m_view->GetPropertyPage().GetSafeHwnd(), IDC_PROPERTY_LIST); }
    std::wstring ActiveCaption() const
    {
        const int selected = static_cast<int>(::SendMessageW(m_tab, TCM_GETCURSEL, 0, 0));
        const auto texts = TabTexts(m_tab);
        return selected >= 0 && selected < static_cast<int>(texts.size()) ? texts[selected] : L"";
    }
    void Select(CCBData* entry) { m_doc.UpdateAllViews(nullptr, CKaviloDoc::HintShowEntry, entry); }

    static HWND s_frame;
    CKaviloDoc m_doc;
    std::unique_ptr<CKaviloView> m_view;
    HWND m_sheet = nullptr;
    HWND m_tab = nullptr;
};
HWND KaviloView::s_frame = nullptr;

}  // namespace

TEST_F(KaviloView, IsAViewWithTheTabControlOfItsSheet)
{
    EXPECT_STREQ(m_view->GetRuntimeClass()->m_lpszClassName, "CKaviloView");
    EXPECT_TRUE(m_view->IsKindOf(&fw::View::classView));
    ASSERT_TRUE(m_tab);
    EXPECT_EQ(m_view->GetTabCaptions(), std::vector<std::wstring>{L"プロパティ"});
    const LONG style = ::GetWindowLongW(m_tab, GWL_STYLE);
    EXPECT_TRUE(style & TCS_FOCUSNEVER);
    EXPECT_FALSE(style & TCS_FOCUSONBUTTONDOWN);
    EXPECT_EQ(m_view->GetActivePage(), &m_view->GetPropertyPage());
    EXPECT_TRUE(::IsWindowVisible(m_sheet));
    // A second initial update builds nothing more.
    m_view->OnInitialUpdate();
    EXPECT_EQ(TabTexts(m_tab).size(), 1u);
}

TEST_F(KaviloView, TabsFollowWhetherTheEntryHoldsData)
{
    auto stored = MakeEntry(L"a.orvtest", true, ViewTab_Property);
    auto handleOnly = MakeEntry(L"b.orvtest", false, ViewTab_Property);
    Select(stored.get());
    EXPECT_EQ(TabTexts(m_tab), (std::vector<std::wstring>{L"プロパティ", L"HEX", L"テキスト", L"画像"}));
    EXPECT_EQ(m_view->GetTabCaptions(), TabTexts(m_tab));
    EXPECT_EQ(TestPage::s_alive, 3);
    Select(handleOnly.get());
    EXPECT_EQ(TabTexts(m_tab), (std::vector<std::wstring>{L"プロパティ", L"画像"}));
    EXPECT_EQ(TestPage::s_alive, 1);
    EXPECT_EQ(ListRows(PropertyList()).at(0).first, L"フォーマット");

    // Without factories only the property page comes.
    for (int tab : {ViewTab_Hex, ViewTab_Text, ViewTab_Image}) CKaviloView::SetPageFactory(tab, nullptr);
    Select(stored.get());
    EXPECT_EQ(TabTexts(m_tab), std::vector<std::wstring>{L"プロパティ"});
    EXPECT_EQ(TestPage::s_alive, 0);
}

TEST_F(KaviloView, OpensTheDefaultPageWhenItExistsElseTheProperties)
{
    struct Case {
        bool withFile;
        int ownTab;
        const wchar_t* expected;
    } cases[] = {
        {true, ViewTab_Hex, L"HEX"},         {true, ViewTab_Text, L"テキスト"},
        {true, ViewTab_Image, L"画像"},      {true, ViewTab_Property, L"プロパティ"},
        {false, ViewTab_Hex, L"プロパティ"}, {false, ViewTab_Text, L"プロパティ"},
        {false, ViewTab_Image, L"画像"},     {true, 7, L"プロパティ"},
    };
    for (const Case& c : cases) {
        auto entry = MakeEntry(L"c.orvtest", c.withFile, c.ownTab);
        Select(entry.get());
        EXPECT_EQ(ActiveCaption(), c.expected) << c.ownTab << " " << c.withFile;
        CKaviloPropertyPage* active = m_view->GetActivePage();
        ASSERT_TRUE(active);
        EXPECT_TRUE(::IsWindowVisible(active->GetSafeHwnd()));
        EXPECT_EQ(active->GetCaption(), c.expected);
        m_doc.UpdateAllViews(nullptr, CKaviloDoc::HintSnapshotReplaced, nullptr);
    }
}

TEST_F(KaviloView, AChosenDefaultAppliesToLaterEntriesWithTheSameViewKey)
{
    auto first = MakeEntry(L"one.orvtest", true, ViewTab_Property);
    Select(first.get());
    EXPECT_EQ(ActiveCaption(), L"プロパティ");
    ClickTab(m_tab, 3);
    ASSERT_EQ(ActiveCaption(), L"画像");
    m_view->GetActivePage()->SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L".orvtest"), L"IMAGE");

    auto sameKey = MakeEntry(L"two.ORVTEST", false, ViewTab_Property);
    Select(sameKey.get());
    EXPECT_EQ(ActiveCaption(), L"画像");
    auto otherKey = MakeEntry(L"three.other", true, ViewTab_Property);
    Select(otherKey.get());
    EXPECT_EQ(ActiveCaption(), L"プロパティ");

    // The property page makes itself the default the same way.
    Select(first.get());
    ClickTab(m_tab, 0);
    m_view->GetActivePage()->SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L".orvtest"), L"PROPERTY");
    Select(sameKey.get());
    EXPECT_EQ(ActiveCaption(), L"プロパティ");
}

TEST_F(KaviloView, ReplacedSnapshotDropsPagesAndRowsAndEverySelectionBuildsFreshPages)
{
    auto entry = MakeEntry(L"d.orvtest", true, ViewTab_Hex);
    Select(entry.get());
    CKaviloPropertyPage* firstHex = m_view->GetActivePage();
    ASSERT_TRUE(firstHex);
    const HWND firstHexWindow = firstHex->GetSafeHwnd();
    EXPECT_FALSE(ListRows(PropertyList()).empty());

    m_doc.UpdateAllViews(nullptr, CKaviloDoc::HintSelectFirst, nullptr);
    EXPECT_EQ(TabTexts(m_tab).size(), 4u);  // hint 4 is the tree's business

    EXPECT_EQ(TestPage::s_alive, 3);
    // The same entry again: new pages, the old ones' windows gone.
    Select(entry.get());
    EXPECT_EQ(TestPage::s_alive, 3);
    EXPECT_EQ(ActiveCaption(), L"HEX");
    EXPECT_FALSE(::IsWindow(firstHexWindow));

    m_doc.UpdateAllViews(nullptr, CKaviloDoc::HintSnapshotReplaced, nullptr);
    EXPECT_EQ(TabTexts(m_tab), std::vector<std::wstring>{L"プロパティ"});
    EXPECT_EQ(TestPage::s_alive, 0);
    EXPECT_TRUE(ListRows(PropertyList()).empty());
    EXPECT_EQ(m_view->GetPropertyPage().GetShownEntry(), nullptr);
    EXPECT_EQ(m_view->GetActivePage(), &m_view->GetPropertyPage());
}

TEST_F(KaviloView, RootShowsTheOfferedFormatsAndForgetsTheEntry)
{
    auto entry = MakeEntry(L"e.orvtest", true, ViewTab_Text);
    Select(entry.get());
    m_doc.SetOfferedFormats({L"CF_UNICODETEXT", L"CF_TEXT", L"CF_OEMTEXT", L"CF_LOCALE", L"\"HTML Format\""});
    Select(nullptr);
    EXPECT_EQ(TabTexts(m_tab), std::vector<std::wstring>{L"プロパティ"});
    const auto rows = ListRows(PropertyList());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (std::pair<std::wstring, std::wstring>{L"フォーマット", L"CF_UNICODETEXT"}));
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i].first, L"");
    EXPECT_EQ(rows[4].second, L"\"HTML Format\"");
    // The set-default command on the root has no entry to speak for.
    m_view->GetActivePage()->SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L".orvtest", L"(none)"), L"(none)");

    // No offered formats: the root shows no rows rather than the previous entry's.
    Select(entry.get());
    m_doc.SetOfferedFormats({});
    Select(nullptr);
    EXPECT_TRUE(ListRows(PropertyList()).empty());
}

TEST_F(KaviloView, ResizingKeepsTheFirstMeasuredTabMargins)
{
    const RECT client0 = [&] {
        RECT r;
        ::GetClientRect(m_sheet, &r);
        return r;
    }();
    const RECT tab0 = ChildRect(m_tab, m_sheet);
    const int left = tab0.left - client0.left, top = tab0.top - client0.top;
    const int right = client0.right - tab0.right, bottom = client0.bottom - tab0.bottom;
    auto entry = MakeEntry(L"f.orvtest", true, ViewTab_Text);
    Select(entry.get());

    for (SIZE size : {SIZE{620, 300}, SIZE{260, 420}}) {
        ::MoveWindow(m_view->GetSafeHwnd(), 0, 0, size.cx, size.cy, TRUE);
        RECT view, sheet;
        ::GetClientRect(m_view->GetSafeHwnd(), &view);
        const RECT sheetRect = ChildRect(m_sheet, m_view->GetSafeHwnd());
        EXPECT_TRUE(SameRect(sheetRect, view));
        ::GetClientRect(m_sheet, &sheet);
        const RECT tab = ChildRect(m_tab, m_sheet);
        EXPECT_EQ(tab.left, sheet.left + left);
        EXPECT_EQ(tab.top, sheet.top + top);
        EXPECT_EQ(tab.right, sheet.right - right);
        EXPECT_EQ(tab.bottom, sheet.bottom - bottom);
        RECT display = tab;
        ::SendMessageW(m_tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
        // Every page that has a window, shown or not, covers the display area.
        EXPECT_TRUE(SameRect(ChildRect(m_view->GetActivePage()->GetSafeHwnd(), m_sheet), display));
        EXPECT_TRUE(SameRect(ChildRect(m_view->GetPropertyPage().GetSafeHwnd(), m_sheet), display));
    }
}

TEST_F(KaviloView, FocusGoesToTheActivePageAndTabClicksLeaveItWhereItWas)
{
    HWND other = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 510, 0, 100, 20, s_frame,
                                   nullptr, nullptr, nullptr);
    auto entry = MakeEntry(L"g.orvtest", true, ViewTab_Property);
    Select(entry.get());
    ::SetFocus(m_view->GetSafeHwnd());
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == m_view->GetPropertyPage().GetSafeHwnd() ||
                ::IsChild(m_view->GetPropertyPage().GetSafeHwnd(), focus));

    ::SetFocus(other);
    ClickTab(m_tab, 2);
    EXPECT_EQ(ActiveCaption(), L"テキスト");
    EXPECT_EQ(::GetFocus(), other);

    // Focus inside the page that goes to the back follows into the page in front.
    ::SetFocus(m_view->GetSafeHwnd());
    CKaviloPropertyPage* text = m_view->GetActivePage();
    EXPECT_TRUE(::IsChild(text->GetSafeHwnd(), ::GetFocus()) || ::GetFocus() == text->GetSafeHwnd());
    ClickTab(m_tab, 1);
    CKaviloPropertyPage* hex = m_view->GetActivePage();
    EXPECT_EQ(hex->GetCaption(), L"HEX");
    EXPECT_TRUE(::IsChild(hex->GetSafeHwnd(), ::GetFocus()) || ::GetFocus() == hex->GetSafeHwnd());
    EXPECT_FALSE(::IsWindowVisible(text->GetSafeHwnd()));
    ::DestroyWindow(other);
}

TEST_F(KaviloView, StructurePageComesLastAndSelectsTheFieldsBytesInTheHexPage)
{
    CKaviloView::SetPageFactory(ViewTab_Hex, [](CCBData* e) { return std::make_shared<CHexViewDialog>(e); });
    CKaviloView::SetPageFactory(ViewTab_Structure, &CStructureViewDialog::CreateForEntry);
    testing_support::ScratchDir dir;
    auto entry = MakeEntry(L"", true, ViewTab_Hex);
    entry->m_fmt.cfFormat = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"Preferred DropEffect"));
    entry->m_tempFile = dir / L"effect.cvtmp";
    ASSERT_TRUE(testing_support::WriteBytes(entry->m_tempFile, {5, 0, 0, 0}));
    entry->m_dataSize = 4;
    Select(entry.get());
    EXPECT_EQ(TabTexts(m_tab), (std::vector<std::wstring>{L"プロパティ", L"HEX", L"テキスト", L"画像", L"構造"}));
    EXPECT_EQ(ActiveCaption(), L"HEX");

    // The page opened first is the stored choice; the hex page gets the field's bytes and,
    // on Enter's command, comes to the front.
    ClickTab(m_tab, 4);
    m_view->GetActivePage()->SaveAsDefaultView();
    Select(entry.get());
    ASSERT_EQ(ActiveCaption(), L"構造");
    auto* structure = dynamic_cast<CStructureViewDialog*>(m_view->GetActivePage());
    ASSERT_TRUE(structure);
    structure->SelectRow(0);
    ::SendMessageW(structure->GetSafeHwnd(), WM_COMMAND, ID_STRUCTURE_SHOW_HEX, 0);
    EXPECT_EQ(ActiveCaption(), L"HEX");
    auto* hex = dynamic_cast<CHexViewDialog*>(m_view->GetActivePage());
    ASSERT_TRUE(hex);
    const HexByteRange range = hex->GetHexView().GetSelectedByteRange();
    EXPECT_EQ(range.begin, 0u);
    EXPECT_EQ(range.end, 4u);
}
