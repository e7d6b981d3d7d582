// The history of snapshots and the clipboard watch in the window: limits, several roots,
// the earlier roots' rows, the watch's coalescing and its silence about our own replay.
#include "app/HistoryLimits.h"
#include "app/KaviloApp.h"
#include "app/WatchPacer.h"
#include "capture/CBData.h"
#include "capture/SnapshotFile.h"
#include "framework/FileDialog.h"
#include "framework/Profile.h"
#include "res/replay_resource.h"
#include "res/resource.h"
#include "res/watch_resource.h"
#include "tests/ControlReading.h"
#include "tests/ModalScript.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/app/AppFixture.h"
#include "viewers/HexViewDialog.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace testing_support;

TEST(HistoryLimits, CountAndBudget)
{
    EXPECT_EQ(KeptSnapshots(1, false), 1);
    EXPECT_EQ(KeptSnapshots(0, false), 1);
    EXPECT_EQ(KeptSnapshots(500, false), 100);
    EXPECT_EQ(KeptSnapshots(1, true), 20);  // watching keeps at least twenty
    EXPECT_EQ(KeptSnapshots(50, true), 50);

    EXPECT_EQ(SnapshotsOverLimits({}, 3, 100), 0u);
    EXPECT_EQ(SnapshotsOverLimits({1, 1, 1, 1, 1}, 3, 100), 2u);
    // The budget counts from the newest; the first that does not fit goes with all older.
    EXPECT_EQ(SnapshotsOverLimits({40, 40, 30, 1}, 10, 100), 2u);
    EXPECT_EQ(SnapshotsOverLimits({40, 60, 1}, 10, 100), 1u);  // exactly the budget fits
    // The newest stays even when it alone is over the budget.
    EXPECT_EQ(SnapshotsOverLimits({500, 1}, 10, 100), 1u);
    EXPECT_EQ(SnapshotsOverLimits({UINT64_MAX, UINT64_MAX}, 10, UINT64_MAX), 1u);
}

TEST(WatchPacer, SettlesCoalescesAndKeepsAGap)
{
    CWatchPacer pacer;
    EXPECT_FALSE(pacer.Due(0));
    EXPECT_EQ(pacer.Wait(0), UINT64_MAX);
    // A writer setting its formats one by one: one snapshot after it is quiet.
    pacer.Changed(1000);
    pacer.Changed(1020);
    pacer.Changed(1040);
    EXPECT_FALSE(pacer.Due(1100));
    EXPECT_EQ(pacer.Wait(1100), 1040 + CWatchPacer::kSettle - 1100);
    EXPECT_TRUE(pacer.Due(1040 + CWatchPacer::kSettle));
    EXPECT_EQ(pacer.Start(1200), 3u);
    EXPECT_FALSE(pacer.Due(5000));  // nothing pending while the snapshot runs
    pacer.Changed(1250);            // during the snapshot: stays for the next
    pacer.Finished(1300);
    // Quiet since 1250, but the gap after the last snapshot holds it back.
    EXPECT_FALSE(pacer.Due(1450));
    EXPECT_TRUE(pacer.Due(1300 + CWatchPacer::kGap));
    EXPECT_EQ(pacer.Start(1600), 1u);
    pacer.Finished(1600);

    // A program in a loop: a change every millisecond never quiets, yet snapshots follow
    // at the longest wait, a few a second.
    uint64_t snapshots = 0;
    for (uint64_t now = 2000; now < 12000; ++now) {
        pacer.Changed(now);
        if (pacer.Due(now)) {
            pacer.Start(now);
            pacer.Finished(now + 50);
            ++snapshots;
        }
    }
    EXPECT_GE(snapshots, 9u);
    EXPECT_LE(snapshots, 11u);
    EXPECT_EQ(pacer.Changes(), 4u + 10000u);
    EXPECT_EQ(pacer.Skipped(), pacer.Changes() - pacer.Snapshots());
    EXPECT_EQ(pacer.Snapshots(), 2u + snapshots);

    // Our own replay is neither a snapshot nor a skipped change.
    CWatchPacer own;
    own.Changed(0);
    own.Drop();
    EXPECT_FALSE(own.Pending());
    EXPECT_EQ(own.Changes(), 0u);
    EXPECT_EQ(own.Skipped(), 0u);
}

namespace {

class HistoryWatch : public AppFixture {
protected:
    std::vector<std::wstring> Roots()
    {
        std::vector<std::wstring> titles;
        HWND tree = m_frame->GetLeftView().GetSafeHwnd();
        for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextSibling(tree, item)) {
            titles.push_back(TreeItemText(tree, item));
        }
        return titles;
    }
    // Puts an object of ours offering one block of `size` bytes of `fill` on the clipboard.
    void Put(uint8_t fill, size_t size = 4)
    {
        TestDataObject* object = TestDataObject::Create();
        object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta History")),
                      GlobalMedium(std::vector<uint8_t>(size, fill)));
        ASSERT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
    }
    std::wstring Title() { return L"クリップボード#" + std::to_wstring(::GetClipboardSequenceNumber()); }
    HWND PropertyList() { return ::GetDlgItem(m_frame->GetKaviloView().GetPropertyPage().GetSafeHwnd(), 1005); }
};

}  // namespace

TEST_F(HistoryWatch, ByDefaultACaptureReplacesTheSnapshot)
{
    Put(1);
    Command(ID_EDIT_PASTE);
    const std::wstring first = (*m_app->GetDocument()->GetSnapshot())[0]->m_tempFile;
    Put(2);
    Command(ID_EDIT_PASTE);
    EXPECT_EQ(Roots(), std::vector<std::wstring>{Title()});
    EXPECT_TRUE(m_app->GetDocument()->GetKeptSnapshots().empty());
    EXPECT_EQ(::GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HistoryWatch, SeveralRootsNewestFirstWithinTheCountAndTheBudget)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"KeptSnapshots", 3));
    std::vector<std::wstring> titles, files;
    for (uint8_t i = 1; i <= 4; ++i) {
        Put(i);
        Command(ID_EDIT_PASTE);
        titles.insert(titles.begin(), Title());
        files.push_back((*m_app->GetDocument()->GetSnapshot())[0]->m_tempFile);
    }
    // The oldest went, with its file.
    EXPECT_EQ(Roots(), std::vector<std::wstring>(titles.begin(), titles.begin() + 3));
    EXPECT_EQ(::GetFileAttributesW(files[0].c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(files[1].c_str()), INVALID_FILE_ATTRIBUTES);

    // An earlier root shows its own formats and owner; an entry under it shows as any entry.
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    HTREEITEM second = TreeView_GetNextSibling(tree, TreeView_GetRoot(tree));
    TreeView_SelectItem(tree, second);
    PumpPending();
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedKept(), 0);
    auto rows = ListRows(PropertyList());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].second, L"\"Orvetta History\"");
    EXPECT_EQ(rows[2], std::make_pair(std::wstring(L"所有者のプロセス ID"), std::to_wstring(::GetCurrentProcessId())));
    TreeView_SelectItem(tree, TreeView_GetChild(tree, second));
    PumpPending();
    EXPECT_EQ(m_frame->GetLeftView().GetSelectedEntry(),
              (*m_app->GetDocument()->GetKeptSnapshots()[0].snapshot)[0].get());
    {
        // Save As with that entry selected offers its own snapshot's title.
        fw::FileDialogAnswer answer(m_base / L"entry.kavilo");
        Command(ID_FILE_SAVE_AS);
        ASSERT_EQ(answer.Requests().size(), 1u);
        EXPECT_EQ(answer.Requests()[0].fileName, titles[1] + L".kavilo");
    }

    // An earlier root saves as it was taken, under its own title and owner.
    const std::wstring saved = m_base / L"earlier.kavilo";
    ASSERT_TRUE(m_app->GetDocument()->SaveKeptFile(saved, 0));
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    TestProgress progress;
    ASSERT_TRUE(OpenSnapshotFile(saved, info, opened, progress).Done());
    EXPECT_EQ(info.title, titles[1]);
    ASSERT_TRUE(info.owner);
    EXPECT_EQ(info.owner->pid, ::GetCurrentProcessId());
    ASSERT_EQ(opened->size(), 1u);
    EXPECT_EQ((*opened)[0]->m_dataSize, 4u);

    // Removing an earlier root (here from an entry under it) lets go of its files; the views
    // are rebuilt first.
    TreeView_SelectItem(tree, TreeView_GetChild(tree, second));
    PumpPending();
    Command(ID_EDIT_REMOVE_SNAPSHOT);
    EXPECT_EQ(Roots(), (std::vector<std::wstring>{titles[0], titles[2]}));
    EXPECT_EQ(::GetFileAttributesW(files[2].c_str()), INVALID_FILE_ATTRIBUTES);

    // A byte budget of 1 MiB: two snapshots of 600 KiB do not fit together.
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"HistoryBudgetMB", 1));
    Put(5, 600 << 10);
    Command(ID_EDIT_PASTE);
    EXPECT_EQ(Roots().size(), 3u);  // 600 KiB and the two of 4 bytes fit
    Put(6, 600 << 10);
    Command(ID_EDIT_PASTE);
    EXPECT_EQ(Roots(), std::vector<std::wstring>{Title()});
}

TEST_F(HistoryWatch, WatchTakesChangesButNotOurOwnReplayAndStops)
{
    Command(ID_EDIT_WATCH);
    ASSERT_TRUE(m_frame->IsWatching());
    EXPECT_TRUE(::GetMenuState(::GetMenu(m_frame->GetSafeHwnd()), ID_EDIT_WATCH, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(m_frame->GetToolBar().IsChecked(ID_EDIT_WATCH));

    Put(1);
    const std::wstring first = Title();
    PumpMessagesFor(1500);
    ASSERT_EQ(Roots(), std::vector<std::wstring>{first});
    // A burst: coalesced into far fewer snapshots, and watching keeps twenty.
    for (uint8_t i = 0; i < 30; ++i) Put(i);
    const std::wstring last = Title();
    PumpMessagesFor(2500);
    const std::vector<std::wstring> roots = Roots();
    ASSERT_GE(roots.size(), 2u);
    EXPECT_LE(roots.size(), 6u);
    EXPECT_EQ(roots.front(), last);
    EXPECT_EQ(roots.back(), first);
    EXPECT_GT(m_frame->GetWatchPacer().Skipped(), 20u);

    // Our own replay on the clipboard is no new snapshot.
    Command(ID_EDIT_REPLAY);
    PumpMessagesFor(1500);
    EXPECT_EQ(Roots(), roots);

    Command(ID_EDIT_WATCH);
    EXPECT_FALSE(m_frame->IsWatching());
    EXPECT_FALSE(m_frame->GetToolBar().IsChecked(ID_EDIT_WATCH));
    Put(99);
    PumpMessagesFor(800);
    EXPECT_EQ(Roots(), roots);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(HistoryWatch, ListOnlyWatchTakesTheFormatsAndTheOwnerWithoutData)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"WatchListOnly", 1));
    m_frame->SetWatching(true);
    Put(7);
    PumpMessagesFor(1500);
    ASSERT_TRUE(m_app->GetDocument()->GetSnapshot());
    EXPECT_TRUE(m_app->GetDocument()->GetSnapshot()->empty());
    EXPECT_EQ(m_app->GetDocument()->GetOfferedFormats(), std::vector<std::wstring>{L"\"Orvetta History\""});
    ASSERT_TRUE(m_app->GetDocument()->GetOwner());
    EXPECT_EQ(m_app->GetDocument()->GetOwner()->pid, ::GetCurrentProcessId());
    m_frame->SetWatching(false);
}

TEST_F(HistoryWatch, CompareListsTheEarlierRootAgainstTheNextNewerOne)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"KeptSnapshots", 2));
    Command(ID_EDIT_COMPARE);  // nothing to compare with yet
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"比較するスナップショットがありません。"});
    Put(1, 8);
    Command(ID_EDIT_PASTE);
    const CCBData* entryA = (*m_app->GetDocument()->GetSnapshot())[0].get();
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta History")), GlobalMedium({1, 1, 1, 1, 1, 1, 1, 2}));
    object->Offer(Fmt(CF_TEXT), GlobalMedium({'x', 0}));
    ASSERT_EQ(SetOleClipboard(object), S_OK);
    object->Release();
    Command(ID_EDIT_PASTE);
    const CCBData* entryB = (*m_app->GetDocument()->GetSnapshot())[0].get();

    std::vector<std::pair<std::wstring, std::wstring>> rows;
    std::vector<std::wstring> changed;
    // Each side shown behind the open dialog: the tree's entry and the HEX page's selection.
    struct Shown {
        const CCBData* entry = nullptr;
        uint64_t begin = 0, end = 0;
        bool open = false;
    };
    std::vector<Shown> shown;
    const auto record = [&](HWND dialog) {
        Shown at{m_frame->GetLeftView().GetSelectedEntry()};
        if (auto* hex = dynamic_cast<CHexViewDialog*>(m_frame->GetKaviloView().GetActivePage())) {
            at.begin = hex->GetHexView().GetSelectedByteRange().begin;
            at.end = hex->GetHexView().GetSelectedByteRange().end;
        }
        at.open = ::IsWindowVisible(dialog) != FALSE;
        shown.push_back(at);
    };
    ModalScript script([] { return ModalScript::FindDialog(L"比較"); },
                       [&](HWND dialog) {
                           HWND list = ::GetDlgItem(dialog, IDC_COMPARE_LIST);
                           rows = ListRows(list);
                           wchar_t text[64] = {};
                           for (int column = 2; column < 6; ++column) {
                               ListView_GetItemText(list, 0, column, text, 64);
                               changed.push_back(text);
                           }
                           // Enter shows A of the changed pair, the other button B.
                           ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                           record(dialog);
                           ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_COMPARE_SHOW_B, BN_CLICKED),
                                          reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDC_COMPARE_SHOW_B)));
                           record(dialog);
                           ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                       });
    // The earlier root selected: compared with the current one.
    HWND tree = m_frame->GetLeftView().GetSafeHwnd();
    TreeView_SelectItem(tree, TreeView_GetNextSibling(tree, TreeView_GetRoot(tree)));
    PumpPending();
    Command(ID_EDIT_COMPARE);
    EXPECT_TRUE(script.Ran());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], std::make_pair(std::wstring(L"\"Orvetta History\""), std::wstring(L"変更")));
    EXPECT_EQ(changed, (std::vector<std::wstring>{L"8", L"8", L"7", L"1"}));  // the last byte
    EXPECT_EQ(rows[1], std::make_pair(std::wstring(L"CF_TEXT"), std::wstring(L"B のみ")));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].entry, entryA);
    EXPECT_EQ(shown[1].entry, entryB);
    for (const Shown& side : shown) {
        EXPECT_EQ(side.begin, 7u);
        EXPECT_EQ(side.end, 8u);
        EXPECT_TRUE(side.open);
    }

    // B read from a file for the comparison only: in no tree, so only A can be shown.
    const std::wstring saved = m_base / L"compared.kavilo";
    ASSERT_TRUE(m_app->GetDocument()->SaveKeptFile(saved, 0));
    bool enabledA = false, enabledB = true;
    std::wstring header;
    ModalScript fileScript([] { return ModalScript::FindDialog(L"比較"); },
                           [&](HWND dialog) {
                               enabledA = ::IsWindowEnabled(::GetDlgItem(dialog, IDC_COMPARE_SHOW_A)) != FALSE;
                               enabledB = ::IsWindowEnabled(::GetDlgItem(dialog, IDC_COMPARE_SHOW_B)) != FALSE;
                               wchar_t text[512] = {};
                               ::GetDlgItemTextW(dialog, IDC_COMPARE_HEADER, text, 512);
                               header = text;
                               ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                           });
    EXPECT_TRUE(m_app->GetDocument()->CompareRoot(-1, saved, m_frame->ShowEntryInHex()));
    EXPECT_TRUE(fileScript.Ran());
    EXPECT_TRUE(enabledA);
    EXPECT_FALSE(enabledB);
    EXPECT_NE(header.find(L"HEX で表示できるのは A だけです"), std::wstring::npos);
}
