#include "capture/MediumImport.h"

#include "capture/FreeSpaceGuard.h"
#include "capture/bytes/FreeSpaceFloor.h"
#include "framework/OleDataObject.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/TestTempStore.h"
#include "tests/capture/SourceFixture.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace testing_support;

namespace {

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 31) ^ (i >> 8));
    return bytes;
}

std::vector<uint8_t> FileBytes(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return bytes;
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(file.Get(), &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty()) ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    return bytes;
}

class MediumImport : public SourceFixture {
protected:
    void SetUp() override
    {
        SourceFixture::SetUp();
        m_context.m_source = &m_source;
        m_context.m_progress = &m_progress;
    }
    std::shared_ptr<CCBData> Import(const FORMATETC& fmt, MediumMaker maker)
    {
        m_object->Offer(fmt, std::move(maker));
        return ImportMedium(&m_context, fmt);
    }

    TestProgress m_progress;
    CCBDataCreateContext m_context;
};

}  // namespace

TEST_F(MediumImport, GlobalMemoryIsCopiedExactly)
{
    const auto bytes = Pattern(5000);
    const FORMATETC fmt = Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_CONTENT, 2);
    auto entry = Import(fmt, GlobalMedium(bytes));
    EXPECT_TRUE(entry->m_properties.empty());
    EXPECT_EQ(entry->m_realTymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_GE(entry->m_dataSize, bytes.size());  // GlobalSize may round up
    auto stored = FileBytes(entry->m_tempFile);
    ASSERT_EQ(stored.size(), entry->m_dataSize);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), stored.begin()));
    EXPECT_EQ(entry->m_fmt.lindex, 2);
    EXPECT_EQ(entry->m_type, L"");
    EXPECT_EQ(entry->m_treeIcon, 1);
}

TEST_F(MediumImport, RefusedDescriptionIsAskedAgainWithEveryMedium)
{
    const FORMATETC fmt = Fmt(CF_UNICODETEXT, TYMED_ISTREAM);
    auto entry = Import(fmt, OnlyAllMedia(GlobalMedium({1, 2, 3, 4})));
    ASSERT_EQ(m_object->Requests().size(), 2u);
    EXPECT_EQ(m_object->Requests()[0].tymed, static_cast<DWORD>(TYMED_ISTREAM));
    EXPECT_EQ(m_object->Requests()[1].tymed, 0x7Fu);
    // The entry shows what was offered and what came.
    EXPECT_EQ(entry->m_fmt.tymed, static_cast<DWORD>(TYMED_ISTREAM));
    EXPECT_EQ(entry->m_realTymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_TRUE(entry->m_properties.empty());
    EXPECT_TRUE(entry->HasData());
}

TEST_F(MediumImport, NoDataOrNoMediumGivesTheGetDataRow)
{
    const std::vector<std::wstring> row = {L"エラー\tデータを取得できません（COleDataObject::GetData()）"};
    auto failed = Import(Fmt(CF_TEXT), FailingMedium());
    EXPECT_EQ(failed->m_properties, row);
    EXPECT_EQ(failed->m_realTymed, 0u);
    EXPECT_EQ(failed->m_fmt.cfFormat, CF_TEXT);
    EXPECT_FALSE(failed->HasData());
    auto null = Import(Fmt(CF_OEMTEXT), TymedMedium(TYMED_NULL));
    EXPECT_EQ(null->m_properties, row);
    EXPECT_EQ(null->m_fmt.cfFormat, CF_OEMTEXT);
}

TEST_F(MediumImport, UnknownMediumIsNamedAndRecorded)
{
    auto entry = Import(Fmt(CF_TEXT, 0x80), TymedMedium(0x80));
    EXPECT_EQ(entry->m_properties, std::vector<std::wstring>{L"エラー\t対応していないtymedです。"});
    EXPECT_EQ(entry->m_realTymed, 0x80u);
}

TEST_F(MediumImport, SeveralMediumBitsAreImportedByTheLowestSupported)
{
    const auto bytes = Pattern(100);
    auto entry = Import(Fmt(CF_TEXT, TYMED_ISTREAM), [&](const FORMATETC& asked, STGMEDIUM* medium) {
        HRESULT hr = StreamMedium(bytes)(asked, medium);
        medium->tymed = TYMED_ISTREAM | TYMED_GDI | TYMED_ENHMF | 0x100;
        return hr;
    });
    EXPECT_EQ(entry->m_type, L"IStream");
    EXPECT_EQ(entry->m_realTymed, static_cast<DWORD>(TYMED_ISTREAM | TYMED_GDI | TYMED_ENHMF | 0x100));
    EXPECT_EQ(FileBytes(entry->m_tempFile), bytes);
}

TEST_F(MediumImport, NullGlobalAndEmptyGlobal)
{
    auto null = Import(Fmt(CF_TEXT), NullGlobalMedium());
    EXPECT_EQ(null->m_properties, std::vector<std::wstring>{L"エラー\tデータを取得できません（HGLOBAL=NULL）。"});
    EXPECT_EQ(null->m_realTymed, static_cast<DWORD>(TYMED_HGLOBAL));

    // A fixed block of no bytes can be locked: an empty file, kept, and no row. (Wine
    // reports one byte for such a block; the size counted is whatever GlobalSize says.)
    SIZE_T reported = 99;
    auto empty = Import(Fmt(CF_UNICODETEXT), [&reported](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 0);
        reported = ::GlobalSize(medium->hGlobal);
        return S_OK;
    });
    EXPECT_TRUE(empty->m_properties.empty());
    EXPECT_EQ(empty->m_dataSize, reported);
    ASSERT_FALSE(empty->m_tempFile.empty());
    EXPECT_TRUE(FileExists(empty->m_tempFile));
    EXPECT_EQ(FileBytes(empty->m_tempFile).size(), reported);
}

TEST_F(MediumImport, StreamIsCopiedFromItsFirstByteWhereverTheSourceLeftIt)
{
    const auto bytes = Pattern(0x100001);  // 1 MiB + 1: two steps
    auto entry = Import(Fmt(CF_DIB, TYMED_ISTREAM), StreamMedium(bytes));
    EXPECT_TRUE(entry->m_properties.empty());
    EXPECT_EQ(entry->m_type, L"IStream");
    EXPECT_EQ(entry->m_dataSize, bytes.size());
    EXPECT_EQ(FileBytes(entry->m_tempFile), bytes);
}

TEST_F(MediumImport, FaultyStreams)
{
    auto nullStream = Import(Fmt(CF_TEXT, TYMED_ISTREAM), CustomStreamMedium([] { return nullptr; }));
    EXPECT_EQ(nullStream->m_properties,
              std::vector<std::wstring>{L"エラー\tデータを取得できません（IStream*がNULL）。"});
    EXPECT_EQ(nullStream->m_type, L"IStream");

    auto noStat =
        Import(Fmt(CF_OEMTEXT, TYMED_ISTREAM), CustomStreamMedium([] { return CreateFaultyStream(10, 10, true); }));
    EXPECT_EQ(noStat->m_properties, std::vector<std::wstring>{L"エラー\tストリームのサイズを取得できません。"});

    // Claims 3 MiB, delivers 1.5 MiB: the size stays as measured, the partial file goes.
    auto shortRead = Import(Fmt(CF_UNICODETEXT, TYMED_ISTREAM),
                            CustomStreamMedium([] { return CreateFaultyStream(3 << 20, 3 << 19, false); }));
    EXPECT_EQ(shortRead->m_properties,
              std::vector<std::wstring>{L"エラー\tストリームを一時ファイルにコピーできません。"});
    EXPECT_EQ(shortRead->m_dataSize, 3u << 20);
    EXPECT_TRUE(shortRead->m_tempFile.empty());
    EXPECT_TRUE(ListNames(m_store.Folder(), L"*.cvtmp").empty());
}

TEST_F(MediumImport, DiskFileIsCopiedAndAMissingOneIsRecorded)
{
    ScratchDir dir;
    const auto bytes = Pattern(70000);
    ASSERT_TRUE(WriteBytes(dir / L"source.bin", bytes));
    auto entry = Import(Fmt(CF_TEXT, TYMED_FILE), FileMedium(dir / L"source.bin"));
    EXPECT_TRUE(entry->m_properties.empty());
    EXPECT_EQ(entry->m_type, L"ディスクファイル");
    EXPECT_EQ(entry->m_realTymed, static_cast<DWORD>(TYMED_FILE));
    EXPECT_EQ(entry->m_name, L"");  // the source's name is not kept
    EXPECT_EQ(FileBytes(entry->m_tempFile), bytes);

    auto missing = Import(Fmt(CF_OEMTEXT, TYMED_FILE), FileMedium(dir / L"missing.bin"));
    EXPECT_EQ(missing->m_properties, std::vector<std::wstring>{L"エラー\tファイルを取り込めません。"});
    EXPECT_EQ(missing->m_type, L"ディスクファイル");
    EXPECT_TRUE(missing->m_tempFile.empty());

    // A source that names any file and gives no release object: the file is read, never deleted.
    auto named = Import(Fmt(CF_UNICODETEXT, TYMED_FILE), [&dir](const FORMATETC& asked, STGMEDIUM* medium) {
        const HRESULT hr = FileMedium(dir / L"source.bin")(asked, medium);
        medium->pUnkForRelease = nullptr;
        return hr;
    });
    EXPECT_EQ(FileBytes(named->m_tempFile), bytes);
    EXPECT_EQ(FileBytes(dir / L"source.bin"), bytes);
}

TEST_F(MediumImport, StopDuringACopyKeepsTheSizeAndDropsTheFile)
{
    // The copies find the stop at their first step.
    m_progress.m_stop = TRUE;
    auto global = Import(Fmt(CF_TEXT), GlobalMedium(Pattern(3 << 20)));
    EXPECT_EQ(global->m_properties, std::vector<std::wstring>{L"エラー\t一時ファイルに書き込めません。"});
    EXPECT_GE(global->m_dataSize, 3u << 20);
    EXPECT_TRUE(global->m_tempFile.empty());

    auto stream = Import(Fmt(CF_OEMTEXT, TYMED_ISTREAM), StreamMedium(Pattern(100)));
    EXPECT_EQ(stream->m_properties, std::vector<std::wstring>{L"エラー\tストリームを一時ファイルにコピーできません。"});
    EXPECT_EQ(stream->m_dataSize, 100u);

    ScratchDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"f.bin", Pattern(10)));
    auto file = Import(Fmt(CF_UNICODETEXT, TYMED_FILE), FileMedium(dir / L"f.bin"));
    EXPECT_EQ(file->m_properties, std::vector<std::wstring>{L"エラー\t一時ファイルに書き込めませんでした。"});
    EXPECT_TRUE(ListNames(m_store.Folder(), L"*.cvtmp").empty());
}

TEST_F(MediumImport, NoTemporaryFileMeansAWriteErrorForEveryCopy)
{
    const std::wstring folder = TheTempStore().m_tempFolder;
    TheTempStore().m_tempFolder = L"Q:\\no\\such\\folder";
    ScratchDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"f.bin", Pattern(10)));
    auto global = Import(Fmt(CF_TEXT), GlobalMedium(Pattern(10)));
    auto stream = Import(Fmt(CF_OEMTEXT, TYMED_ISTREAM), StreamMedium(Pattern(10)));
    auto file = Import(Fmt(CF_UNICODETEXT, TYMED_FILE), FileMedium(dir / L"f.bin"));
    TheTempStore().m_tempFolder = folder;
    for (const auto& entry : {global, stream, file}) {
        EXPECT_EQ(entry->m_properties, std::vector<std::wstring>{L"エラー\t一時ファイルに書き込めません。"});
        EXPECT_TRUE(entry->m_tempFile.empty());
        EXPECT_FALSE(entry->HasData());
    }
    EXPECT_EQ(file->m_dataSize, 10u);
}

namespace {

std::wstring g_watchedFolder;

// A volume of 100 GiB with 5 MiB free above its floor (5 GiB) less what the temporary
// folder holds: it fills as the copies write.
bool NearlyFullVolume(uint64_t& freeBytes, uint64_t& volumeBytes)
{
    uint64_t held = 0;
    for (const std::wstring& name : ListNames(g_watchedFolder, L"*.cvtmp")) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (::GetFileAttributesExW((g_watchedFolder + L"\\" + name).c_str(), GetFileExInfoStandard, &data))
            held += uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    }
    volumeBytes = uint64_t{100} << 30;
    freeBytes = FreeSpaceFloor(volumeBytes) + (5 << 20) - held;
    return true;
}

}  // namespace

TEST_F(MediumImport, CopiesStopAtTheFloorOfFreeSpace)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"big.bin", Pattern(8 << 20)));
    g_watchedFolder = m_store.Folder();
    const FreeSpaceQuery real = SetFreeSpaceQuery(NearlyFullVolume);
    auto small = Import(Fmt(CF_DIB, TYMED_ISTREAM), StreamMedium(Pattern(3 << 20)));
    // A stream whose size the source states (and which delivers it), a file, global memory.
    auto stream = Import(Fmt(CF_TEXT, TYMED_ISTREAM),
                         CustomStreamMedium([] { return CreateFaultyStream(64 << 20, 64 << 20, false); }));
    auto file = Import(Fmt(CF_OEMTEXT, TYMED_FILE), FileMedium(dir / L"big.bin"));
    auto global = Import(Fmt(CF_UNICODETEXT), GlobalMedium(Pattern(8 << 20)));
    SetFreeSpaceQuery(real);

    EXPECT_TRUE(small->m_properties.empty());
    EXPECT_EQ(small->m_dataSize, 3u << 20);
    for (const auto& entry : {stream, file, global}) {
        EXPECT_EQ(entry->m_properties,
                  std::vector<std::wstring>{
                      L"エラー\t一時フォルダのドライブの空き容量が残り少ないため、コピーを中止しました。"});
        EXPECT_TRUE(entry->m_tempFile.empty());
    }
    EXPECT_EQ(ListNames(m_store.Folder(), L"*.cvtmp").size(), 1u);  // the small one's
}

TEST_F(MediumImport, MakeErrorEntryHoldsOnlyItsRow)
{
    auto entry = MakeErrorEntry(L"ファイルがありません。");
    EXPECT_EQ(entry->m_properties, std::vector<std::wstring>{L"エラー\tファイルがありません。"});
    EXPECT_EQ(entry->m_dataSize, 0u);
    EXPECT_TRUE(entry->m_tempFile.empty());
    EXPECT_EQ(entry->m_fmt.lindex, -1);
}
