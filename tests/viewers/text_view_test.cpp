#include "viewers/TextViewDialog.h"

#include "capture/CBData.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/textview_resource.h"
#include "tests/ModalScript.h"
#include "tests/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using testing_support::ModalScript;
using testing_support::ScratchDir;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::wstring WindowText(HWND hwnd)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

class TextView : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        // One visible frame for the suite: showing a window costs seconds under Wine.
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                    nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }

    void SetUp() override
    {
        fw::SetRegistryKey(L"OrvettaTextViewTest");
        fw::DeleteAppRegistryKey();
    }
    void TearDown() override
    {
        m_page.reset();
        fw::DeleteAppRegistryKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaTextViewTest");
        fw::SetRegistryKey(L"Orvetta");
    }

    // An entry holding `bytes` in a file of its own, with the given code page of its kind.
    std::shared_ptr<CCBData> Entry(const Bytes& bytes, int codePage, UINT format = CF_TEXT)
    {
        auto entry = std::make_shared<CCBData>();
        entry->m_fmt = {static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        entry->m_defaultCodePage = codePage;
        entry->m_tempFile = m_scratch / (L"entry" + std::to_wstring(++m_files) + L".bin");
        entry->m_dataSize = bytes.size();
        EXPECT_TRUE(testing_support::WriteBytes(entry->m_tempFile, bytes));
        return entry;
    }
    // The page as the viewer host shows it.
    CTextViewDialog& Open(CCBData* entry)
    {
        m_page = std::make_unique<CTextViewDialog>(entry);
        EXPECT_TRUE(m_page->CreatePage(s_frame));
        ::SetWindowPos(m_page->GetSafeHwnd(), nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_SHOWWINDOW);
        return *m_page;
    }
    HWND Item(int id) const { return ::GetDlgItem(m_page->GetSafeHwnd(), id); }
    std::wstring Text() const { return WindowText(Item(IDC_TEXT_EDIT)); }
    std::wstring Status() const { return WindowText(Item(IDC_TEXT_STATUS)); }
    std::vector<std::wstring> ComboNames() const
    {
        std::vector<std::wstring> names;
        HWND combo = Item(IDC_TEXT_CODEPAGE);
        const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring name(static_cast<size_t>(::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            name.resize(
                static_cast<size_t>(::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name.data()))));
            names.push_back(name);
        }
        return names;
    }
    std::wstring Selected() const
    {
        const int index = static_cast<int>(::SendMessageW(Item(IDC_TEXT_CODEPAGE), CB_GETCURSEL, 0, 0));
        const auto names = ComboNames();
        return index >= 0 && index < static_cast<int>(names.size()) ? names[index] : L"(none)";
    }
    // What the user does in the drop-down list.
    void Choose(const std::wstring& name)
    {
        const auto names = ComboNames();
        const auto found = std::find(names.begin(), names.end(), name);
        ASSERT_NE(found, names.end()) << "no item " << testing::PrintToString(name);
        HWND combo = Item(IDC_TEXT_CODEPAGE);
        ::SendMessageW(combo, CB_SETCURSEL, found - names.begin(), 0);
        ::SendMessageW(m_page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEXT_CODEPAGE, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(combo));
    }

    // Lets the page's timer work out the whole-entry report.
    void WaitForReport()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (m_page->IsReportPending() && std::chrono::steady_clock::now() < deadline) {
            MSG msg;
            if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
            else
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        EXPECT_FALSE(m_page->IsReportPending()) << "the report did not end";
    }

    static HWND s_frame;
    ScratchDir m_scratch;
    int m_files = 0;
    std::unique_ptr<CTextViewDialog> m_page;
};
HWND TextView::s_frame = nullptr;

const wchar_t kNoNulNoLines[] = L"終端NUL: なし  改行コード: なし";
// "テキスト" in UTF-8: also well-formed by the 932 tables, but not valid 932 text.
const std::string kUtf8Katakana = "\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88";

}  // namespace

TEST_F(TextView, DecodesInTheEntrysCodePageOrTheDetectedOne)
{
    struct Case {
        Bytes bytes;
        int codePage;
        std::wstring text, status, selected;
    } cases[] = {
        {{0x41, 0x00, 0x42, 0x00}, -10, L"AB", kNoNulNoLines, L"UTF-16LE"},
        {{0x41, 0x00, 0x42}, -1, L"A", kNoNulNoLines, L"UTF-16LE"},
        {{0xEF, 0xBB, 0xBF, 0x61}, 65001, L"a", kNoNulNoLines, L"CP_UTF8"},
        {{0xFE, 0xFF, 0x00, 0x41, 0x00, 0x0D, 0x00, 0x0A},
         -2,
         L"A\r\n",
         L"終端NUL: なし  改行コード: CR+LF",
         L"UTF-16BE"},
        {B("a\nb\r\nc"), 0, L"a\r\nb\r\nc", L"終端NUL: なし  改行コード: *謎*", L"CP_ACP"},
        {B("a\rb"), 0, L"a\r\nb", L"終端NUL: なし  改行コード: *CRのみ*", L"CP_ACP"},
        {B("x\ny\n"), 1, L"x\r\ny\r\n", L"終端NUL: なし  改行コード: *LFのみ*", L"CP_OEMCP"},
        {B(std::string("abc\0def", 7)), 0, L"abc", L"終端NUL: あり  改行コード: なし", L"CP_ACP"},
        {B("plain ASCII\r\n"), -10, L"plain ASCII\r\n", L"終端NUL: なし  改行コード: CR+LF", L"CP_ACP"},
        {B(kUtf8Katakana), -10, L"テキスト", kNoNulNoLines, L"CP_UTF8"},
        // "日本" in UTF-8 is also valid 932 text: the guess is the ANSI code page.
        {B("\xE6\x97\xA5\xE6\x9C\xAC"), -10, L"譌･譛ｬ", kNoNulNoLines, L"CP_ACP"},
        // CF_TEXT captured with a Japanese CF_LOCALE: code page 932 gets an item.
        {{0x83, 0x65, 0x83, 0x4C, 0x83, 0x58, 0x83, 0x67}, 932, L"テキスト", kNoNulNoLines, L"932"},
        {{}, 65001, L"", kNoNulNoLines, L"CP_ACP"},
    };
    for (const Case& c : cases) {
        auto entry = Entry(c.bytes, c.codePage);
        Open(entry.get());
        EXPECT_EQ(Text(), c.text) << c.codePage << " " << c.bytes.size();
        EXPECT_EQ(Status(), c.status) << c.codePage << " " << c.bytes.size();
        EXPECT_EQ(Selected(), c.selected) << c.codePage << " " << c.bytes.size();
    }

    // The edit shows the rewritten lines as lines.
    auto mixed = Entry(B("a\nb\r\nc"), 0);
    Open(mixed.get());
    EXPECT_EQ(::SendMessageW(Item(IDC_TEXT_EDIT), EM_GETLINECOUNT, 0, 0), 3);

    // The same marked bytes as CP_ACP keep the mark as characters.
    auto marked = Entry({0xEF, 0xBB, 0xBF, 0x61}, 0);
    Open(marked.get());
    const std::wstring shown = Text();
    EXPECT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.back(), L'a');
    EXPECT_NE(shown.front(), L'a');
}

TEST_F(TextView, SwitchingTheCodePageDecodesTheFileAgain)
{
    auto entry = Entry({0x41, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x42, 0x00}, 0);
    Open(entry.get());
    EXPECT_EQ(Text(), L"A");  // the first zero byte ends ANSI text
    EXPECT_EQ(m_page->GetCurrentCodePage(), 0);
    EXPECT_EQ(Status(), L"終端NUL: あり  改行コード: なし");

    Choose(L"UTF-16LE");
    EXPECT_EQ(m_page->GetCurrentCodePage(), -1);
    EXPECT_EQ(Text(), L"A\r\n");
    EXPECT_EQ(Status(), L"終端NUL: あり  改行コード: *LFのみ*");
    Choose(L"UTF-16BE");
    EXPECT_EQ(m_page->GetCurrentCodePage(), -2);
    EXPECT_EQ(Text(), std::wstring({0x4100, 0x0A00}));
    EXPECT_EQ(Status(), L"終端NUL: あり  改行コード: なし");

    // The file changed under the page: a new choice reads it again.
    ASSERT_TRUE(testing_support::WriteBytes(entry->m_tempFile, B("new\r\ntext")));
    entry->m_dataSize = 9;
    Choose(L"CP_ACP");
    EXPECT_EQ(Text(), L"new\r\ntext");
    EXPECT_EQ(Status(), L"終端NUL: なし  改行コード: CR+LF");
}

TEST_F(TextView, UnconvertibleCodePagesAndMissingBytesShowNoText)
{
    fw::MessageBoxRecorder boxes;
    fw::WriteProfileString(L"Settings", L"CodePages", L"X=99999;Minus=-7;");
    auto entry = Entry(B(std::string("ab\nc\0d", 6)), 0);
    Open(entry.get());
    EXPECT_EQ(Text(), L"ab\r\nc");
    for (const wchar_t* name : {L"X", L"Minus"}) {
        Choose(name);
        EXPECT_EQ(Text(), L"") << name;
        EXPECT_EQ(Status(), L"終端NUL: あり  改行コード: なし") << name;
    }

    // An entry of 2 GiB whose file holds only three bytes: they are shown, and the
    // report ends where the bytes end.
    auto huge = Entry(B("abc"), 0);
    huge->m_dataSize = 0x80000000ull;
    Open(huge.get());
    EXPECT_EQ(Text(), L"abc");
    WaitForReport();
    EXPECT_EQ(Status(), std::wstring(kNoNulNoLines) + L"  先頭 3 バイト / 2.0 GiB を表示");
    EXPECT_EQ(Selected(), L"CP_ACP");
    Choose(L"CP_UTF8");
    EXPECT_EQ(Text(), L"abc");

    // A file that has gone: nothing to show, nothing asked.
    auto gone = Entry(B("abc"), 65001);
    ::DeleteFileW(gone->m_tempFile.c_str());
    Open(gone.get());
    EXPECT_EQ(Text(), L"");
    EXPECT_EQ(Status(), kNoNulNoLines);
    EXPECT_TRUE(boxes.Texts().empty());

    // Without an entry the page is empty too and stores nothing as a default.
    Open(nullptr);
    EXPECT_EQ(Selected(), L"CP_ACP");
    EXPECT_EQ(Status(), kNoNulNoLines);
    m_page->SaveAsDefaultView();
    HKEY key = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, (fw::GetAppRegistryPath() + L"\\FormatsDefaultViewTab").c_str(), 0,
                              KEY_READ, &key),
              ERROR_SUCCESS);
}

TEST_F(TextView, TheListFollowsTheStoredItemsAndTheEntry)
{
    auto entry = Entry(B("abc"), 0);
    Open(entry.get());
    EXPECT_EQ(ComboNames(), (std::vector<std::wstring>{L"CP_ACP", L"CP_OEMCP", L"CP_UTF8", L"UTF-16LE", L"UTF-16BE",
                                                       L"ISO-2022-JP", L"EUC-JP", L"Windows-1252"}));

    // An entry's own code page that is not listed comes last, selected.
    fw::WriteProfileString(L"Settings", L"CodePages", L"");
    auto ascii = Entry(B("abc"), 20127);
    Open(ascii.get());
    EXPECT_EQ(ComboNames().back(), L"20127");
    EXPECT_EQ(Selected(), L"20127");
    EXPECT_EQ(m_page->GetCodePageList().back()->m_codePage, 20127);
    EXPECT_EQ(Text(), L"abc");

    // Two items of one code page: the last is the one selected.
    fw::WriteProfileString(L"Settings", L"CodePages", L"A=1252;B=1252;");
    auto latin = Entry({0x41, 0xE9}, 1252);
    Open(latin.get());
    EXPECT_EQ(Selected(), L"B");
    EXPECT_EQ(Text(), L"A\u00E9");
}

TEST_F(TextView, TheAddDialogStoresTrimmedLinesAndRefusesTheSeparator)
{
    auto entry = Entry(B("abc"), 0);
    Open(entry.get());
    Choose(L"Windows-1252");
    auto clickAdd = [this] {
        ::SendMessageW(m_page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEXT_ADD_CODEPAGE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(IDC_TEXT_ADD_CODEPAGE)));
    };
    auto find = [] { return ModalScript::FindDialog(L"コードページ追加"); };

    // A ";" anywhere: the message, the dialog stays open, nothing stored.
    std::wstring shownFirst;
    bool stayedOpen = false;
    fw::MessageBoxRecorder boxes;
    {
        ModalScript script(find, [&](HWND dialog) {
            HWND edit = ::GetDlgItem(dialog, IDC_ADD_CODEPAGE_EDIT);
            shownFirst = WindowText(edit);
            ::SetWindowTextW(edit, L"A=1;B=2");
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            stayedOpen = ::IsWindowVisible(dialog);
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        clickAdd();
        EXPECT_TRUE(script.Ran());
    }
    EXPECT_EQ(shownFirst, L"ISO-2022-JP=50220\r\nEUC-JP=51932\r\nWindows-1252=1252\r\n");
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L";は使えません。"});
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"CodePages", L"(absent)"), L"(absent)");

    {
        ModalScript script(find, [&](HWND dialog) {
            ::SetDlgItemTextW(dialog, IDC_ADD_CODEPAGE_EDIT, L"EUC=51932\r\n\r\n  KOI8-R=20866  \r\nLatin=1252");
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        clickAdd();
        EXPECT_TRUE(script.Ran());
    }
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"CodePages"), L"EUC=51932;KOI8-R=20866;Latin=1252;");
    // The list is rebuilt at once and keeps the chosen code page under its new name.
    EXPECT_EQ(ComboNames(), (std::vector<std::wstring>{L"CP_ACP", L"CP_OEMCP", L"CP_UTF8", L"UTF-16LE", L"UTF-16BE",
                                                       L"EUC", L"KOI8-R", L"Latin"}));
    EXPECT_EQ(Selected(), L"Latin");
    EXPECT_EQ(boxes.Texts().size(), 1u);

    // An empty text stores an empty list.
    {
        ModalScript script(find, [&](HWND dialog) {
            ::SetDlgItemTextW(dialog, IDC_ADD_CODEPAGE_EDIT, L"");
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        clickAdd();
    }
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"CodePages", L"(absent)"), L"");
    EXPECT_EQ(ComboNames().back(), L"1252");  // the wanted code page keeps an item
}

TEST_F(TextView, TheReadOnlyTextKeepsTheWindowColourAndFillsThePage)
{
    auto entry = Entry(B("abc"), 0);
    CTextViewDialog& page = Open(entry.get());
    HWND dialog = page.GetSafeHwnd();
    HDC dc = ::CreateCompatibleDC(nullptr);
    auto colorFor = [&](int id) {
        return reinterpret_cast<HBRUSH>(::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(Item(id))));
    };
    auto brushColour = [](HBRUSH brush) {
        LOGBRUSH logBrush = {};
        ::GetObjectW(brush, sizeof logBrush, &logBrush);
        return logBrush.lbColor;
    };
    ::SetBkColor(dc, RGB(1, 2, 3));
    HBRUSH first = colorFor(IDC_TEXT_EDIT);
    ASSERT_TRUE(first);
    EXPECT_EQ(brushColour(first), ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(::GetBkColor(dc), ::GetSysColor(COLOR_WINDOW));  // behind the characters too
    EXPECT_NE(colorFor(IDC_TEXT_STATUS), first);

    ::SendMessageW(dialog, WM_SYSCOLORCHANGE, 0, 0);
    HBRUSH second = colorFor(IDC_TEXT_EDIT);
    EXPECT_NE(second, first);
    EXPECT_EQ(brushColour(second), ::GetSysColor(COLOR_WINDOW));
    ::DeleteDC(dc);

    RECT before, after;
    ::GetWindowRect(Item(IDC_TEXT_EDIT), &before);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&before), 2);
    ::SetWindowPos(dialog, nullptr, 0, 0, 500, 300, SWP_NOZORDER | SWP_NOMOVE);
    ::GetWindowRect(Item(IDC_TEXT_EDIT), &after);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&after), 2);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, 500);
    EXPECT_EQ(after.bottom, 300);

    page.SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", entry->GetViewKey()), L"TEXT");
    EXPECT_EQ(page.GetCaption(), L"テキスト");
}

TEST_F(TextView, JapaneseCodePagesThroughTheInternetConverter)
{
    auto jis = Entry(B("\x1B$BF|K\\\x1B(B"), 50220);
    Open(jis.get());
    // Wine 8 ships "mlang.dll" with the function; a system without it converts
    // through MultiByteToWideChar alone.
    if (!CTextViewDialog::HasInternetConverter()) GTEST_SKIP() << "no ConvertINetMultiByteToUnicode in mlang.dll";
    EXPECT_EQ(Selected(), L"ISO-2022-JP");
    EXPECT_EQ(Text(), L"日本");
    auto euc = Entry({0xC6, 0xFC, 0xCB, 0xDC, 0x0A}, 51932);
    Open(euc.get());
    EXPECT_EQ(Selected(), L"EUC-JP");
    EXPECT_EQ(Text(), L"日本\r\n");
    EXPECT_EQ(Status(), L"終端NUL: なし  改行コード: *LFのみ*");
}

TEST_F(TextView, LargeEntriesShowTheirStartAndReportTheWhole)
{
    constexpr size_t shown = CTextViewDialog::kShownBytes, step = CTextViewDialog::kScanStep;
    // CR LF lines, one of them split by the end of the first step, and "あ" cut by the
    // end of the shown bytes.
    Bytes bytes(step + step / 2, 'x');
    for (size_t at = 40; at + 1 < bytes.size(); at += 50) bytes[at] = '\r', bytes[at + 1] = '\n';
    bytes[step - 1] = '\r', bytes[step] = '\n';
    const std::string a = "\xE3\x81\x82";
    std::copy(a.begin(), a.end(), bytes.begin() + shown - 1);
    auto entry = Entry(bytes, 65001);
    Open(entry.get());
    const std::wstring text = Text();
    EXPECT_EQ(text.size(), shown - 1);  // ASCII and CR LF: a character a byte
    EXPECT_EQ(text.back(), L'x');
    EXPECT_EQ(Status().rfind(L"終端NUL・改行コード: 確認中 ", 0), 0u) << testing::PrintToString(Status());
    WaitForReport();
    const std::wstring note = L"  先頭 128.0 KiB / 1.5 MiB を表示";
    EXPECT_EQ(Status(), L"終端NUL: なし  改行コード: CR+LF" + note);

    // Beyond the shown bytes: a lone LF, then a NUL and line ends after it that do not count.
    Bytes mixed = bytes;
    mixed[step + 10] = '\n';
    auto lone = Entry(mixed, 65001);
    Open(lone.get());
    WaitForReport();
    EXPECT_EQ(Status(), L"終端NUL: なし  改行コード: *謎*" + note);
    mixed = bytes;
    mixed[step + 20] = 0;
    mixed[step + 30] = '\r';
    auto nul = Entry(mixed, 65001);
    Open(nul.get());
    WaitForReport();
    EXPECT_EQ(Status(), L"終端NUL: あり  改行コード: CR+LF" + note);

    // Another code page while the report is pending starts it again for that one.
    Open(nul.get());
    Choose(L"UTF-16LE");
    EXPECT_TRUE(m_page->IsReportPending());
    EXPECT_EQ(Text().size(), shown / 2);
    WaitForReport();
    EXPECT_EQ(Status(), L"終端NUL: なし  改行コード: なし" + note);  // no zero unit, no CR LF unit

    // A NUL within the shown bytes ends the text there: nothing more to look at.
    mixed = bytes;
    mixed[100] = 0;
    auto early = Entry(mixed, 65001);
    Open(early.get());
    EXPECT_FALSE(m_page->IsReportPending());
    EXPECT_EQ(Status(), L"終端NUL: あり  改行コード: CR+LF");
}

TEST_F(TextView, TheCodePageLabelFitsItsText)
{
    auto entry = Entry(B("abc"), 0);
    Open(entry.get());
    HWND label = Item(IDC_TEXT_CODEPAGE_LABEL);
    ASSERT_EQ(WindowText(label), L"コードページ");
    auto rect = [this](int id) {
        RECT r;
        ::GetWindowRect(Item(id), &r);
        ::MapWindowPoints(nullptr, m_page->GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    auto textWidth = [label] {
        HDC dc = ::GetDC(label);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        ::GetTextExtentPoint32W(dc, L"コードページ", 6, &extent);
        ::SelectObject(dc, old);
        ::ReleaseDC(label, dc);
        return extent.cx;
    };
    // Japanese UI fonts have Latin letters of half their full width, so a label sized in
    // dialog units is too narrow for six full-width characters: a font of that kind,
    // larger than the page's, as a user's setting gives.
    LOGFONTW japanese = {};
    japanese.lfHeight = -20;
    japanese.lfCharSet = SHIFTJIS_CHARSET;
    wcscpy(japanese.lfFaceName, L"IPAGothic");
    HFONT font = ::CreateFontIndirectW(&japanese);
    ::SendMessageW(m_page->GetSafeHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (int id : {IDC_TEXT_CODEPAGE_LABEL, IDC_TEXT_STATUS})
        EXPECT_EQ(::SendMessageW(Item(id), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
    const LONG width = textWidth();
    EXPECT_GT(width, 100);
    EXPECT_GE(rect(IDC_TEXT_CODEPAGE_LABEL).right - rect(IDC_TEXT_CODEPAGE_LABEL).left, width);
    // What follows moved with it.
    EXPECT_LE(rect(IDC_TEXT_CODEPAGE_LABEL).right, rect(IDC_TEXT_CODEPAGE).left);
    EXPECT_LE(rect(IDC_TEXT_ADD_CODEPAGE).right, rect(IDC_TEXT_STATUS).left);
    EXPECT_EQ(rect(IDC_TEXT_STATUS).right, 600);  // the status line to the page's edge
    m_page.reset();
    ::DeleteObject(font);
}

namespace {

// Holds keys down in this thread's key state (what GetKeyState reads) for a block.
class KeysHeld {
public:
    explicit KeysHeld(std::initializer_list<BYTE> keys)
    {
        ::GetKeyboardState(m_saved);
        BYTE state[256];
        std::copy(m_saved, m_saved + 256, state);
        for (BYTE key : keys) state[key] = 0x80;
        ::SetKeyboardState(state);
    }
    ~KeysHeld() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

}  // namespace

TEST_F(TextView, FindSelectsMatchesInTheShownText)
{
    fw::MessageBoxRecorder boxes;
    auto entry = Entry(B("Alpha beta\nALPHA alpha"), 0);
    Open(entry.get());
    HWND edit = Item(IDC_TEXT_EDIT);
    auto selection = [&edit] {
        DWORD start = 0, end = 0;
        ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return std::make_pair(start, end);
    };
    auto key = [&edit](WPARAM vk) { ::SendMessageW(edit, WM_KEYDOWN, vk, 0); };
    auto find = [] { return ModalScript::FindDialog(L"テキストを検索"); };
    // Ctrl+F in the text: the dialog, then the match after the caret. The text reads
    // "Alpha beta\r\nALPHA alpha" in the edit.
    auto ctrlF = [&](const wchar_t* pattern, bool ignoreCase, int button) {
        ModalScript script(find, [&](HWND dialog) {
            ::SetDlgItemTextW(dialog, IDC_TEXT_FIND_PATTERN, pattern);
            ::CheckDlgButton(dialog, IDC_TEXT_FIND_IGNORE_CASE, ignoreCase ? BST_CHECKED : BST_UNCHECKED);
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        });
        KeysHeld ctrl({VK_CONTROL});
        key('F');
        EXPECT_TRUE(script.Ran());
    };
    ctrlF(L"alpha", false, IDOK);
    EXPECT_EQ(selection(), std::make_pair(DWORD{18}, DWORD{23}));
    key(VK_F3);  // the only exact match: round again to it
    EXPECT_EQ(selection(), std::make_pair(DWORD{18}, DWORD{23}));

    ctrlF(L"ALPHA", true, IDOK);  // on from the caret, then round to the start
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{5}));
    key(VK_F3);
    EXPECT_EQ(selection(), std::make_pair(DWORD{12}, DWORD{17}));
    key(VK_F3);
    EXPECT_EQ(selection(), std::make_pair(DWORD{18}, DWORD{23}));
    {
        KeysHeld shift({VK_SHIFT});
        key(VK_F3);
    }
    EXPECT_EQ(selection(), std::make_pair(DWORD{12}, DWORD{17}));
    ctrlF(L"beta", false, IDC_TEXT_FIND_BACKWARD);
    EXPECT_EQ(selection(), std::make_pair(DWORD{6}, DWORD{10}));
    EXPECT_TRUE(boxes.Texts().empty());

    // Nothing found: said so, the selection stays. An empty pattern is refused.
    ctrlF(L"gamma", true, IDOK);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"「gamma」は見つかりません。"});
    EXPECT_EQ(selection(), std::make_pair(DWORD{6}, DWORD{10}));
    bool stayedOpen = false;
    {
        ModalScript script(find, [&](HWND dialog) {
            ::SetDlgItemTextW(dialog, IDC_TEXT_FIND_PATTERN, L"");
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            stayedOpen = ::IsWindowVisible(dialog);
            ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        KeysHeld ctrl({VK_CONTROL});
        key('F');
    }
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(boxes.Texts().back(), L"検索する文字列を入力してください。");

    // In a large entry only the shown start is searched, and the message says so.
    Bytes large(CTextViewDialog::kShownBytes * 2, 'a');
    auto big = Entry(large, 0);
    Open(big.get());
    edit = Item(IDC_TEXT_EDIT);
    ctrlF(L"b", false, IDOK);
    EXPECT_EQ(boxes.Texts().back(), L"「b」は見つかりません。\n検索したのは表示している先頭 128.0 KiB です。");
}

TEST(TextViewDetection, UsesTheAnsiTablesAndCodePage932)
{
    // The test runs with code page 932 as the ANSI code page (LC_ALL=ja_JP.UTF-8).
    ASSERT_EQ(::GetACP(), 932u);
    auto detect = [](const std::string& s) {
        return CTextViewDialog::DetectCodePage(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    EXPECT_EQ(detect(kUtf8Katakana), 65001);
    EXPECT_EQ(detect("\x83\x65\x83\x4C\x83\x58\x83\x67"), 0);  // Shift_JIS
    EXPECT_EQ(detect("\xE3\x81\x82 1"), 65001);                // "あ 1": 82 20 is no double-byte character
    EXPECT_EQ(detect("\xFF\xFE\x41\x00"), -1);
    EXPECT_TRUE(CTextViewDialog::IsBrokenShiftJis(reinterpret_cast<const uint8_t*>(kUtf8Katakana.data()),
                                                  kUtf8Katakana.size()));
    EXPECT_FALSE(CTextViewDialog::IsBrokenShiftJis(reinterpret_cast<const uint8_t*>("\x82\xA0"), 2));
    EXPECT_FALSE(CTextViewDialog::IsBrokenShiftJis(reinterpret_cast<const uint8_t*>("ascii"), 5));
}
