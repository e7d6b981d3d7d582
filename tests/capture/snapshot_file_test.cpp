// Snapshot files written and read back through Wine's structured storage: every kind of
// entry returns with its rows, bytes and pictures; files that do not match their manifest,
// stops and failed writes leave nothing behind.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBDataCreateContext.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/CBData_HENHMF.h"
#include "capture/CBData_HMETAFILEPICT.h"
#include "capture/SnapshotFile.h"
#include "capture/bytes/SnapshotManifest.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/TestTempStore.h"
#include "tests/capture/SourceFixture.h"
#include "tests/capture/WalkTestSupport.h"
#include "viewers/PropertyRows.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <functional>

using namespace testing_support;

namespace {

std::vector<uint8_t> Bytes(size_t size, uint8_t seed = 1)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

// A 2 x 2, 24-bit DIB.
std::vector<uint8_t> SmallDib()
{
    std::vector<uint8_t> dib(40 + 16, 0x80);
    const int32_t header[] = {40, 2, 2};
    std::memcpy(dib.data(), header, sizeof header);
    dib[12] = 1, dib[13] = 0, dib[14] = 24, dib[15] = 0;
    std::memset(dib.data() + 16, 0, 24);
    return dib;
}

// The rows of a bitmap as 32-bit pixels, to compare pictures.
std::vector<uint8_t> Pixels(HBITMAP bitmap)
{
    BITMAP bm = {};
    ::GetObjectW(bitmap, sizeof bm, &bm);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight * 4);
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::GetDIBits(dc, bitmap, 0, bm.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteDC(dc);
    return pixels;
}

std::vector<uint8_t> EmfBits(HENHMETAFILE emf)
{
    std::vector<uint8_t> bits(::GetEnhMetaFileBits(emf, 0, nullptr));
    ::GetEnhMetaFileBits(emf, static_cast<UINT>(bits.size()), bits.data());
    return bits;
}

std::vector<uint8_t> WmfBits(HMETAFILE wmf)
{
    std::vector<uint8_t> bits(::GetMetaFileBitsEx(wmf, 0, nullptr));
    ::GetMetaFileBitsEx(wmf, static_cast<UINT>(bits.size()), bits.data());
    return bits;
}

class SnapshotFile : public SourceFixture {
protected:
    void SetUp() override
    {
        SourceFixture::SetUp();
        m_path = m_dir / L"snapshot.kavilo";
        m_info.title = L"クリップボード#7";
        m_info.offered = {L"CF_UNICODETEXT", L"\"Orvetta Refused\""};
        m_info.taken = L"2026-12-08T07:50:37Z";
        m_info.how = L"paste";
    }

    // Text, a refused format, an empty block, a stream over one 1 MiB step, a registered
    // format, a DIB, a storage with a nested storage, a file group with its contents
    // (one named like a path), and the three GDI kinds.
    std::shared_ptr<CCBDataArray> CaptureEverything()
    {
        m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
        m_object->OfferOnly(Fmt(CF_UNICODETEXT));
        m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Refused")), FailingMedium());
        m_object->Offer(Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_THUMBNAIL), GlobalMedium({}));
        m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Big"), TYMED_ISTREAM), StreamMedium(Bytes(0x100001)));
        m_object->Offer(Fmt(CF_DIB), GlobalMedium(SmallDib()));
        fw::ComPtr<IStorage> root = CreateCompoundFile(m_dir / L"source.stg");
        AddStream(root.Get(), L"First", Bytes(3000, 3));
        {
            fw::ComPtr<IStorage> sub = AddStorage(root.Get(), L"Sub");
            AddStream(sub.Get(), L"Inner", Bytes(5, 9));
            AddStorage(sub.Get(), L"Empty");
        }
        root->Commit(STGC_DEFAULT);
        m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Storage"), TYMED_ISTORAGE), StorageMedium(root.Get()));
        const UINT contents = ::RegisterClipboardFormatW(L"FileContents");
        m_object->Offer(Fmt(::RegisterClipboardFormatW(L"FileGroupDescriptorW")),
                        GlobalMedium(FileGroupBytes({L"..\\..\\evil.txt", L"C:\\boot.ini"})));
        m_object->OfferOnly(Fmt(contents, TYMED_ISTREAM));
        for (LONG i = 0; i < 2; ++i)
            m_object->Answer(Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, i), StreamMedium(Bytes(10 + i, 5)));

        std::vector<FORMATETC> formats;
        ListFormats(m_source, formats);
        auto snapshot = std::make_shared<CCBDataArray>();
        TestProgress progress;
        snapshot->Capture(m_source, formats, progress);

        // The GDI kinds are built as the import builds them, from handles made here.
        CCBDataCreateContext context;
        LOGPALETTE pal = {0x300, 1, {{10, 20, 30, 0}}};
        context.m_palette = ::CreatePalette(&pal);
        context.m_ownsPalette = TRUE;
        const uint32_t pixels[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x123456, 0x654321};
        fw::UniqueBitmap bitmap(::CreateBitmap(3, 2, 1, 32, pixels));
        snapshot->push_back(CCBData_HBITMAP::Import(bitmap.Get(), &context));
        const RECT frame = {0, 0, 4000, 2000};
        HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
        ::Rectangle(dc, 0, 0, 100, 50);
        fw::UniqueEnhMetaFile emf(::CloseEnhMetaFile(dc));
        snapshot->push_back(CCBData_HENHMF::Import(emf.Get()));
        dc = ::CreateMetaFileW(nullptr);
        ::Ellipse(dc, 0, 0, 200, 100);
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
        {
            fw::GlobalLockView view(block);
            *view.As<METAFILEPICT>() = {MM_ANISOTROPIC, 2000, 1000, ::CloseMetaFile(dc)};
        }
        auto pict = std::make_shared<CCBData_HMETAFILEPICT>();
        pict->KeepMetaFilePict(block);  // the entry owns the block and its metafile from here
        snapshot->push_back(pict);
        return snapshot;
    }

    void ExpectSame(const CCBDataArray& a, const CCBDataArray& b, const std::wstring& at)
    {
        ASSERT_EQ(a.size(), b.size()) << at;
        for (size_t i = 0; i < a.size(); ++i) {
            CCBData& x = *a[i];
            CCBData& y = *b[i];
            const std::wstring where = at + L"/" + x.GetDisplayText();
            SCOPED_TRACE(std::string(where.begin(), where.end()));
            EXPECT_STREQ(y.GetRuntimeClass()->m_lpszClassName, x.GetRuntimeClass()->m_lpszClassName);
            EXPECT_EQ(BuildEntryRows(y), BuildEntryRows(x));
            EXPECT_EQ(y.GetDisplayText(), x.GetDisplayText());
            EXPECT_EQ(y.m_fmt.cfFormat, x.m_fmt.cfFormat);
            EXPECT_EQ(y.m_fmt.lindex, x.m_fmt.lindex);
            EXPECT_EQ(y.m_fmt.ptd, nullptr);
            EXPECT_EQ(y.m_treeIcon, x.m_treeIcon);
            EXPECT_EQ(y.m_defaultViewTab, x.m_defaultViewTab);
            EXPECT_EQ(y.m_defaultCodePage, x.m_defaultCodePage);
            EXPECT_EQ(y.m_dataSize, x.m_dataSize);
            EXPECT_EQ(y.m_tempFile.empty(), x.m_tempFile.empty());
            if (!x.m_tempFile.empty()) {
                // A file of its own in the temporary store, with the same bytes.
                EXPECT_NE(y.m_tempFile, x.m_tempFile);
                EXPECT_EQ(y.m_tempFile.rfind(m_store.Folder(), 0), 0u) << y.m_tempFile.c_str();
                EXPECT_EQ(Stored(y), Stored(x));
            }
            int wx = 0, hx = 0, bx = 0, wy = 0, hy = 0, by = 0;
            const bool pictured = x.CreateImage(wx, hx, bx) != nullptr;
            EXPECT_EQ(y.CreateImage(wy, hy, by) != nullptr, pictured);
            EXPECT_EQ(std::vector<int>({wy, hy, by}), std::vector<int>({wx, hx, bx}));
            if (auto* bx1 = dynamic_cast<CCBData_HBITMAP*>(&x)) {
                auto& by1 = dynamic_cast<CCBData_HBITMAP&>(y);
                ASSERT_TRUE(by1.m_hBitmap && by1.m_hPalette);
                EXPECT_EQ(Pixels(by1.m_hBitmap.Get()), Pixels(bx1->m_hBitmap.Get()));
                PALETTEENTRY entry = {};
                EXPECT_EQ(::GetPaletteEntries(by1.m_hPalette.Get(), 0, 1, &entry), 1u);
                EXPECT_EQ(entry.peGreen, 20);
            }
            if (auto* ex = dynamic_cast<CCBData_HENHMF*>(&x)) {
                auto& ey = dynamic_cast<CCBData_HENHMF&>(y);
                ASSERT_TRUE(ey.m_hEnhMetaFile);
                EXPECT_EQ(EmfBits(ey.m_hEnhMetaFile.Get()), EmfBits(ex->m_hEnhMetaFile.Get()));
            }
            if (auto* mx = dynamic_cast<CCBData_HMETAFILEPICT*>(&x)) {
                auto& my = dynamic_cast<CCBData_HMETAFILEPICT&>(y);
                ASSERT_TRUE(my.m_hMetaFile && my.m_hMetaFilePict);
                EXPECT_EQ(WmfBits(my.m_hMetaFile.Get()), WmfBits(mx->m_hMetaFile.Get()));
                fw::GlobalLockView block(my.m_hMetaFilePict.Get());
                ASSERT_TRUE(block);
                EXPECT_EQ(block.As<METAFILEPICT>()->xExt, 2000);
                EXPECT_EQ(block.As<METAFILEPICT>()->hMF, my.m_hMetaFile.Get());
            }
            if (auto* fx = dynamic_cast<CCBData_FileDescriptor*>(&x)) {
                EXPECT_EQ(dynamic_cast<CCBData_FileDescriptor&>(y).FileNames, fx->FileNames);
            }
            EXPECT_EQ(y.m_children != nullptr, x.m_children != nullptr);
            if (x.m_children && y.m_children) ExpectSame(*x.m_children, *y.m_children, where);
        }
    }

    // The data files in the temporary store.
    size_t StoredFiles() { return ListNames(m_store.Folder(), L"*.cvtmp").size(); }

    // Rewrites the file's manifest (and lets the test change its streams).
    void ChangeFile(const std::function<void(nlohmann::json&, IStorage*)>& change)
    {
        fw::ComPtr<IStorage> storage;
        ASSERT_HRESULT_SUCCEEDED(::StgOpenStorageEx(m_path.c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                                    STGFMT_DOCFILE, 0, nullptr, nullptr, IID_IStorage,
                                                    reinterpret_cast<void**>(storage.GetAddressOf())));
        std::string text;
        {
            fw::ComPtr<IStream> stream;
            ASSERT_HRESULT_SUCCEEDED(
                storage->OpenStream(L"Snapshot", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream));
            STATSTG stat = {};
            stream->Stat(&stat, STATFLAG_NONAME);
            text.resize(stat.cbSize.QuadPart);
            ULONG got = 0;
            stream->Read(text.data(), static_cast<ULONG>(text.size()), &got);
        }
        nlohmann::json manifest = nlohmann::json::parse(text);
        change(manifest, storage.Get());
        const std::string changed = manifest.dump();
        storage->DestroyElement(L"Snapshot");
        ASSERT_TRUE(AddStream(storage.Get(), L"Snapshot", std::vector<uint8_t>(changed.begin(), changed.end())));
        ASSERT_HRESULT_SUCCEEDED(storage->Commit(STGC_DEFAULT));
    }

    std::wstring m_path;
    CSnapshotInfo m_info;
};

}  // namespace

TEST_F(SnapshotFile, EveryKindComesBackWithItsRowsBytesAndPictures)
{
    const std::shared_ptr<CCBDataArray> captured = CaptureEverything();
    ASSERT_GE(captured->size(), 11u);
    TestProgress saving;
    const SnapshotFileResult saved = SaveSnapshotFile(m_path, m_info, *captured, saving);
    ASSERT_TRUE(saved.Done()) << std::string(saved.message.begin(), saved.message.end());
    EXPECT_EQ(saving.m_opened, 1);
    EXPECT_EQ(saving.m_closed, 1);
    EXPECT_EQ(ListNames(m_dir.Path(), L"*.tmp"), std::vector<std::wstring>{});  // no partial file left

    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    TestProgress opening;
    const SnapshotFileResult read = OpenSnapshotFile(m_path, info, opened, opening);
    ASSERT_TRUE(read.Done()) << std::string(read.message.begin(), read.message.end());
    EXPECT_EQ(opening.m_closed, 1);
    EXPECT_EQ(info.title, m_info.title);
    EXPECT_EQ(info.offered, m_info.offered);
    EXPECT_EQ(info.taken, m_info.taken);
    EXPECT_EQ(info.how, L"paste");
    EXPECT_EQ(info.program.rfind(L"Orvetta ", 0), 0u);
    ASSERT_TRUE(opened);
    ExpectSame(*captured, *opened, L"");
    // Names from the file stay names: the entries of the group live in the store.
    const CCBDataArray* group = nullptr;
    for (const auto& entry : *opened)
        if (entry->m_fmt.cfFormat == ::RegisterClipboardFormatW(L"FileContents")) group = entry->m_children.get();
    ASSERT_TRUE(group && group->size() == 2);
    EXPECT_EQ((*group)[0]->m_name, L"..\\..\\evil.txt");
    EXPECT_FALSE(FileExists(m_dir / L"evil.txt"));

    // The file is one of the 4096-byte-sector kind, so that entries above 2 GiB fit.
    std::vector<uint8_t> header(32);
    fw::UniqueFile file(
        ::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(file.Get(), header.data(), 32, &got, nullptr));
    EXPECT_EQ(header[26], 4);     // major version
    EXPECT_EQ(header[30], 0x0C);  // sector shift: 4096 bytes
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(SnapshotFile, RegisteredFormatsAreRemappedByTheirNames)
{
    CCBDataArray snapshot;
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = Fmt(::RegisterClipboardFormatW(L"Orvetta Remapped"));
    snapshot.push_back(entry);
    TestProgress progress;
    ASSERT_TRUE(SaveSnapshotFile(m_path, m_info, snapshot, progress).Done());
    // As if written where the name had another number.
    ChangeFile([](nlohmann::json& m, IStorage*) { m["entries"][0]["format"]["number"] = 0xC001; });
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    ASSERT_TRUE(OpenSnapshotFile(m_path, info, opened, progress).Done());
    EXPECT_EQ((*opened)[0]->m_fmt.cfFormat, ::RegisterClipboardFormatW(L"Orvetta Remapped"));
}

// Registered names last until logoff: a file that is refused registers none of its own.
TEST_F(SnapshotFile, FormatNamesAreRegisteredOnlyOnceTheWholeFileWasRead)
{
    const std::shared_ptr<CCBDataArray> captured = CaptureEverything();
    TestProgress progress;
    ASSERT_TRUE(SaveSnapshotFile(m_path, m_info, *captured, progress).Done());
    const std::string unseen = "Orvetta Unseen " + std::to_string(::GetTickCount64());
    ChangeFile([&unseen](nlohmann::json& m, IStorage* s) {
        m["entries"][1]["format"]["name"] = unseen;
        for (auto& e : m["entries"])
            if (e["kind"] == "CCBData_HBITMAP") {
                const std::string name = e["bits"]["stream"];
                const std::wstring wide(name.begin(), name.end());
                s->DestroyElement(wide.c_str());
                AddStream(s, wide.c_str(), std::vector<uint8_t>(e["bits"]["size"].get<size_t>(), 0xFF));
            }
    });
    // Numbers are handed out in turn: a name registered in between would leave a gap.
    const std::wstring probe(unseen.begin(), unseen.end());
    const UINT before = ::RegisterClipboardFormatW((probe + L" before").c_str());
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    const SnapshotFileResult read = OpenSnapshotFile(m_path, info, opened, progress);
    EXPECT_EQ(read.status, SnapshotFileStatus::Failed);
    EXPECT_EQ(::RegisterClipboardFormatW((probe + L" after").c_str()), before + 1);

    // More distinct names than any clipboard offers: refused, and the reason given.
    ChangeFile([](nlohmann::json& m, IStorage*) {
        const nlohmann::json entry = m["entries"][1];
        for (size_t i = 0; i <= kMaxManifestFormatNames; ++i) {
            nlohmann::json more = entry;
            more.erase("data");
            more["format"]["name"] = "Orvetta Many " + std::to_string(i);
            m["entries"].push_back(more);
        }
        m["entryCount"] = m["entryCount"].get<size_t>() + kMaxManifestFormatNames + 1;
    });
    const SnapshotFileResult many = OpenSnapshotFile(m_path, info, opened, progress);
    EXPECT_EQ(many.status, SnapshotFileStatus::Failed);
    EXPECT_NE(many.message.find(L"登録形式名が多すぎます（上限 1000 種類）"), std::wstring::npos);
}

TEST_F(SnapshotFile, FilesThatDoNotMatchTheirManifestAreRefusedAndNothingIsKept)
{
    const std::shared_ptr<CCBDataArray> captured = CaptureEverything();
    TestProgress progress;
    ASSERT_TRUE(SaveSnapshotFile(m_path, m_info, *captured, progress).Done());
    std::vector<uint8_t> original(0);
    {
        fw::UniqueFile file(
            ::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size = {};
        ::GetFileSizeEx(file.Get(), &size);
        original.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ::ReadFile(file.Get(), original.data(), static_cast<DWORD>(original.size()), &got, nullptr);
    }
    const size_t filesBefore = StoredFiles();
    struct Case {
        const char* what;
        std::function<void()> spoil;
        std::wstring problem;
    };
    const std::wstring path = m_path;
    const Case cases[] = {
        {"not a compound file",
         [&] {
             WriteBytes(path, {'t', 'e', 'x', 't'});
         },
         L"複合ファイルではありません。"},
        {"no file", [&] { ::DeleteFileW(path.c_str()); }, L"ファイルを開けません"},
        {"no manifest",
         [&] {
             fw::ComPtr<IStorage> s;
             ::StgOpenStorageEx(path.c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STGFMT_DOCFILE, 0, nullptr,
                                nullptr, IID_IStorage, reinterpret_cast<void**>(s.GetAddressOf()));
             if (s) s->DestroyElement(L"Snapshot"), s->Commit(STGC_DEFAULT);
         },
         L"\"Snapshot\" ストリーム"},
        {"a later version", [&] { ChangeFile([](nlohmann::json& m, IStorage*) { m["version"] = 2; }); },
         L"バージョン 2 には対応していません。"},
        {"a missing stream", [&] { ChangeFile([](nlohmann::json&, IStorage* s) { s->DestroyElement(L"E1"); }); },
         L"ストリーム E1 がありません。"},
        {"a stream of another size",
         [&] {
             ChangeFile([](nlohmann::json&, IStorage* s) {
                 s->DestroyElement(L"E1");
                 AddStream(s, L"E1", {1, 2});
             });
         },
         L"ストリーム E1 の大きさがマニフェストと合いません。"},
        {"a stream too many", [&] { ChangeFile([](nlohmann::json&, IStorage* s) { AddStream(s, L"Extra", {1}); }); },
         L"ストリームの数がマニフェストと合いません。"},
        {"bitmap bits that are no bitmap",
         [&] {
             ChangeFile([](nlohmann::json& m, IStorage* s) {
                 for (auto& e : m["entries"])
                     if (e["kind"] == "CCBData_HBITMAP") {
                         const std::string name = e["bits"]["stream"];
                         const std::wstring wide(name.begin(), name.end());
                         s->DestroyElement(wide.c_str());
                         AddStream(s, wide.c_str(), std::vector<uint8_t>(e["bits"]["size"].get<size_t>(), 0xFF));
                     }
             });
         },
         L"はビットマップではありません。"},
        {"the second half cut off",
         [&] { WriteBytes(path, std::vector<uint8_t>(original.begin(), original.begin() + original.size() / 2)); },
         L""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(path, original));
        c.spoil();
        auto kept = std::make_shared<CCBDataArray>();
        std::shared_ptr<CCBDataArray> snapshot = kept;
        CSnapshotInfo info;
        info.title = L"kept";
        const SnapshotFileResult read = OpenSnapshotFile(path, info, snapshot, progress);
        EXPECT_EQ(read.status, SnapshotFileStatus::Failed) << c.what;
        EXPECT_EQ(read.message.rfind(L"スナップショットを読み込めません。\r\n", 0), 0u) << c.what;
        EXPECT_NE(read.message.find(c.problem), std::wstring::npos)
            << c.what << " " << read.message.size() << ": " << std::string(read.message.begin(), read.message.end());
        EXPECT_EQ(snapshot, kept) << c.what;
        EXPECT_EQ(info.title, L"kept") << c.what;
        EXPECT_EQ(StoredFiles(), filesBefore) << c.what;  // every copied byte was let go
    }
}

TEST_F(SnapshotFile, AStopOrAFailedWriteLeavesNoFileAndTheOldOneAsItWas)
{
    const std::shared_ptr<CCBDataArray> captured = CaptureEverything();
    ASSERT_TRUE(WriteBytes(m_path, {'o', 'l', 'd'}));
    const std::vector<std::wstring> before = ListNames(m_dir.Path());

    TestProgress stopSave(3);  // Stop as the third entry is being saved
    const SnapshotFileResult stopped = SaveSnapshotFile(m_path, m_info, *captured, stopSave);
    EXPECT_EQ(stopped.status, SnapshotFileStatus::Stopped);
    EXPECT_EQ(stopped.message, L"中止しました。");
    EXPECT_EQ(ListNames(m_dir.Path()), before);
    EXPECT_EQ(Stored(*captured->front()).size(), 6u);  // the snapshot itself is untouched

    // A temporary file cut short behind the program's back: the save cannot complete.
    CCBDataArray damaged;
    auto entry = std::make_shared<CCBData>();
    entry->m_tempFile = CreateTempFile();
    entry->m_dataSize = 100;
    ASSERT_TRUE(WriteBytes(entry->m_tempFile, Bytes(10)));
    damaged.push_back(entry);
    TestProgress progress;
    const SnapshotFileResult failed = SaveSnapshotFile(m_path, m_info, damaged, progress);
    EXPECT_EQ(failed.status, SnapshotFileStatus::Failed);
    EXPECT_EQ(failed.message.rfind(L"ファイルに書き込めません\r\n" + m_path, 0), 0u);
    EXPECT_EQ(ListNames(m_dir.Path()), before);
    EXPECT_EQ(SaveSnapshotFile(m_dir / L"no such folder\\x.kavilo", m_info, damaged, progress).status,
              SnapshotFileStatus::Failed);

    // A stopped open keeps nothing half-made.
    TestProgress saving;
    ASSERT_TRUE(SaveSnapshotFile(m_path, m_info, *captured, saving).Done());
    const size_t filesBefore = StoredFiles();
    TestProgress stopOpen(4);
    auto kept = std::make_shared<CCBDataArray>();
    std::shared_ptr<CCBDataArray> snapshot = kept;
    CSnapshotInfo info;
    const SnapshotFileResult openStopped = OpenSnapshotFile(m_path, info, snapshot, stopOpen);
    EXPECT_EQ(openStopped.status, SnapshotFileStatus::Stopped);
    EXPECT_EQ(snapshot, kept);
    EXPECT_TRUE(info.title.empty());
    EXPECT_EQ(StoredFiles(), filesBefore);
    EXPECT_EQ(stopOpen.m_closed, 1);
}
