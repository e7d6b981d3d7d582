// The floor of free space also holds for the copies made outside a capture: the streams of
// a snapshot file being opened, and replay's copies for its targets.
#include "capture/FreeSpaceGuard.h"
#include "capture/ReplayDataObject.h"
#include "capture/SnapshotFile.h"
#include "capture/TempStore.h"
#include "capture/bytes/FreeSpaceFloor.h"
#include "framework/Handles.h"
#include "tests/capture/SourceFixture.h"
#include "tests/capture/WalkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

// The temporary folder and the room its volume has above the floor, less what the folder
// gained since: the volume fills as the copies write.
std::wstring g_folder;
uint64_t g_room = 0, g_heldBefore = 0;

uint64_t Held()
{
    uint64_t held = 0;
    for (const std::wstring& name : ListNames(g_folder, L"*.cvtmp")) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (::GetFileAttributesExW((g_folder + L"\\" + name).c_str(), GetFileExInfoStandard, &data))
            held += uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    }
    return held;
}

bool FillingVolume(uint64_t& freeBytes, uint64_t& volumeBytes)
{
    volumeBytes = uint64_t{100} << 30;
    const uint64_t gained = Held() - std::min(Held(), g_heldBefore);
    freeBytes = FreeSpaceFloor(volumeBytes) + g_room - std::min(g_room, gained);
    return true;
}

// The volume with `room` above its floor, for the scope.
class ScopedRoom {
public:
    explicit ScopedRoom(uint64_t room) : m_real(SetFreeSpaceQuery(FillingVolume))
    {
        g_folder = TheTempStore().m_tempFolder;
        g_room = room;
        g_heldBefore = Held();
    }
    ~ScopedRoom() { SetFreeSpaceQuery(m_real); }

private:
    FreeSpaceQuery m_real;
};

class FreeSpaceCopies : public SourceFixture {
protected:
    // A snapshot of one 8 MiB entry offered as a file, taken with the real volume.
    std::shared_ptr<CCBDataArray> CaptureBig()
    {
        const std::wstring path = m_dir / L"big.bin";
        fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        const std::vector<uint8_t> bytes(8 << 20, 7);
        DWORD written = 0;
        ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        file.Reset();
        m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Big"), TYMED_FILE), FileMedium(path));
        TestProgress progress;
        return std::make_shared<CCBDataArray>(CaptureAll(progress));
    }
    size_t TempFiles() { return ListNames(m_store.Folder(), L"*.cvtmp").size(); }
};

}  // namespace

TEST_F(FreeSpaceCopies, OpeningASnapshotFileStopsAtTheFloorAndKeepsNothing)
{
    const std::shared_ptr<CCBDataArray> captured = CaptureBig();
    ASSERT_EQ(captured->size(), 1u);
    const std::wstring path = m_dir / L"big.kavilo";
    CSnapshotInfo info;
    info.title = L"big";
    TestProgress progress;
    ASSERT_TRUE(SaveSnapshotFile(path, info, *captured, progress).Done());
    const size_t before = TempFiles();

    std::shared_ptr<CCBDataArray> opened;
    {
        ScopedRoom room(4 << 20);
        const SnapshotFileResult read = OpenSnapshotFile(path, info, opened, progress);
        EXPECT_EQ(read.status, SnapshotFileStatus::Failed);
        EXPECT_EQ(read.message, std::wstring(L"スナップショットを読み込めません。\r\n") + kFreeSpaceFloorText);
    }
    EXPECT_FALSE(opened);
    EXPECT_EQ(TempFiles(), before);
    ScopedRoom room(64 << 20);
    ASSERT_TRUE(OpenSnapshotFile(path, info, opened, progress).Done());
    ASSERT_TRUE(opened);
    EXPECT_EQ(Stored(*opened->at(0)).size(), 8u << 20);
}

// A copy the replay would make in the temporary folder (a file medium, what a target
// wrote) is refused at the floor, and made again once there is room.
TEST_F(FreeSpaceCopies, ReplaysCopiesStopAtTheFloor)
{
    // A storage of one 8 MiB stream beside the file.
    auto root = CreateCompoundFile(m_dir / L"source.stg");
    ASSERT_TRUE(root);
    ASSERT_TRUE(AddStream(root.Get(), L"Big", std::vector<uint8_t>(8 << 20, 9)));
    root->Commit(STGC_DEFAULT);
    FORMATETC storage = Fmt(::RegisterClipboardFormatW(L"Orvetta Big Storage"), TYMED_ISTORAGE);
    m_object->Offer(storage, StorageMedium(root.Get()));
    const std::shared_ptr<CCBDataArray> captured = CaptureBig();
    auto replay = CReplayDataObject::ForSnapshot(captured);
    FORMATETC file = Fmt(::RegisterClipboardFormatW(L"Orvetta Big"), TYMED_FILE);
    CReplayWrite write{Fmt(CF_TEXT), TYMED_HGLOBAL, std::vector<BYTE>(16, 'x')};
    const size_t before = TempFiles();
    {
        ScopedRoom room(4 << 20);
        fw::StgMedium medium;
        EXPECT_EQ(replay->GetData(&file, &medium), STG_E_MEDIUMFULL);
        EXPECT_EQ(replay->GetData(&storage, &medium), STG_E_MEDIUMFULL);
        EXPECT_EQ(TempFiles(), before);
    }
    {
        ScopedRoom room(0);
        const std::shared_ptr<CCBData> written = MakeWriteBackEntry(write);
        EXPECT_EQ(written->m_properties, std::vector<std::wstring>{std::wstring(L"エラー\t") + kFreeSpaceFloorText});
        EXPECT_TRUE(written->m_tempFile.empty());
    }
    ScopedRoom room(64 << 20);
    {
        // The storage is made in the temporary folder and goes with its release.
        fw::StgMedium made;
        ASSERT_EQ(replay->GetData(&storage, &made), S_OK);
        EXPECT_EQ(TempFiles(), before + 1);
    }
    EXPECT_EQ(TempFiles(), before);
    fw::StgMedium medium;
    EXPECT_EQ(replay->GetData(&file, &medium), S_OK);
    EXPECT_EQ(Stored(*MakeWriteBackEntry(write)), std::vector<BYTE>(16, 'x'));
}
