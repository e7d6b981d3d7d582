// The comparison in the window: a pair whose one side is the other's beginning, and the
// choice of the snapshot to compare with among the history's roots.
#include "app/KaviloApp.h"
#include "capture/CBData.h"
#include "framework/FileDialog.h"
#include "framework/Profile.h"
#include "res/compare_resource.h"
#include "res/resource.h"
#include "res/watch_resource.h"
#include "tests/ControlReading.h"
#include "tests/ModalScript.h"
#include "tests/TestDataObject.h"
#include "tests/app/AppFixture.h"
#include "viewers/HexViewDialog.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace testing_support;

namespace {

class CompareChoose : public AppFixture {
protected:
    // Captures an object of ours offering one block of `bytes`; returns its entry.
    const CCBData* Capture(const std::vector<uint8_t>& bytes)
    {
        TestDataObject* object = TestDataObject::Create();
        object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Compare")), GlobalMedium(bytes));
        EXPECT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
        Command(ID_EDIT_PASTE);
        return (*m_app->GetDocument()->GetSnapshot())[0].get();
    }
    // Eight bytes, 0 but for 0xFF at `mark`: two such snapshots first differ at the smaller mark.
    const CCBData* CaptureMarked(size_t mark)
    {
        std::vector<uint8_t> bytes(8, 0);
        bytes[mark] = 0xFF;
        return Capture(bytes);
    }
    std::wstring Title() { return L"クリップボード#" + std::to_wstring(::GetClipboardSequenceNumber()); }
    void SelectRoot(int index)
    {
        HWND tree = m_frame->GetLeftView().GetSafeHwnd();
        HTREEITEM item = TreeView_GetRoot(tree);
        for (int i = 0; i < index && item; ++i) item = TreeView_GetNextSibling(tree, item);
        TreeView_SelectItem(tree, item);
        PumpPending();
    }
    static void Click(HWND dialog, int id)
    {
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    }
    // What a side's HEX page shows: its entry, the selected bytes and the caret's offset.
    struct Shown {
        const CCBData* entry = nullptr;
        uint64_t begin = 0, end = 0, caret = 0;
    };
    Shown Showing()
    {
        Shown at{m_frame->GetLeftView().GetSelectedEntry()};
        if (auto* hex = dynamic_cast<CHexViewDialog*>(m_frame->GetKaviloView().GetActivePage())) {
            at.begin = hex->GetHexView().GetSelectedByteRange().begin;
            at.end = hex->GetHexView().GetSelectedByteRange().end;
            at.caret = hex->GetHexView().GetFindStart(false);
        }
        return at;
    }
};

}  // namespace

TEST_F(CompareChoose, OneSideTheOthersBeginningShowsTheSurplusAndTheShorterSidesEnd)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"KeptSnapshots", 2));
    const CCBData* shorter = Capture(std::vector<uint8_t>(8, 1));
    const CCBData* longer = Capture(std::vector<uint8_t>(20, 1));
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    std::vector<Shown> shown;
    ModalScript script([] { return ModalScript::FindDialog(L"比較"); },
                       [&](HWND dialog) {
                           rows = ListRows(::GetDlgItem(dialog, IDC_COMPARE_LIST));
                           Click(dialog, IDC_COMPARE_SHOW_A);
                           shown.push_back(Showing());
                           Click(dialog, IDC_COMPARE_SHOW_B);
                           shown.push_back(Showing());
                           ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                       });
    SelectRoot(1);  // the earlier, shorter one is A
    Command(ID_EDIT_COMPARE);
    ASSERT_TRUE(script.Ran());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].second, L"変更 (A は B の先頭と同じ、B が 12 バイト長い)");
    ASSERT_EQ(shown.size(), 2u);
    // A: nothing selected, the caret at its end, where B goes on.
    EXPECT_EQ(shown[0].entry, shorter);
    EXPECT_EQ(shown[0].begin, shown[0].end);
    EXPECT_EQ(shown[0].caret, 8u);
    // B: its surplus selected.
    EXPECT_EQ(shown[1].entry, longer);
    EXPECT_EQ(shown[1].begin, 8u);
    EXPECT_EQ(shown[1].end, 20u);
}

TEST_F(CompareChoose, TheCurrentRootComparedWithAChosenNonAdjacentRootOrAFile)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"KeptSnapshots", 4));
    const CCBData* oldest = CaptureMarked(1);
    const std::wstring oldestTitle = Title();
    CaptureMarked(2);
    const std::wstring middleTitle = Title();
    CaptureMarked(3);
    const std::wstring newerTitle = Title();
    CaptureMarked(4);
    const std::wstring currentTitle = Title();

    std::vector<std::pair<std::wstring, std::wstring>> candidates;
    std::wstring owner;
    int preselected = -1;
    size_t keptDuringChoice = 0;
    ModalScript chooser([] { return ModalScript::FindDialog(L"比較する相手"); },
                        [&](HWND dialog) {
                            HWND list = ::GetDlgItem(dialog, IDC_COMPARE_CHOOSE_LIST);
                            candidates = ListRows(list);
                            wchar_t text[MAX_PATH] = {};
                            ListView_GetItemText(list, 2, 2, text, MAX_PATH);
                            owner = text;
                            preselected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
                            // The history stays as listed while the choice is open.
                            m_app->GetDocument()->RemoveKeptSnapshot(2);
                            keptDuringChoice = m_app->GetDocument()->GetKeptSnapshots().size();
                            // The oldest root, two away from the current one.
                            SelectListRows(list, {2});
                            ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                        });
    std::wstring header;
    std::vector<std::wstring> changed;
    Shown shownB;
    ModalScript compare([] { return ModalScript::FindDialog(L"比較"); },
                        [&](HWND dialog) {
                            wchar_t text[512] = {};
                            ::GetDlgItemTextW(dialog, IDC_COMPARE_HEADER, text, 512);
                            header = text;
                            HWND list = ::GetDlgItem(dialog, IDC_COMPARE_LIST);
                            for (int column = 1; column < 6; ++column) {
                                ListView_GetItemText(list, 0, column, text, 512);
                                changed.push_back(text);
                            }
                            Click(dialog, IDC_COMPARE_SHOW_B);
                            shownB = Showing();
                            ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                        });
    SelectRoot(0);
    Command(ID_EDIT_COMPARE);
    ASSERT_TRUE(chooser.Ran());
    ASSERT_TRUE(compare.Ran());
    // The other roots in the tree's order, the next one preselected, each with its owner.
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0].first, newerTitle);
    EXPECT_EQ(candidates[1].first, middleTitle);
    EXPECT_EQ(candidates[2].first, oldestTitle);
    EXPECT_EQ(preselected, 0);
    EXPECT_NE(owner.find(L"app_tests.exe ("), std::wstring::npos) << owner;
    EXPECT_EQ(keptDuringChoice, 3u);
    // The comparison is of the current root and the oldest: they first differ at byte 1.
    EXPECT_EQ(header, L"A: " + currentTitle + L"\r\nB: " + oldestTitle);
    EXPECT_EQ(changed, (std::vector<std::wstring>{L"変更", L"8", L"8", L"1", L"2"}));
    EXPECT_EQ(shownB.entry, oldest);
    EXPECT_EQ(shownB.begin, 1u);

    // With an entry of an earlier root selected (the oldest's, shown as B above), that root is A;
    // the next newer root starts selected.
    ASSERT_EQ(m_frame->GetLeftView().GetSelectedEntry(), oldest);
    std::wstring chooserHeader;
    ModalScript entryChooser([] { return ModalScript::FindDialog(L"比較する相手"); },
                             [&](HWND dialog) {
                                 wchar_t text[512] = {};
                                 ::GetDlgItemTextW(dialog, IDC_COMPARE_CHOOSE_HEADER, text, 512);
                                 chooserHeader = text;
                                 HWND list = ::GetDlgItem(dialog, IDC_COMPARE_CHOOSE_LIST);
                                 candidates = ListRows(list);
                                 preselected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
                                 ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                             });
    Command(ID_EDIT_COMPARE);
    ASSERT_TRUE(entryChooser.Ran());
    EXPECT_EQ(chooserHeader.rfind(L"A: " + oldestTitle + L"\r\n", 0), 0u) << chooserHeader;
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0].first, currentTitle);
    EXPECT_EQ(preselected, 2);
    EXPECT_EQ(candidates[2].first, middleTitle);

    // "ファイルを開く..." compares the same root with a snapshot file instead.
    const std::wstring saved = m_base / L"middle.kavilo";
    ASSERT_TRUE(m_app->GetDocument()->SaveKeptFile(saved, 1));
    fw::FileDialogAnswer answer(saved);
    ModalScript fileChooser([] { return ModalScript::FindDialog(L"比較する相手"); },
                            [&](HWND dialog) { Click(dialog, IDC_COMPARE_CHOOSE_FILE); });
    header.clear();
    changed.clear();
    ModalScript fileCompare([] { return ModalScript::FindDialog(L"比較"); },
                            [&](HWND dialog) {
                                wchar_t text[512] = {};
                                ::GetDlgItemTextW(dialog, IDC_COMPARE_HEADER, text, 512);
                                header = text;
                                ListView_GetItemText(::GetDlgItem(dialog, IDC_COMPARE_LIST), 0, 4, text, 512);
                                changed.push_back(text);
                                ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                            });
    SelectRoot(0);
    Command(ID_EDIT_COMPARE);
    ASSERT_TRUE(fileCompare.Ran());
    EXPECT_EQ(answer.Requests().size(), 1u);
    EXPECT_EQ(header.rfind(L"A: " + currentTitle + L"\r\nB: middle.kavilo", 0), 0u) << header;
    EXPECT_EQ(changed, std::vector<std::wstring>{L"2"});
}
