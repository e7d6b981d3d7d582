#include "viewers/StructureViewDialog.h"

#include "capture/CBData.h"
#include "decoders/DecodedText.h"
#include "framework/Profile.h"
#include "res/structureview_resource.h"
#include "tests/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Offsets counted in characters: "表" before the fragment is 3 bytes and 1 character.
const std::string kHtml =
    "Version:0.9\r\nStartHTML:0000000105\r\nEndHTML:0000000180\r\nStartFragment:0000000139\r\n"
    "EndFragment:0000000148\r\n<html><body>\xE8\xA1\xA8:<!--StartFragment--><b>\xE5\xA4\xAA\xE5\xAD\x97</b>"
    "<!--EndFragment--></body></html>";

class StructureView : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                    640, 480, nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }
    void TearDown() override { m_page.reset(); }

    std::shared_ptr<CCBData> Entry(const wchar_t* format, const std::vector<uint8_t>& bytes)
    {
        auto entry = std::make_shared<CCBData>();
        entry->m_fmt.cfFormat = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(format));
        entry->m_tempFile = m_dir / (std::wstring(format) + L".cvtmp");
        testing_support::WriteBytes(entry->m_tempFile, bytes);
        entry->m_dataSize = bytes.size();
        return entry;
    }
    CStructureViewDialog& Open(const std::shared_ptr<CCBData>& entry)
    {
        m_entry = entry;
        auto page = CStructureViewDialog::CreateForEntry(entry.get());
        m_page = std::static_pointer_cast<CStructureViewDialog>(page);
        EXPECT_TRUE(m_page && m_page->CreatePage(s_frame));
        ::MoveWindow(m_page->GetSafeHwnd(), 0, 0, 600, 400, TRUE);
        m_page->SetSelectBytesHandler([this](uint64_t begin, uint64_t end, bool show) {
            m_selected.push_back({begin, end, show});
        });
        return *m_page;
    }
    int FindRow(const std::wstring& name) const
    {
        for (int i = 0; i < m_page->GetRowCount(); ++i) {
            std::wstring text = m_page->GetRowText(i, 0);
            text.erase(0, text.find_first_not_of(L" +-"));
            if (text == name) return i;
        }
        return -1;
    }

    struct Selection {
        uint64_t begin, end;
        bool show;
    };
    static HWND s_frame;
    testing_support::ScratchDir m_dir;
    std::shared_ptr<CCBData> m_entry;
    std::shared_ptr<CStructureViewDialog> m_page;
    std::vector<Selection> m_selected;
};
HWND StructureView::s_frame = nullptr;

}  // namespace

TEST_F(StructureView, HtmlWithWrongOffsetsShowsItsFieldsAndWarnings)
{
    std::vector<uint8_t> bytes(kHtml.begin(), kHtml.end());
    bytes.push_back(0);
    CStructureViewDialog& page = Open(Entry(L"HTML Format", bytes));
    const size_t warnings = CountWarnings(*page.GetTree());
    EXPECT_GE(warnings, 3u);
    EXPECT_EQ(page.GetSummaryText(), L"HTML Format  警告 " + std::to_wstring(warnings) + L" 件");
    wchar_t summary[128] = {};
    ::GetWindowTextW(page.GetDlgItem(IDC_STRUCTURE_SUMMARY), summary, 128);
    EXPECT_EQ(page.GetSummaryText(), summary);
    // The list view asks for exactly the rows the page holds.
    EXPECT_EQ(::SendMessageW(page.GetDlgItem(IDC_STRUCTURE_LIST), LVM_GETITEMCOUNT, 0, 0), page.GetRowCount());

    const int start = FindRow(L"StartFragment");
    ASSERT_GE(start, 0);
    EXPECT_EQ(page.GetRowText(start, 1), L"55");
    EXPECT_EQ(page.GetRowText(start, 2), L"26");
    EXPECT_EQ(page.GetRowText(start, 3), L"139  (オフセット (UTF-8 のバイト数))");
    EXPECT_NE(page.GetRowText(start + 1, 0).find(L"! 警告"), std::wstring::npos);
    EXPECT_NE(page.GetRowText(start + 1, 3).find(L"文字数で数えています"), std::wstring::npos);

    // Selecting a field hands its bytes over; Enter's command brings the hex page forward.
    page.SelectRow(start);
    ASSERT_EQ(m_selected.size(), 1u);
    EXPECT_EQ(m_selected[0].begin, 55u);
    EXPECT_EQ(m_selected[0].end, 81u);
    EXPECT_FALSE(m_selected[0].show);
    ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, ID_STRUCTURE_SHOW_HEX, 0);
    ASSERT_EQ(m_selected.size(), 2u);
    EXPECT_TRUE(m_selected[1].show);

    const std::wstring field = page.CopyText(false);
    EXPECT_EQ(field.rfind(L"StartFragment [55, 26] 139", 0), 0u) << field;
    EXPECT_NE(field.find(L"\r\n  ! "), std::wstring::npos);
    EXPECT_EQ(page.CopyText(true).rfind(L"[構造] HTML Format (警告 " + std::to_wstring(warnings) + L")\r\n", 0), 0u);
}

TEST_F(StructureView, LargeArraysOpenAtOnceAndMakeTheirMembersWhenOpened)
{
    const uint32_t count = 20000;
    std::vector<uint8_t> bytes(4 + 592ull * count, 0);
    std::memcpy(bytes.data(), &count, 4);
    for (uint32_t i = 0; i < count; ++i) bytes[4 + 592ull * i + 72] = 'f';
    // The last name fills its field without a terminator: a warning inside a closed row.
    std::fill_n(bytes.begin() + 4 + 592ull * (count - 1) + 72, 520, 'g');
    CStructureViewDialog& page = Open(Entry(L"FileGroupDescriptorW", bytes));
    ASSERT_EQ(page.GetRowCount(), 1 + static_cast<int>(count));
    EXPECT_EQ(page.GetRowText(count, 0), L"+  fgd[19999]");
    EXPECT_NE(page.GetRowText(count, 3).find(L"中に警告 1 件"), std::wstring::npos);
    EXPECT_EQ(page.GetRowText(count - 1, 3).find(L"中に警告"), std::wstring::npos);
    EXPECT_TRUE(page.ToggleRow(count));
    EXPECT_EQ(page.GetRowText(count, 3).find(L"中に警告"), std::wstring::npos);
    EXPECT_EQ(page.GetRowText(count + 14, 0), L"      ! 警告");
    EXPECT_EQ(page.GetRowCount(), 1 + static_cast<int>(count) + 14);
    EXPECT_EQ(page.GetRowText(count, 0), L"-  fgd[19999]");
    EXPECT_EQ(page.GetRowText(count + 13, 0), L"      cFileName");
    EXPECT_EQ(page.GetRowText(count + 13, 1), std::to_wstring(4 + 592ull * 19999 + 72));
    EXPECT_TRUE(page.ToggleRow(count));
    EXPECT_EQ(page.GetRowCount(), 1 + static_cast<int>(count));
    EXPECT_FALSE(page.ToggleRow(0));  // cItems has no children
}

TEST_F(StructureView, OnlyEntriesWithADecoderGetThePageAndItStoresItsKeyword)
{
    auto plain = Entry(L"Orvetta Structure Test Format", {1, 2, 3});
    EXPECT_EQ(CStructureViewDialog::CreateForEntry(plain.get()), nullptr);
    auto empty = Entry(L"Preferred DropEffect", {});
    EXPECT_EQ(CStructureViewDialog::CreateForEntry(empty.get()), nullptr);

    fw::SetRegistryKey(L"OrvettaStructurePageTest");
    fw::DeleteAppRegistryKey();
    auto effect = Entry(L"Preferred DropEffect", {5, 0, 0, 0});
    Open(effect).SaveAsDefaultView();
    EXPECT_EQ(fw::GetProfileString(L"FormatsDefaultViewTab", effect->GetViewKey()), L"STRUCTURE");
    EXPECT_EQ(effect->GetDefaultViewTab(), 4);
    fw::DeleteAppRegistryKey();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaStructurePageTest");
    fw::SetRegistryKey(L"Orvetta");
}
