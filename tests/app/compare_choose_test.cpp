// The comparison in the window: a pair whose one side is the other's beginning, and the
// choice of the snapshot to compare with among the history's roots.
#include "app/KaviloApp.h"
#include "capture/CBData.h"
#include "framework/Profile.h"
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
    // Captures an object of ours offering one block of `size` bytes of `fill`; returns its entry.
    const CCBData* Capture(uint8_t fill, size_t size)
    {
        TestDataObject* object = TestDataObject::Create();
        object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Compare")),
                      GlobalMedium(std::vector<uint8_t>(size, fill)));
        EXPECT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
        Command(ID_EDIT_PASTE);
        return (*m_app->GetDocument()->GetSnapshot())[0].get();
    }
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
    const CCBData* shorter = Capture(1, 8);
    const CCBData* longer = Capture(1, 20);
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
