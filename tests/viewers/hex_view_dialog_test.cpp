#include "viewers/HexViewDialog.h"

#include "capture/CBData.h"
#include "framework/Profile.h"
#include "res/hexview_resource.h"
#include "framework/MessageBox.h"
#include "res/find_resource.h"
#include "tests/ModalScript.h"
#include "tests/TestProgress.h"
#include "tests/TestSupport.h"
#include "viewers/HexFindDialog.h"
#include "viewers/ViewerProgress.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class HexViewDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                    640, 480, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }

    void SetUp() override
    {
        fw::SetRegistryKey(L"OrvettaHexPageTest");
        fw::DeleteAppRegistryKey();
    }
    void TearDown() override
    {
        m_page.reset();
        fw::DeleteAppRegistryKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaHexPageTest");
        fw::SetRegistryKey(L"Orvetta");
    }

    // A page for an entry whose temporary file holds `bytes` (none: a file that is not there).
    CHexViewDialog& Open(const std::vector<uint8_t>* bytes)
    {
        m_entry = std::make_shared<CCBData>();
        m_entry->m_fmt.cfFormat = CF_TEXT;
        m_entry->m_name = L"sample.bin";
        m_entry->m_tempFile = m_dir / L"entry.cvtmp";
        if (bytes) {
            testing_support::WriteBytes(m_entry->m_tempFile, *bytes);
            m_entry->m_dataSize = bytes->size();
        } else {
            m_entry->m_dataSize = 100;
        }
        m_page = std::make_unique<CHexViewDialog>(m_entry.get());
        EXPECT_TRUE(m_page->CreatePage(s_frame));
        ::MoveWindow(m_page->GetSafeHwnd(), 0, 0, 600, 400, TRUE);
        ::ShowWindow(m_page->GetSafeHwnd(), SW_SHOW);
        return *m_page;
    }
    std::wstring ComboText() const
    {
        wchar_t text[64] = {};
        ::GetWindowTextW(m_page->GetDlgItem(IDC_HEX_WIDTH), text, 64);
        return text;
    }
    int StoredWidth() const { return fw::GetProfileInt(L"Settings", L"HexViewWidth", -1); }

    static HWND s_frame;
    testing_support::ScratchDir m_dir;
    std::shared_ptr<CCBData> m_entry;
    std::unique_ptr<CHexViewDialog> m_page;
};
HWND HexViewDialog::s_frame = nullptr;

const std::vector<uint8_t> kBytes = {'H', 'e', 'l', 'l', 'o', 0, 0xFF, '!'};

}  // namespace

TEST_F(HexViewDialog, ShowsTheTemporaryFileAndKeepsItOpenForReadingOnly)
{
    CHexViewDialog& page = Open(&kBytes);
    EXPECT_EQ(::GetWindowLongW(page.GetHexView().GetSafeHwnd(), GWL_ID), IDC_HEX_VIEW);
    EXPECT_TRUE(::IsWindowVisible(page.GetHexView().GetSafeHwnd()));
    EXPECT_FALSE(::IsWindowVisible(page.GetDlgItem(IDC_HEX_PLACEHOLDER)));
    EXPECT_EQ(page.GetHexView().FormatLine(0), L"0000  48 65 6c 6c 6f 00 ff 21" + std::wstring(26, L' ') + L"Hello..!");

    // The control fills the page below the combo row.
    RECT r;
    ::GetWindowRect(page.GetHexView().GetSafeHwnd(), &r);
    ::MapWindowPoints(nullptr, page.GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_GT(r.top, 0);
    EXPECT_EQ(r.right, 600);
    EXPECT_EQ(r.bottom, 400);

    // Others may read the file while the page shows it, but not write it.
    fw::UniqueFile reader(
        ::CreateFileW(m_entry->m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reader.IsValid());
    fw::UniqueFile writer(::CreateFileW(m_entry->m_tempFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer.IsValid());

    page.SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", L".bin"), L"HEX");
}

TEST_F(HexViewDialog, AFileThatCannotBeOpenedIsSaidSoInsteadOfShowingZeros)
{
    CHexViewDialog& page = Open(nullptr);
    EXPECT_FALSE(page.HasBytes());
    EXPECT_FALSE(::IsWindowVisible(page.GetHexView().GetSafeHwnd()));
    HWND placeholder = page.GetDlgItem(IDC_HEX_PLACEHOLDER);
    EXPECT_TRUE(::IsWindowVisible(placeholder));
    wchar_t text[128] = {};
    ::GetWindowTextW(placeholder, text, 128);
    EXPECT_NE(std::wstring(text).find(L"一時ファイルを開けません"), std::wstring::npos);
    EXPECT_EQ(page.GetHexView().GetLineCount(), 0u);
}

TEST_F(HexViewDialog, BytesPerLineComeFromTheSettingAndAreStoredWhenChanged)
{
    // Absent: 16, nothing written.
    Open(&kBytes);
    EXPECT_EQ(m_page->GetHexView().GetBytesPerLine(), 16);
    EXPECT_EQ(ComboText(), L"16バイト");
    EXPECT_EQ(StoredWidth(), -1);

    // 48 is not a choice: 16, and the value stays until the user picks one.
    fw::WriteProfileInt(L"Settings", L"HexViewWidth", 48);
    Open(&kBytes);
    EXPECT_EQ(m_page->GetHexView().GetBytesPerLine(), 16);
    EXPECT_EQ(ComboText(), L"16バイト");
    EXPECT_EQ(StoredWidth(), 48);

    // Picking "64バイト" stores 64 and starts the dump again from its first line.
    m_page->GetHexView().SetCaret(0, 9, false);
    HWND combo = m_page->GetDlgItem(IDC_HEX_WIDTH);
    ::SendMessageW(combo, CB_SETCURSEL, 2, 0);
    ::SendMessageW(m_page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_HEX_WIDTH, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(StoredWidth(), 64);
    EXPECT_EQ(m_page->GetHexView().GetBytesPerLine(), 64);
    EXPECT_EQ(m_page->GetHexView().GetCaretPos(), (HexPos{0, 0}));
    EXPECT_EQ(m_page->GetHexView().FormatLine(0).size(), 4u + 3 + 3 * 64 + 8);

    // The next page reads it back.
    Open(&kBytes);
    EXPECT_EQ(ComboText(), L"64バイト");
    EXPECT_EQ(m_page->GetHexView().GetBytesPerLine(), 64);
}

namespace {

void SetShift(bool down)
{
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
}

std::unique_ptr<ICaptureProgress> StopAtOnce(const std::wstring&)
{
    return std::make_unique<testing_support::TestProgress>(1);
}

}  // namespace

// F3 and Shift+F3 in the control run the page's last query from the caret: matches at the
// first byte, across a 1 MiB border and in UTF-16 text are selected in turn; bad patterns
// and misses are said, and a stopped search leaves the caret where it was.
TEST_F(HexViewDialog, FindsForwardBackwardAndAcrossStepsAndSaysWhatIsWrong)
{
    std::vector<uint8_t> bytes(2 * 0x100000 + 64, '.');
    auto put = [&](size_t at, const std::vector<uint8_t>& what) {
        std::copy(what.begin(), what.end(), bytes.begin() + at);
    };
    put(0, {'P', 'a', 't', 'h'});
    put(0x100000 - 2, {'p', 'A', 'T', 'H'});
    put(2 * 0x100000 + 10, {'p', 0, 'a', 0, 't', 0, 'h', 0});
    CHexViewDialog& page = Open(&bytes);
    CHexViewCtrl& hex = page.GetHexView();
    HWND control = hex.GetSafeHwnd();
    FindQuery& query = CHexFindDialog::LastQuery();
    query = FindQuery{};

    // Ctrl+F in the control opens the page's find window with the entry's code page; F3
    // without a query opens it too.
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(control, WM_KEYDOWN, 'F', 0);
    SetShift(false);
    ASSERT_TRUE(page.GetFindDialog());
    HWND findWindow = page.GetFindDialog()->GetSafeHwnd();
    EXPECT_TRUE(::IsWindowVisible(findWindow));
    EXPECT_EQ(testing_support::WindowText(::GetDlgItem(findWindow, IDC_FIND_CODE_PAGE)),
              L"コードページ " + std::to_wstring(FindCodePageOf(*m_entry)));
    ::SendMessageW(findWindow, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(::IsWindowVisible(findWindow));

    query.text = L"path";
    query.ignoreCase = true;

    fw::MessageBoxRecorder boxes;
    auto f3 = [&](bool shift) {
        SetShift(shift);
        ::SendMessageW(control, WM_KEYDOWN, VK_F3, 0);
        SetShift(false);
        return std::make_pair(hex.GetSelectedByteRange().begin, hex.GetSelectedByteRange().end);
    };
    EXPECT_EQ(f3(false), std::make_pair(uint64_t{0}, uint64_t{4}));
    EXPECT_EQ(::GetFocus(), control);  // the selection shows while the control has the focus
    EXPECT_EQ(f3(false), std::make_pair(uint64_t{0x100000 - 2}, uint64_t{0x100000 + 2}));
    EXPECT_EQ(f3(false), std::make_pair(uint64_t{2 * 0x100000 + 10}, uint64_t{2 * 0x100000 + 18}));
    EXPECT_GE(hex.GetTopLine() + hex.GetVisibleLines(), hex.GetCaretPos().line);  // scrolled into view
    f3(false);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"これより後には見つかりません。"});
    EXPECT_EQ(f3(true), std::make_pair(uint64_t{0x100000 - 2}, uint64_t{0x100000 + 2}));
    EXPECT_EQ(f3(true), std::make_pair(uint64_t{0}, uint64_t{4}));

    // Hex bytes; then an odd digit count, a pattern longer than the data: said, nothing moves.
    query.hex = true;
    query.text = L"2e2e 70 00";
    EXPECT_EQ(f3(false), std::make_pair(uint64_t{2 * 0x100000 + 8}, uint64_t{2 * 0x100000 + 12}));
    query.text = L"2e2e7";
    EXPECT_EQ(f3(false), std::make_pair(uint64_t{2 * 0x100000 + 8}, uint64_t{2 * 0x100000 + 12}));
    EXPECT_NE(boxes.Texts().back().find(L"奇数"), std::wstring::npos);
    query.hex = false;
    query.text = L"Hello!!!!";
    m_page.reset();  // the page holds the file open
    Open(&kBytes);
    ::SendMessageW(m_page->GetHexView().GetSafeHwnd(), WM_KEYDOWN, VK_F3, 0);
    EXPECT_EQ(boxes.Texts().back(), L"検索パターンがデータより長いです。");

    // Stopped at the first step: no message, the caret stays.
    m_page.reset();
    Open(&bytes);
    m_page->GetHexView().GoToOffset(0x10);
    const HexPos caret = m_page->GetHexView().GetCaretPos();
    EXPECT_EQ(caret, (HexPos{1, 10}));  // eight offset digits, two spaces
    const size_t said = boxes.Texts().size();
    query.text = L"absent";
    CViewerOperation::SetDelayForTests(0);
    SetViewerProgressMaker(&StopAtOnce);
    EXPECT_FALSE(m_page->Find(false));
    SetViewerProgressMaker(nullptr);
    CViewerOperation::SetDelayForTests(300);
    EXPECT_EQ(boxes.Texts().size(), said);
    EXPECT_EQ(m_page->GetHexView().GetCaretPos(), caret);

    // Ctrl+G: an offset typed wrongly is said and the window stays; "#20" is decimal.
    using testing_support::ModalScript;
    ModalScript go([] { return ModalScript::FindDialog(L"移動"); },
                   [](HWND dialog) {
                       for (const wchar_t* text : {L"zz", L"#20"}) {
                           ::SetDlgItemTextW(dialog, IDC_GOTO_OFFSET, text);
                           ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                          reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
                       }
                   });
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(m_page->GetHexView().GetSafeHwnd(), WM_KEYDOWN, 'G', 0);
    SetShift(false);
    EXPECT_TRUE(go.Ran());
    EXPECT_NE(boxes.Texts().back().find(L"オフセット"), std::wstring::npos);
    EXPECT_EQ(m_page->GetHexView().GetCaretPos(), (HexPos{1, 10 + 3 * 4}));
}
