#include "capture/TempStore.h"

#include "capture/bytes/TempNames.h"
#include "framework/Handles.h"
#include "framework/MessageBox.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

#include <algorithm>
#include <cwctype>

using testing_support::DirectoryExists;
using testing_support::ExecutableFolder;
using testing_support::FileExists;
using testing_support::ListNames;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

namespace {

// tempstore_peer: a second instance sharing the base folder.
class Peer : public testing_support::PeerProcess {
public:
    Peer(const std::wstring& base, int files)
        : PeerProcess(L"tempstore_peer", L"\"" + base + L"\" " + std::to_wstring(files))
    {
    }
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

std::wstring NameOf(const std::wstring& path)
{
    return path.substr(path.find_last_of(L'\\') + 1);
}

}  // namespace

TEST(TempStore, WorkingFolderAndCheckFileUnderTheBase)
{
    ScratchDir base;
    CTempStore store;
    ASSERT_TRUE(store.InitTempFolder(base.Path()));
    EXPECT_EQ(store.m_tempFolder, base.Path() + L"\\{F60B5956-6986-4CEF-9737-34DAA74A5C1E}");
    EXPECT_EQ(store.m_checkFilePath, store.m_tempFolder + L"\\$ichk$.tmp");
    EXPECT_TRUE(FileExists(store.m_checkFilePath));
    // Held without delete sharing: nobody can delete it while the store is up.
    EXPECT_FALSE(::DeleteFileW(store.m_checkFilePath.c_str()));
    store.CleanUpTempFolder();
    EXPECT_FALSE(DirectoryExists(store.m_tempFolder));
}

TEST(TempStore, BaseWithOrWithoutTrailingBackslashGivesOneFolder)
{
    ScratchDir base;
    CTempStore a, b;
    ASSERT_TRUE(a.InitTempFolder(base.Path()));
    ASSERT_TRUE(b.InitTempFolder(base.Path() + L"\\"));
    EXPECT_EQ(a.m_tempFolder, b.m_tempFolder);
    b.CleanUpTempFolder();
    EXPECT_TRUE(DirectoryExists(a.m_tempFolder));  // `a` still holds the check file
    a.CleanUpTempFolder();
    EXPECT_FALSE(DirectoryExists(a.m_tempFolder));
}

TEST(TempStore, DataFilesAreNamedByTimeAndRandomDigits)
{
    ScratchDir base;
    CTempStore store;
    ASSERT_TRUE(store.InitTempFolder(base.Path()));
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    const std::wstring path = store.CreateTempFile();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(FileExists(path));
    const std::wstring name = NameOf(path);
    ASSERT_EQ(name.size(), 28u);
    EXPECT_EQ(path, JoinPath(store.m_tempFolder, name));
    EXPECT_EQ(name.substr(22), L".cvtmp");
    EXPECT_TRUE(std::all_of(name.begin(), name.begin() + 14, [](wchar_t c) { return c >= L'0' && c <= L'9'; }));
    EXPECT_TRUE(std::all_of(name.begin() + 14, name.begin() + 22,
                            [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }));
    EXPECT_EQ(name.substr(0, 4), std::to_wstring(before.wYear));
    // A second file is made beside the first, with random digits of its own (a constant
    // number would collide on every attempt within the same second).
    const std::wstring second = store.CreateTempFile();
    ASSERT_FALSE(second.empty());
    EXPECT_TRUE(FileExists(second));
    EXPECT_NE(NameOf(second).substr(14, 8), name.substr(14, 8));
    // The working folder is made again when it has vanished.
    ::DeleteFileW(path.c_str());
    ::DeleteFileW(second.c_str());
    store.CleanUpTempFolder();
    ASSERT_FALSE(DirectoryExists(store.m_tempFolder));
    EXPECT_FALSE(store.CreateTempFile().empty());
    EXPECT_TRUE(DirectoryExists(store.m_tempFolder));
}

TEST(TempStore, CreateTempFileGivesAnEmptyTextWhenNoFileCanBeMade)
{
    CTempStore store;
    store.m_tempFolder = L"Q:\\no\\such\\drive\\folder";
    EXPECT_EQ(store.CreateTempFile(), L"");
}

TEST(TempStore, CleanUpRemovesOnlyDataFilesAndKeepsAFolderWithOthers)
{
    ScratchDir base;
    CTempStore store;
    ASSERT_TRUE(store.InitTempFolder(base.Path()));
    const std::wstring data = store.CreateTempFile();
    // Left by a crashed instance: same pattern, made by hand.
    const std::wstring stale = JoinPath(store.m_tempFolder, L"20200101000000deadbeef.cvtmp");
    const std::wstring other = JoinPath(store.m_tempFolder, L"notes.txt");
    ASSERT_TRUE(WriteBytes(stale, {1}));
    ASSERT_TRUE(WriteBytes(other, {2}));
    store.CleanUpTempFolder();
    EXPECT_FALSE(FileExists(data));
    EXPECT_FALSE(FileExists(stale));
    EXPECT_TRUE(FileExists(other));
    EXPECT_TRUE(DirectoryExists(store.m_tempFolder));
    EXPECT_FALSE(store.IsReady());
    store.CleanUpTempFolder();  // a second call does nothing
    EXPECT_TRUE(FileExists(other));
}

// A store that was never set up (or was cleaned up already) holds no check file of its
// own: the folder it names, with another instance's check file and data, stays as it is.
TEST(TempStore, CleanUpWithoutSetUpDoesNothing)
{
    ScratchDir base;
    CTempStore store;
    store.m_tempFolder = base.Path();
    store.m_checkFilePath = JoinPath(base.Path(), L"$ichk$.tmp");
    const std::wstring data = JoinPath(base.Path(), L"20200101000000deadbeef.cvtmp");
    ASSERT_TRUE(WriteBytes(store.m_checkFilePath, {}));
    ASSERT_TRUE(WriteBytes(data, {1}));
    store.CleanUpTempFolder();
    EXPECT_TRUE(FileExists(store.m_checkFilePath));
    EXPECT_TRUE(FileExists(data));
}

TEST(TempStore, TwoProcessesTheFirstToExitLeavesTheOthersFiles)
{
    ScratchDir base;
    CTempStore mine;
    ASSERT_TRUE(mine.InitTempFolder(base.Path()));
    Peer peer(base.Path(), 2);
    ASSERT_TRUE(peer.WaitReady());
    const std::wstring myFile = mine.CreateTempFile();
    ASSERT_TRUE(WriteBytes(JoinPath(mine.m_tempFolder, L"keep.log"), {1}));
    ASSERT_EQ(ListNames(mine.m_tempFolder, L"*.cvtmp").size(), 3u);

    // This instance exits first: the peer still runs, so nothing is removed.
    mine.CleanUpTempFolder();
    EXPECT_EQ(ListNames(mine.m_tempFolder, L"*.cvtmp").size(), 3u);
    EXPECT_TRUE(FileExists(JoinPath(mine.m_tempFolder, L"$ichk$.tmp")));

    // The peer is the last: every data file goes, the other file and the folder stay.
    EXPECT_EQ(peer.Finish(), 0u);
    EXPECT_TRUE(ListNames(mine.m_tempFolder, L"*.cvtmp").empty());
    EXPECT_EQ(Sorted(ListNames(mine.m_tempFolder)), std::vector<std::wstring>{L"keep.log"});
}

TEST(TempStore, TwoProcessesThePeerExitsFirstAndTheLastRemovesTheFolder)
{
    ScratchDir base;
    CTempStore mine;
    ASSERT_TRUE(mine.InitTempFolder(base.Path()));
    Peer peer(base.Path(), 1);
    ASSERT_TRUE(peer.WaitReady());
    const std::wstring myFile = mine.CreateTempFile();
    ASSERT_EQ(peer.Finish(), 0u);
    // The peer left everything, its own file included.
    EXPECT_EQ(ListNames(mine.m_tempFolder, L"*.cvtmp").size(), 2u);
    EXPECT_TRUE(FileExists(myFile));
    mine.CleanUpTempFolder();
    EXPECT_FALSE(DirectoryExists(mine.m_tempFolder));
}

// An instance killed while it held the store's mutex leaves it abandoned: the next one
// still sets up and cleans up its folder.
TEST(TempStore, MutexAbandonedByAnExitedInstanceCountsAsAcquired)
{
    ScratchDir base;
    testing_support::PeerProcess peer(L"tempstore_peer", L"\"" + base.Path() + L"\" abandon");
    ASSERT_TRUE(peer.WaitReady());
    ASSERT_EQ(peer.Finish(), 0u);
    CTempStore mine;
    ASSERT_TRUE(mine.InitTempFolder(base.Path()));
    EXPECT_TRUE(FileExists(JoinPath(mine.m_tempFolder, L"$ichk$.tmp")));
    mine.CleanUpTempFolder();
    EXPECT_FALSE(DirectoryExists(mine.m_tempFolder));
    // The mutex was released: another thread takes it at once.
    std::thread other([] {
        fw::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kTempStoreId));
        const DWORD result = ::WaitForSingleObject(mutex.Get(), 0);
        EXPECT_EQ(result, WAIT_OBJECT_0);
        if (result == WAIT_OBJECT_0) ::ReleaseMutex(mutex.Get());
    });
    other.join();
}

TEST(TempStore, ConfiguredFolderThatDoesNotExistFallsBackWithAMessage)
{
    ScratchDir base;
    const std::wstring missing = base / L"missing";
    fw::MessageBoxRecorder boxes;
    CTempStore store;
    ASSERT_TRUE(SetUpTempStore(store, missing));
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::wstring>{
                  L"指定された場所に一時ファイルを作れません。\r\nWindowsのテンポラリフォルダを使用します。"});
    // Only the working folder is ever made, never the base folder itself.
    EXPECT_FALSE(DirectoryExists(missing));
    wchar_t system[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, system);
    EXPECT_EQ(store.m_tempFolder, JoinPath(system, L"{F60B5956-6986-4CEF-9737-34DAA74A5C1E}"));
    store.CleanUpTempFolder();
}

TEST(TempStore, ConfiguredFolderThatWorksIsUsedSilently)
{
    ScratchDir base;
    fw::MessageBoxRecorder boxes;
    CTempStore store;
    ASSERT_TRUE(SetUpTempStore(store, base.Path()));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(store.m_tempFolder, base / L"{F60B5956-6986-4CEF-9737-34DAA74A5C1E}");
    store.CleanUpTempFolder();
}

TEST(TempStore, NoUsableFolderAtAllFailsWithItsMessage)
{
    // GetTempPathW answers from TMP without checking that the folder exists.
    wchar_t savedTmp[MAX_PATH * 2] = {}, savedTemp[MAX_PATH * 2] = {};
    const DWORD hadTmp = ::GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH * 2);
    const DWORD hadTemp = ::GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH * 2);
    ::SetEnvironmentVariableW(L"TMP", L"Q:\\orvetta\\nowhere");
    ::SetEnvironmentVariableW(L"TEMP", L"Q:\\orvetta\\nowhere");
    fw::MessageBoxRecorder boxes;
    CTempStore store;
    const bool ok = SetUpTempStore(store, L"Q:\\orvetta\\configured");
    ::SetEnvironmentVariableW(L"TMP", hadTmp ? savedTmp : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", hadTemp ? savedTemp : nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::wstring>{
                  L"指定された場所に一時ファイルを作れません。\r\nWindowsのテンポラリフォルダを使用します。",
                  L"一時ファイルを作れません。"}));
    EXPECT_FALSE(store.IsReady());
}
