// The clipboard's owner as the capture records it, shown as the root's rows and kept in
// snapshot files.
#include "capture/CBData.h"
#include "capture/ClipboardOwner.h"
#include "capture/SnapshotFile.h"
#include "tests/TestProgress.h"
#include "tests/capture/SourceFixture.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

TEST(ClipboardOwner, AWindowOfThisProcessAndOneThatIsGone)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    const CClipboardOwner owner = QueryWindowOwner(window);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(owner.image);
    EXPECT_TRUE(SamePath(*owner.image, self)) << owner.image->c_str();
    EXPECT_EQ(owner.pid, ::GetCurrentProcessId());
    ASSERT_TRUE(owner.windowClass);
    EXPECT_TRUE(SamePath(*owner.windowClass, L"Static")) << owner.windowClass->c_str();
    EXPECT_EQ(BuildOwnerRows(owner)[1], L"所有者のプロセス ID\t" + std::to_wstring(::GetCurrentProcessId()));

    // A window (and so a process) that has gone by the time it is asked: all unknown.
    ::DestroyWindow(window);
    const CClipboardOwner gone = QueryWindowOwner(window);
    EXPECT_EQ(gone, CClipboardOwner());
    EXPECT_EQ(BuildOwnerRows(gone), (std::vector<std::wstring>{L"所有者\t不明", L"所有者のプロセス ID\t不明",
                                                               L"所有者のウィンドウ クラス\t不明"}));

    // The clipboard opened by a window of ours makes it the owner once it empties it.
    window = ::CreateWindowExW(0, L"STATIC", L"owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(::OpenClipboard(window));
    ::EmptyClipboard();
    ::CloseClipboard();
    EXPECT_EQ(QueryClipboardOwner().pid, ::GetCurrentProcessId());
    ::DestroyWindow(window);
}

class SnapshotOwner : public SourceFixture {};

TEST_F(SnapshotOwner, FileKeepsTheOwnerAndItsUnknownParts)
{
    auto empty = std::make_shared<CCBDataArray>();
    for (const CClipboardOwner& owner :
         {CClipboardOwner{L"C:\\Program Files\\ソース\\writer.exe", 4242u, L"OleMainThreadWndClass"},
          CClipboardOwner{std::nullopt, 17u, std::nullopt}}) {
        CSnapshotInfo info;
        info.title = L"クリップボード#1";
        info.owner = owner;
        TestProgress progress;
        const std::wstring path = m_dir / L"owner.kavilo";
        ASSERT_TRUE(SaveSnapshotFile(path, info, *empty, progress).Done());
        CSnapshotInfo read;
        std::shared_ptr<CCBDataArray> opened;
        ASSERT_TRUE(OpenSnapshotFile(path, read, opened, progress).Done());
        EXPECT_EQ(read.owner, owner);
    }
    // A drop's snapshot has none, and reads back with none.
    CSnapshotInfo drop;
    drop.how = L"drop";
    TestProgress progress;
    ASSERT_TRUE(SaveSnapshotFile(m_dir / L"drop.kavilo", drop, *empty, progress).Done());
    CSnapshotInfo read;
    read.owner = CClipboardOwner{};
    std::shared_ptr<CCBDataArray> opened;
    ASSERT_TRUE(OpenSnapshotFile(m_dir / L"drop.kavilo", read, opened, progress).Done());
    EXPECT_FALSE(read.owner.has_value());
}
