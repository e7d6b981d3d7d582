// The bound on a snapshot's entries: walks stop at it with a row that says what was left
// out, the capture goes on with the next format, and snapshot files over it are refused.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBDataCreateContext.h"
#include "capture/ContainerWalk.h"
#include "capture/SnapshotFile.h"
#include "tests/capture/SourceFixture.h"
#include "tests/capture/WalkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

class EntryBound : public SourceFixture {
protected:
    // The bound lowered to `entries` for the test.
    void Bound(uint64_t entries) { CaptureSettings().m_maxEntries = entries; }

    ScopedCaptureSettings m_settings{128};
};

size_t CountEntries(const CCBDataArray& snapshot)
{
    size_t count = snapshot.size();
    for (const auto& entry : snapshot)
        if (entry->m_children) count += CountEntries(*entry->m_children);
    return count;
}

std::vector<std::wstring> Missing(const ScratchDir& dir, int count)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i) paths.push_back(dir / (L"gone" + std::to_wstring(i)));
    return paths;
}

}  // namespace

TEST_F(EntryBound, DropListStopsAtTheBoundAndTheNextFormatsAreTaken)
{
    Bound(10);
    m_object->Offer(Fmt(CF_HDROP), GlobalMedium(DropFilesBytes(Missing(m_dir, 20), true)));
    m_object->Offer(Fmt(CF_HDROP, TYMED_HGLOBAL, DVASPECT_ICON),
                    GlobalMedium(DropFilesBytes(Missing(m_dir, 5), false)));
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'o', 0, 'k', 0, 0, 0}));
    TestProgress progress;
    const CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 3u);
    // Three top-level entries leave room for seven children.
    ASSERT_TRUE(snapshot[0]->m_children);
    EXPECT_EQ(snapshot[0]->m_children->size(), 7u);
    EXPECT_EQ(snapshot[0]->m_properties.back(),
              L"エラー\t項目の数が上限の10個に達したため、残りの13個を取り込みませんでした。");
    ASSERT_TRUE(snapshot[1]->m_children);
    EXPECT_TRUE(snapshot[1]->m_children->empty());
    EXPECT_EQ(snapshot[1]->m_properties.back(),
              L"エラー\t項目の数が上限の10個に達したため、残りの5個を取り込みませんでした。");
    EXPECT_EQ(Stored(*snapshot[2]), (std::vector<BYTE>{'o', 0, 'k', 0, 0, 0}));
    EXPECT_TRUE(snapshot[2]->m_properties.empty());
    EXPECT_EQ(CountEntries(snapshot), 10u);
    // Names past the bound are not even shown.
    EXPECT_EQ(std::count(progress.m_items.begin(), progress.m_items.end(), m_dir / L"gone7"), 0);
    EXPECT_TRUE(m_boxes.Texts().empty());
}

// Reached inside a sub-storage: its rest is counted and left out, and the containers of the
// outer level that were not entered yet stay unopened with a row of their own.
TEST_F(EntryBound, NestedWalkStopsThereAndLeavesLaterContainersUnopened)
{
    auto root = CreateCompoundFile(m_dir / L"a.stg");
    ASSERT_TRUE(root);
    {
        auto a = AddStorage(root.Get(), L"A");
        for (const wchar_t* name : {L"1", L"2", L"3", L"4", L"5"}) ASSERT_TRUE(AddStream(a.Get(), name, {1, 2}));
        auto b = AddStorage(root.Get(), L"B");
        ASSERT_TRUE(AddStream(b.Get(), L"1", {3}));
    }
    ASSERT_TRUE(AddStream(root.Get(), L"S", {4, 5, 6}));
    ASSERT_HRESULT_SUCCEEDED(root->Commit(STGC_DEFAULT));
    m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Storage"), TYMED_ISTORAGE), StorageMedium(root.Get()));
    // The top-level entry, A, B and S, then two of A's five streams.
    Bound(6);
    TestProgress progress;
    const CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 1u);
    const CCBData& top = *snapshot[0];
    ASSERT_TRUE(top.m_children);
    ASSERT_EQ(top.m_children->size(), 3u);
    const CCBData& a = *(*top.m_children)[0];
    const CCBData& b = *(*top.m_children)[1];
    EXPECT_EQ(a.m_name, L"A");
    ASSERT_TRUE(a.m_children);
    EXPECT_EQ(a.m_children->size(), 2u);
    EXPECT_EQ(b.m_name, L"B");
    EXPECT_FALSE(b.m_children);
    EXPECT_EQ(b.m_properties,
              std::vector<std::wstring>{L"エラー\t項目の数が上限の6個に達したため取得を中止しました。"});
    EXPECT_EQ(Stored(*(*top.m_children)[2]), (std::vector<BYTE>{4, 5, 6}));
    EXPECT_EQ(top.m_properties.back(), L"エラー\t項目の数が上限の6個に達したため、残りの3個を取り込みませんでした。");
    EXPECT_EQ(CountEntries(snapshot), 6u);
}

// An enumeration is counted on only as far as the bound: a source that never ends is no hang.
TEST_F(EntryBound, RestOfALongEnumerationIsCountedOnlyAsFarAsTheBound)
{
    FakeShellFolder* folder = FakeShellFolder::Create();
    for (int i = 0; i < 200; ++i) folder->m_items.push_back({L"item" + std::to_wstring(i), nullptr, nullptr});
    Bound(4);
    TestProgress progress;
    CCBDataCreateContext context;
    context.m_progress = &progress;
    context.m_entryCount = 1;
    auto entry = ImportShellFolder(&context, folder);
    folder->Release();
    ASSERT_TRUE(entry->m_children);
    EXPECT_EQ(entry->m_children->size(), 3u);
    EXPECT_EQ(context.GetEntryBoundText(),
              L"エラー\t項目の数が上限の4個に達したため、残りの4個以上を取り込みませんでした。");
}

TEST_F(EntryBound, SnapshotFileOverTheBoundIsRefusedBeforeAnythingIsCopied)
{
    m_object->Offer(Fmt(CF_HDROP), GlobalMedium(DropFilesBytes(Missing(m_dir, 3), true)));
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'o', 0, 'k', 0, 0, 0}));
    TestProgress capture;
    const CCBDataArray snapshot = CaptureAll(capture);
    ASSERT_EQ(CountEntries(snapshot), 5u);
    const std::wstring path = m_dir / L"five.kavilo";
    ASSERT_TRUE(SaveSnapshotFile(path, {L"five", {}, L"", L"paste", L""}, snapshot, capture).Done());

    Bound(4);
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    TestProgress refused;
    const SnapshotFileResult result = OpenSnapshotFile(path, info, opened, refused);
    EXPECT_EQ(result.status, SnapshotFileStatus::Failed);
    EXPECT_EQ(result.message, L"スナップショットを読み込めません。\r\nエントリが多すぎます（5個。上限は4個です）。");
    EXPECT_FALSE(opened);
    EXPECT_TRUE(refused.m_items.empty());  // no entry was read

    Bound(5);
    TestProgress accepted;
    ASSERT_TRUE(OpenSnapshotFile(path, info, opened, accepted).Done());
    EXPECT_EQ(CountEntries(*opened), 5u);
}
