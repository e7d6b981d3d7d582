#include "capture/SnapshotFile.h"
#include "tests/capture/SourceFixture.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class SnapshotFileBounds : public SourceFixture {};

}  // namespace

// A snapshot whose manifest would be larger than any reader takes is not saved: the save
// says why, and no file is left.
TEST_F(SnapshotFileBounds, AManifestTooLargeToOpenIsNotSaved)
{
    CCBDataArray snapshot;
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = Fmt(CF_TEXT);
    entry->m_properties.push_back(L"行\t" + std::wstring(size_t{64} << 20, L'a'));
    snapshot.push_back(entry);
    CSnapshotInfo info;
    info.title = L"big";
    const std::wstring path = m_dir / L"big.kavilo";
    TestProgress progress;
    const SnapshotFileResult saved = SaveSnapshotFile(path, info, snapshot, progress);
    EXPECT_EQ(saved.status, SnapshotFileStatus::Failed);
    EXPECT_NE(saved.message.find(L"マニフェストが大きすぎます（65 MiB。上限は64 MiBです）。"), std::wstring::npos)
        << saved.message.size();
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ListNames(m_dir.Path(), L"*.tmp").size(), 0u);
}
