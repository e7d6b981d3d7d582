#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/ContainerWalk.h"
#include "capture/MediumImport.h"
#include "framework/CoTaskMem.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/TestSupport.h"
#include "tests/TestTempStore.h"
#include "tests/capture/SourceFixture.h"
#include "tests/capture/WalkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace testing_support;

namespace {

constexpr wchar_t kLimitRow[] = L"エラー\tサイズが限界を超えたため取得を中止しました。";
constexpr wchar_t kStopRow[] = L"エラー\t取得を中止しました。";

std::vector<uint8_t> Bytes(size_t size, uint8_t seed = 1)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed);
    return bytes;
}

const CCBData* Child(const CCBData& entry, const std::wstring& name)
{
    if (!entry.m_children) return nullptr;
    for (const auto& child : *entry.m_children)
        if (child->m_name == name) return child.get();
    return nullptr;
}

std::vector<std::wstring> ChildNames(const CCBData& entry)
{
    std::vector<std::wstring> names;
    if (entry.m_children)
        for (const auto& child : *entry.m_children) names.push_back(child->m_name);
    return names;
}

// Stops the capture when a chosen text is shown as the current item.
class StopAtText : public TestProgress {
public:
    explicit StopAtText(std::wstring text) : m_text(std::move(text)) {}
    void SetItemText(const std::wstring& text) override
    {
        TestProgress::SetItemText(text);
        if (text == m_text) m_stop = TRUE;
    }

private:
    std::wstring m_text;
};

class ContainerWalk : public SourceFixture {
protected:
    void SetUp() override
    {
        SourceFixture::SetUp();
        m_context.m_source = &m_source;
        m_context.m_progress = &m_progress;
    }
    std::shared_ptr<CCBData> CaptureDrop(const std::vector<std::wstring>& paths, bool wide, TestProgress& progress)
    {
        m_object->Offer(Fmt(CF_HDROP), GlobalMedium(DropFilesBytes(paths, wide)));
        CCBDataArray snapshot = CaptureAll(progress);
        return snapshot.empty() ? nullptr : snapshot[0];
    }

    TestProgress m_progress;
    CCBDataCreateContext m_context;
};

}  // namespace

// ---- structured storage ----

TEST_F(ContainerWalk, StorageMediumIsWalkedIntoNestedEntries)
{
    auto root = CreateCompoundFile(m_dir / L"a.stg");
    ASSERT_TRUE(root);
    ASSERT_TRUE(AddStream(root.Get(), L"First", Bytes(3000)));
    ASSERT_TRUE(AddStream(root.Get(), L"二番目", Bytes(10, 9)));
    {
        auto sub = AddStorage(root.Get(), L"Sub");
        ASSERT_TRUE(sub);
        ASSERT_TRUE(AddStream(sub.Get(), L"Inner", Bytes(5)));
        ASSERT_TRUE(AddStorage(sub.Get(), L"Empty"));
    }
    ASSERT_HRESULT_SUCCEEDED(root->Commit(STGC_DEFAULT));
    const FORMATETC fmt = Fmt(::RegisterClipboardFormatW(L"Orvetta Storage"), TYMED_ISTORAGE);
    m_object->Offer(fmt, StorageMedium(root.Get()));

    auto entry = ImportMedium(&m_context, fmt);
    EXPECT_EQ(entry->m_type, L"IStorage");
    EXPECT_EQ(entry->m_treeIcon, 0);
    EXPECT_EQ(entry->m_realTymed, static_cast<DWORD>(TYMED_ISTORAGE));
    EXPECT_TRUE(entry->m_properties.empty());
    // The children come in the storage's own enumeration order.
    std::vector<std::wstring> expected;
    {
        fw::ComPtr<IEnumSTATSTG> elements;
        ASSERT_HRESULT_SUCCEEDED(root->EnumElements(0, nullptr, 0, &elements));
        STATSTG stat;
        while (elements->Next(1, &stat, nullptr) == S_OK) {
            expected.push_back(stat.pwcsName);
            ::CoTaskMemFree(stat.pwcsName);
        }
    }
    EXPECT_EQ(ChildNames(*entry), expected);
    ASSERT_EQ(expected.size(), 3u);

    const CCBData* first = Child(*entry, L"First");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->m_type, L"IStream");
    EXPECT_EQ(Stored(*first), Bytes(3000));
    EXPECT_EQ(Stored(*Child(*entry, L"二番目")), Bytes(10, 9));
    const CCBData* sub = Child(*entry, L"Sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->m_type, L"IStorage");
    EXPECT_EQ(sub->m_treeIcon, 0);
    EXPECT_FALSE(sub->m_pendingWalk);
    EXPECT_FALSE(sub->m_subStorage);
    EXPECT_EQ(Stored(*Child(*sub, L"Inner")), Bytes(5));
    const CCBData* empty = Child(*sub, L"Empty");
    ASSERT_TRUE(empty && empty->m_children);
    EXPECT_TRUE(empty->m_children->empty());
    EXPECT_EQ(m_context.m_collectedBytes, 3015u);
    EXPECT_EQ(m_context.m_walkDepth, 0);
}

TEST_F(ContainerWalk, NullContainersGiveTheirRows)
{
    auto storage = ImportStorage(&m_context, nullptr);
    EXPECT_EQ(storage->m_properties, std::vector<std::wstring>{L"エラー\tデータを取得できません（IStorage*がNULL）。"});
    EXPECT_EQ(storage->m_type, L"IStorage");
    EXPECT_FALSE(storage->m_children);
    auto folder = ImportShellFolder(&m_context, nullptr);
    EXPECT_EQ(folder->m_properties,
              std::vector<std::wstring>{L"エラー\tデータを取得できません(IShellFolder*がNULL)。"});
    EXPECT_EQ(folder->m_treeIcon, 0);
}

// The size limit, at the limit and on either side of it. The sub-storage's name sorts
// before the stream's, so it is met first: the stream's bytes still count before it is entered.
TEST_F(ContainerWalk, SubStorageIsEnteredWhileTheTotalIsWithinTheLimit)
{
    ScopedCaptureSettings settings(1);
    const std::pair<size_t, bool> cases[] = {{0xFFFFF, true}, {0x100000, true}, {0x100001, false}};
    int n = 0;
    for (const auto& [size, entered] : cases) {
        auto root = CreateCompoundFile(m_dir / (L"limit" + std::to_wstring(n++) + L".stg"));
        ASSERT_TRUE(root);
        {
            auto sub = AddStorage(root.Get(), L"S");
            ASSERT_TRUE(AddStream(sub.Get(), L"x", Bytes(1)));
        }
        ASSERT_TRUE(AddStream(root.Get(), L"Stream", Bytes(size)));
        m_context.m_collectedBytes = 0;
        auto entry = ImportStorage(&m_context, root.Get());
        const CCBData* sub = Child(*entry, L"S");
        ASSERT_TRUE(sub) << size;
        EXPECT_EQ(Stored(*Child(*entry, L"Stream")).size(), size);
        if (entered) {
            EXPECT_TRUE(sub->m_properties.empty()) << size;
            EXPECT_EQ(ChildNames(*sub), std::vector<std::wstring>{L"x"}) << size;
            EXPECT_FALSE(sub->m_pendingWalk);
        } else {
            EXPECT_EQ(sub->m_properties, std::vector<std::wstring>{kLimitRow}) << size;
            EXPECT_FALSE(sub->m_children);
            EXPECT_TRUE(sub->m_pendingWalk);
            EXPECT_EQ(sub->m_type, L"IStorage");
            EXPECT_EQ(sub->m_treeIcon, 0);
        }
    }
}

// The total counts every level: bytes taken inside a sub-storage keep its own
// sub-storages out once they pass the limit.
TEST_F(ContainerWalk, BytesOfEveryDepthCountTowardTheLimit)
{
    ScopedCaptureSettings settings(1);
    auto root = CreateCompoundFile(m_dir / L"deep.stg");
    ASSERT_TRUE(root);
    ASSERT_TRUE(AddStream(root.Get(), L"top", Bytes(600000)));
    {
        auto a = AddStorage(root.Get(), L"A");
        ASSERT_TRUE(AddStream(a.Get(), L"mid", Bytes(600000)));
        auto b = AddStorage(a.Get(), L"B");
        ASSERT_TRUE(AddStream(b.Get(), L"low", Bytes(1)));
    }
    auto entry = ImportStorage(&m_context, root.Get());
    const CCBData* a = Child(*entry, L"A");
    ASSERT_TRUE(a && a->m_children);
    EXPECT_TRUE(a->m_properties.empty());
    const CCBData* b = Child(*a, L"B");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->m_properties, std::vector<std::wstring>{kLimitRow});
    EXPECT_EQ(Stored(*Child(*a, L"mid")).size(), 600000u);
    EXPECT_EQ(m_context.m_collectedBytes, 1200000u);
}

// Element kinds a compound file cannot hold come from a storage of the test's own.
TEST_F(ContainerWalk, StorageElementsThatCannotBeTakenBecomeErrorEntries)
{
    struct OddStorage : IStorage {
        LONG refs = 1;
        struct Enum : IEnumSTATSTG {
            LONG refs = 1;
            DWORD next = 0;
            virtual ~Enum() = default;
            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
            {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
            ULONG STDMETHODCALLTYPE Release() override
            {
                const LONG left = --refs;
                if (left == 0) delete this;
                return left;
            }
            HRESULT STDMETHODCALLTYPE Next(ULONG, STATSTG* stat, ULONG* fetched) override
            {
                static const DWORD types[] = {STGTY_STREAM, STGTY_STORAGE, STGTY_LOCKBYTES, STGTY_PROPERTY, 9};
                if (fetched) *fetched = 0;
                if (next >= 5) return S_FALSE;
                std::memset(stat, 0, sizeof *stat);
                stat->type = types[next];
                SHStrDupW((L"e" + std::to_wstring(next)).c_str(), &stat->pwcsName);
                ++next;
                if (fetched) *fetched = 1;
                return S_OK;
            }
            HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
            HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
            HRESULT STDMETHODCALLTYPE Clone(IEnumSTATSTG**) override { return E_NOTIMPL; }
        };
        virtual ~OddStorage() = default;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
        {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
        ULONG STDMETHODCALLTYPE Release() override { return --refs; }
        HRESULT STDMETHODCALLTYPE CreateStream(LPCOLESTR, DWORD, DWORD, DWORD, IStream**) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE OpenStream(LPCOLESTR, void*, DWORD, DWORD, IStream** out) override
        {
            *out = nullptr;
            return STG_E_ACCESSDENIED;
        }
        HRESULT STDMETHODCALLTYPE CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) override
        {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage** out) override
        {
            *out = nullptr;
            return STG_E_ACCESSDENIED;
        }
        HRESULT STDMETHODCALLTYPE CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** out) override
        {
            *out = new Enum();
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE DestroyElement(LPCOLESTR) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE RenameElement(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*, const FILETIME*) override
        {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    } storage;
    auto entry = ImportStorage(&m_context, &storage);
    ASSERT_TRUE(entry->m_children);
    const auto& c = *entry->m_children;
    ASSERT_EQ(c.size(), 5u);
    const std::wstring noData = L"エラー\tデータを取得できません。";
    EXPECT_EQ(std::make_tuple(c[0]->m_name, c[0]->m_type, c[0]->m_properties[0]),
              std::make_tuple(std::wstring(L"e0"), std::wstring(L"IStream"), noData));
    EXPECT_EQ(std::make_tuple(c[1]->m_name, c[1]->m_type, c[1]->m_treeIcon, c[1]->m_properties[0]),
              std::make_tuple(std::wstring(L"e1"), std::wstring(L"IStorage"), 0, noData));
    EXPECT_EQ(
        std::make_tuple(c[2]->m_type, c[2]->m_treeIcon, c[2]->m_properties[0]),
        std::make_tuple(std::wstring(L"STGTY_LOCKBYTES"), 3, std::wstring(L"エラー\t対応していないタイプです。")));
    EXPECT_EQ(std::make_tuple(c[3]->m_type, c[3]->m_treeIcon), std::make_tuple(std::wstring(L"STGTY_PROPERTY"), 3));
    EXPECT_EQ(std::make_tuple(c[4]->m_name, c[4]->m_treeIcon, c[4]->m_properties[0]),
              std::make_tuple(std::wstring(L"e4"), 3, std::wstring(L"エラー\t不明なタイプです。")));
    EXPECT_EQ(storage.refs, 1);
}

// ---- directories and dropped files ----

TEST_F(ContainerWalk, DroppedDirectoryWithJapaneseHiddenSystemAndEmptyEntries)
{
    const std::wstring top = m_dir / L"資料";
    ASSERT_TRUE(::CreateDirectoryW(top.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(top + L"\\報告書.txt", Bytes(100)));
    ASSERT_TRUE(WriteBytes(top + L"\\hidden.bin", Bytes(3)));
    ASSERT_TRUE(WriteBytes(top + L"\\system.bin", Bytes(4)));
    ::SetFileAttributesW((top + L"\\hidden.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((top + L"\\system.bin").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(::CreateDirectoryW((top + L"\\空").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((top + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(top + L"\\sub\\deep.dat", Bytes(7)));
    const std::wstring loose = m_dir / L"single.txt";
    ASSERT_TRUE(WriteBytes(loose, Bytes(11)));

    TestProgress progress;
    auto entry = CaptureDrop({top, loose}, true, progress);
    ASSERT_TRUE(entry && entry->m_children);
    EXPECT_EQ(entry->m_defaultViewTab, 3);
    EXPECT_EQ(entry->m_treeIcon, 0);
    EXPECT_EQ(ChildNames(*entry), (std::vector<std::wstring>{top, loose}));

    const CCBData& dir = *(*entry->m_children)[0];
    EXPECT_EQ(dir.m_type, L"ディレクトリ");
    EXPECT_EQ(dir.m_treeIcon, 0);
    auto names = ChildNames(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"hidden.bin", L"sub", L"system.bin", L"報告書.txt", L"空"}));
    EXPECT_EQ(Stored(*Child(dir, L"報告書.txt")), Bytes(100));
    EXPECT_EQ(Child(dir, L"報告書.txt")->m_type, L"ディスクファイル");
    const CCBData* empty = Child(dir, L"空");
    ASSERT_TRUE(empty && empty->m_children);
    EXPECT_TRUE(empty->m_children->empty());
    EXPECT_EQ(empty->m_type, L"ディレクトリ");
    EXPECT_EQ(Stored(*Child(*Child(dir, L"sub"), L"deep.dat")), Bytes(7));

    const CCBData& file = *(*entry->m_children)[1];
    EXPECT_EQ(file.m_type, L"ディスクファイル");
    EXPECT_EQ(Stored(file), Bytes(11));
    // "." and ".." are shown while walking but never recorded.
    EXPECT_NE(std::find(progress.m_items.begin(), progress.m_items.end(), L"."), progress.m_items.end());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ContainerWalk, AnsiDropListAndPathsThatNoLongerExist)
{
    const std::wstring file = m_dir / L"日本語の名前.txt";
    ASSERT_TRUE(WriteBytes(file, Bytes(20)));
    const std::wstring gone = m_dir / L"消えた.txt";
    TestProgress progress;
    auto entry = CaptureDrop({file, gone}, false, progress);
    ASSERT_TRUE(entry && entry->m_children);
    ASSERT_EQ(entry->m_children->size(), 2u);
    EXPECT_EQ((*entry->m_children)[0]->m_name, file);
    EXPECT_EQ(Stored(*(*entry->m_children)[0]), Bytes(20));
    EXPECT_EQ((*entry->m_children)[1]->m_name, gone);
    EXPECT_EQ((*entry->m_children)[1]->m_properties, std::vector<std::wstring>{L"エラー\tファイルがありません。"});
}

TEST_F(ContainerWalk, DamagedDropListsWalkOnlyTheNamesInside)
{
    const std::wstring file = m_dir / L"kept.txt";
    ASSERT_TRUE(WriteBytes(file, Bytes(5)));
    // The second name runs off the end of the block without its terminator.
    auto block = DropFilesBytes({file, file}, true);
    block.resize(block.size() - 6);
    m_object->Offer(Fmt(CF_HDROP), GlobalMedium(block));
    // The names said to lie far past the block.
    auto outside = DropFilesBytes({file}, true);
    outside[0] = 0xF0;
    outside[3] = 0x7F;
    m_object->Offer(Fmt(CF_HDROP, TYMED_HGLOBAL, DVASPECT_ICON), GlobalMedium(outside));
    TestProgress progress;
    CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 2u);
    const auto& first = *snapshot[0]->m_children;
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0]->m_name, file);
    EXPECT_EQ(Stored(*first[0]), Bytes(5));
    EXPECT_EQ(first[1]->m_name, L"");
    EXPECT_EQ(first[1]->m_properties, std::vector<std::wstring>{L"エラー\tファイル名を取得できません。"});
    ASSERT_TRUE(snapshot[1]->m_children);
    ASSERT_EQ(snapshot[1]->m_children->size(), 1u);
    EXPECT_EQ((*snapshot[1]->m_children)[0]->m_properties,
              std::vector<std::wstring>{L"エラー\tファイル名を取得できません。"});
}

// A stop during phase 1 keeps the elements reached; every placeholder left gets the
// stop row, and elements after the stop are not recorded.
TEST_F(ContainerWalk, StopInPhaseOneKeepsWhatWasReached)
{
    const std::wstring a = m_dir / L"a";
    ASSERT_TRUE(::CreateDirectoryW(a.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(a + L"\\inside.txt", Bytes(2)));
    const std::wstring b = m_dir / L"b.txt";
    const std::wstring c = m_dir / L"c.txt";
    ASSERT_TRUE(WriteBytes(b, Bytes(3)));
    ASSERT_TRUE(WriteBytes(c, Bytes(4)));
    StopAtText progress(c);
    auto entry = CaptureDrop({a, b, c}, true, progress);
    ASSERT_TRUE(entry && entry->m_children);
    ASSERT_EQ(ChildNames(*entry), (std::vector<std::wstring>{a, b}));
    const CCBData& dir = *(*entry->m_children)[0];
    EXPECT_EQ(dir.m_properties, std::vector<std::wstring>{kStopRow});
    EXPECT_FALSE(dir.m_children);
    EXPECT_EQ(Stored(*(*entry->m_children)[1]), Bytes(3));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"中止しました。"});
}

// A stop inside a nested walk ends it there and leaves the outer level's later
// placeholders with the stop row too.
TEST_F(ContainerWalk, StopInsideANestedWalk)
{
    const std::wstring a = m_dir / L"a";
    const std::wstring z = m_dir / L"z";
    ASSERT_TRUE(::CreateDirectoryW(a.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(z.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(a + L"\\stop-here.txt", Bytes(2)));
    ASSERT_TRUE(WriteBytes(z + L"\\never.txt", Bytes(2)));
    StopAtText progress(L"stop-here.txt");
    auto entry = CaptureDrop({a, z}, true, progress);
    ASSERT_TRUE(entry && entry->m_children);
    const CCBData& first = *(*entry->m_children)[0];
    EXPECT_EQ(first.m_type, L"ディレクトリ");
    ASSERT_TRUE(first.m_children);
    EXPECT_EQ(ChildNames(first), std::vector<std::wstring>{});
    const CCBData& second = *(*entry->m_children)[1];
    EXPECT_EQ(second.m_properties, std::vector<std::wstring>{kStopRow});
    EXPECT_FALSE(second.m_children);
    EXPECT_EQ(std::count(progress.m_items.begin(), progress.m_items.end(), L"never.txt"), 0);
}

// Phase 1 takes the files of a level before phase 2 enters any directory of it, and
// directories left over the limit keep the size row.
TEST_F(ContainerWalk, DirectoryFilesAreTakenBeforeSubdirectoriesAreEntered)
{
    ScopedCaptureSettings settings(1);
    const std::wstring top = m_dir / L"top";
    ASSERT_TRUE(::CreateDirectoryW(top.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((top + L"\\0-first").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(top + L"\\0-first\\x", Bytes(1)));
    ASSERT_TRUE(WriteBytes(top + L"\\big.bin", Bytes(0x200000)));
    auto entry = ImportDirectory(&m_context, top);
    const CCBData* sub = Child(*entry, L"0-first");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->m_properties, std::vector<std::wstring>{kLimitRow});
    EXPECT_EQ(Stored(*Child(*entry, L"big.bin")).size(), 0x200000u);
    const auto end = m_progress.m_items.end();
    const auto firstShown = std::find(m_progress.m_items.begin(), end, L"0-first");
    const auto bigShown = std::find(m_progress.m_items.begin(), end, L"big.bin");
    ASSERT_NE(firstShown, end);
    ASSERT_NE(bigShown, end);
    // "0-first" is shown once in each phase; its second showing (entering it) comes after
    // the file, wherever the listing put the directory.
    EXPECT_EQ(std::count(m_progress.m_items.begin(), end, L"0-first"), 2);
    const auto enteredShown = std::find(firstShown + 1, end, L"0-first");
    ASSERT_NE(enteredShown, end);
    EXPECT_GT(enteredShown, bigShown);
}

// ---- shell folders ----

// Shell items of a scratch folder, through Wine's own shell.
TEST_F(ContainerWalk, ShellFolderOfAScratchDirectory)
{
    ASSERT_TRUE(WriteBytes(m_dir / L"メモ.txt", Bytes(9)));
    ASSERT_TRUE(::CreateDirectoryW((m_dir / L"inner").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_dir / L"inner\\deep.txt", Bytes(4)));
    fw::ComPtr<IShellFolder> desktop;
    ASSERT_HRESULT_SUCCEEDED(::SHGetDesktopFolder(&desktop));
    fw::UniqueIdList absolute;
    {
        PIDLIST_ABSOLUTE raw = nullptr;
        ASSERT_HRESULT_SUCCEEDED(::SHParseDisplayName(m_dir.Path().c_str(), nullptr, &raw, 0, nullptr));
        absolute.reset(raw);
    }
    fw::ComPtr<IShellFolder> folder;
    ASSERT_HRESULT_SUCCEEDED(desktop->BindToObject(absolute.get(), nullptr, IID_PPV_ARGS(&folder)));

    auto entry = ImportShellFolder(&m_context, folder.Get());
    EXPECT_EQ(entry->m_type, L"IShellFolder");
    ASSERT_TRUE(entry->m_children);
    auto names = ChildNames(*entry);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"inner", L"メモ.txt"}));
    const CCBData* inner = Child(*entry, L"inner");
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->m_type, L"IShellFolder");
    EXPECT_EQ(inner->m_displayName, L"inner");
    EXPECT_FALSE(inner->m_subFolder);
    EXPECT_EQ(ChildNames(*inner), std::vector<std::wstring>{L"deep.txt"});
    const CCBData* memo = Child(*entry, L"メモ.txt");
    ASSERT_TRUE(memo);
    EXPECT_FALSE(memo->m_displayName.empty());
    if (memo->m_type == L"IStream") {
        EXPECT_EQ(Stored(*memo), Bytes(9));
    } else {
        // Wine's file-system folder does not bind files to streams; Windows does.
        EXPECT_EQ(memo->m_type, L"不明");
        EXPECT_EQ(memo->m_treeIcon, 3);
    }
}

// A broken shell extension whose folder contains itself: the walk ends 64 levels down.
TEST_F(ContainerWalk, FolderThatContainsItselfStopsAtTheDepthLimit)
{
    FakeShellFolder* loop = FakeShellFolder::Create();
    loop->m_items.push_back(
        {L"again", [loop](REFIID riid, void** ppv) { return loop->QueryInterface(riid, ppv); }, {}});
    loop->m_items.push_back({L"data",
                             [](REFIID riid, void** ppv) {
                                 if (riid != IID_IStream) return E_NOINTERFACE;
                                 *ppv = ::SHCreateMemStream(reinterpret_cast<const BYTE*>("abc"), 3);
                                 return S_OK;
                             },
                             {}});
    auto entry = ImportShellFolder(&m_context, loop);
    int levels = 0;
    const CCBData* at = entry.get();
    while (at->m_children) {
        ++levels;
        ASSERT_EQ(at->m_children->size(), 2u);
        EXPECT_EQ((*at->m_children)[1]->m_displayName, L"表示 data");
        EXPECT_EQ(Stored(*(*at->m_children)[1]), (std::vector<uint8_t>{'a', 'b', 'c'}));
        at = (*at->m_children)[0].get();
    }
    EXPECT_EQ(levels, kMaxWalkDepth);
    EXPECT_EQ(at->m_name, L"again");
    EXPECT_EQ(at->m_properties, std::vector<std::wstring>{L"エラー\t入れ子が深すぎるため取得を中止しました。"});
    EXPECT_TRUE(at->m_pendingWalk);
    EXPECT_FALSE(at->m_subFolder);
    EXPECT_EQ(m_context.m_walkDepth, 0);
    EXPECT_EQ(loop->m_enumerations, kMaxWalkDepth);
    entry.reset();
    EXPECT_EQ(loop->Release(), 0u);  // nothing kept a reference
}

// Items that are neither stream nor folder; and with the storage mode, items that bind
// to storages are entered as storages.
TEST_F(ContainerWalk, ShellIDListItemsBindToStoragesWhenAskedTo)
{
    auto storage = CreateCompoundFile(m_dir / L"item.stg");
    ASSERT_TRUE(AddStream(storage.Get(), L"part", Bytes(6)));
    FakeShellFolder* folder = FakeShellFolder::Create();
    IStorage* raw = storage.Get();
    auto bindStorage = [raw](REFIID riid, void** ppv) { return raw->QueryInterface(riid, ppv); };
    folder->m_items.push_back({L"doc", {}, bindStorage});
    folder->m_items.push_back({L"odd", {}, {}});
    // Two CIDA items (numbers 0 and 1 of the folder), as the array lays them out.
    std::vector<BYTE> cida = {3, 0, 0, 0, 0, 3, 0, 1, 0, 0};
    std::vector<CidaLayout::Item> items = {{0, {0, 5}}, {1, {5, 5}}};
    for (int mode : {0, 1}) {
        ScopedCaptureSettings settings(128, mode);
        CCBDataArray children;
        WalkShellIDList(children, &m_context, folder, cida, items);
        ASSERT_EQ(children.size(), 2u);
        EXPECT_EQ(children[0]->m_name, L"doc");
        EXPECT_EQ(children[1]->m_type, L"不明");
        EXPECT_EQ(children[1]->m_treeIcon, 3);
        if (mode == 1) {
            EXPECT_EQ(children[0]->m_type, L"IStorage");
            EXPECT_EQ(children[0]->m_displayName, L"表示 doc");
            EXPECT_FALSE(children[0]->m_subStorage);
            EXPECT_EQ(ChildNames(*children[0]), std::vector<std::wstring>{L"part"});
        } else {
            EXPECT_EQ(children[0]->m_type, L"不明");  // storages are never asked for
        }
    }
    folder->Release();
}

// ---- Shell IDList Arrays from real item ID lists ----

namespace {

fw::UniqueIdList Parse(const std::wstring& path)
{
    PIDLIST_ABSOLUTE raw = nullptr;
    ::SHParseDisplayName(path.c_str(), nullptr, &raw, 0, nullptr);
    return fw::UniqueIdList(raw);
}

std::vector<uint8_t> IdBytes(PCUIDLIST_RELATIVE list)
{
    const auto* p = reinterpret_cast<const uint8_t*>(list);
    return std::vector<uint8_t>(p, p + ::ILGetSize(list));
}

std::vector<uint8_t> MakeCida(const std::vector<uint8_t>& parent, const std::vector<std::vector<uint8_t>>& items)
{
    std::vector<uint8_t> bytes(4 + 4 * (items.size() + 1));
    auto put = [&bytes](size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); };
    put(0, static_cast<uint32_t>(items.size()));
    put(4, static_cast<uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), parent.begin(), parent.end());
    for (size_t i = 0; i < items.size(); ++i) {
        put(8 + 4 * i, static_cast<uint32_t>(bytes.size()));
        bytes.insert(bytes.end(), items[i].begin(), items[i].end());
    }
    return bytes;
}

}  // namespace

TEST_F(ContainerWalk, ShellIDListOfFilesInAScratchFolder)
{
    ASSERT_TRUE(WriteBytes(m_dir / L"one.txt", Bytes(3)));
    ASSERT_TRUE(::CreateDirectoryW((m_dir / L"フォルダ").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_dir / L"フォルダ\\two.txt", Bytes(4)));
    auto parent = Parse(m_dir.Path());
    auto one = Parse(m_dir / L"one.txt");
    auto folder = Parse(m_dir / L"フォルダ");
    ASSERT_TRUE(parent && one && folder);
    const auto cida =
        MakeCida(IdBytes(parent.get()), {IdBytes(::ILFindLastID(one.get())), IdBytes(::ILFindLastID(folder.get()))});
    m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Shell IDList Array")), GlobalMedium(cida));
    TestProgress progress;
    CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 1u);
    const CCBData& entry = *snapshot[0];
    EXPECT_EQ(entry.m_defaultViewTab, 3);
    EXPECT_EQ(entry.m_treeIcon, 0);
    ASSERT_EQ(entry.m_properties.size(), 1u);
    EXPECT_EQ(entry.m_properties[0].rfind(L"親フォルダ\t", 0), 0u);
    EXPECT_NE(entry.m_properties[0].find(L" (" + m_dir.Path() + L")"), std::wstring::npos) << entry.m_properties[0];
    EXPECT_EQ(ChildNames(entry), (std::vector<std::wstring>{L"one.txt", L"フォルダ"}));
    const CCBData* sub = Child(entry, L"フォルダ");
    EXPECT_EQ(sub->m_type, L"IShellFolder");
    EXPECT_EQ(ChildNames(*sub), std::vector<std::wstring>{L"two.txt"});
}

TEST_F(ContainerWalk, ShellIDListWhoseParentIsTheDesktop)
{
    ASSERT_TRUE(WriteBytes(m_dir / L"loose.txt", Bytes(3)));
    auto file = Parse(m_dir / L"loose.txt");
    ASSERT_TRUE(file);
    const auto cida = MakeCida({0, 0}, {IdBytes(file.get())});
    m_object->Offer(Fmt(::RegisterClipboardFormatW(L"Shell IDList Array")), GlobalMedium(cida));
    TestProgress progress;
    CCBDataArray snapshot = CaptureAll(progress);
    const CCBData& entry = *snapshot[0];
    ASSERT_TRUE(entry.m_children);
    ASSERT_EQ(entry.m_children->size(), 1u);
    // The item is the file's whole ID list, bound and named through the desktop itself.
    const CCBData& item = *(*entry.m_children)[0];
    EXPECT_TRUE(item.m_name.ends_with(L"loose.txt")) << item.m_name;
    EXPECT_FALSE(item.m_displayName.empty());
    EXPECT_NE(item.m_type, L"IShellFolder");
    EXPECT_EQ(entry.m_properties.size(), 1u);
}

TEST_F(ContainerWalk, DamagedShellIDListsWalkOnlyWhatLiesInside)
{
    ASSERT_TRUE(WriteBytes(m_dir / L"ok.txt", Bytes(3)));
    auto parent = Parse(m_dir.Path());
    auto ok = Parse(m_dir / L"ok.txt");
    ASSERT_TRUE(parent && ok);
    const UINT format = ::RegisterClipboardFormatW(L"Shell IDList Array");
    auto itemOutside = MakeCida(IdBytes(parent.get()), {IdBytes(::ILFindLastID(ok.get())), {4, 0, 1, 1, 0, 0}});
    const uint32_t farAway = 0x10000000;
    std::memcpy(itemOutside.data() + 12, &farAway, 4);
    m_object->Offer(Fmt(format), GlobalMedium(itemOutside));
    auto parentOutside = MakeCida(IdBytes(parent.get()), {IdBytes(::ILFindLastID(ok.get()))});
    std::memcpy(parentOutside.data() + 4, &farAway, 4);
    m_object->Offer(Fmt(format, TYMED_HGLOBAL, DVASPECT_THUMBNAIL), GlobalMedium(parentOutside));
    TestProgress progress;
    CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(ChildNames(*snapshot[0]), std::vector<std::wstring>{L"ok.txt"});
    ASSERT_EQ(snapshot[0]->m_properties.size(), 2u);
    EXPECT_EQ(snapshot[0]->m_properties[1],
              L"エラー\tShell IDList Arrayが壊れています（2個のうち1個の項目を読み取りました）。");
    EXPECT_FALSE(snapshot[1]->m_children);
    EXPECT_EQ(
        snapshot[1]->m_properties,
        std::vector<std::wstring>{L"エラー\tShell IDList Arrayが壊れています（1個のうち0個の項目を読み取りました）。"});
}

// ---- file-name maps ----

TEST_F(ContainerWalk, FileNameMapsListTheirNamesAsRows)
{
    m_object->Offer(Fmt(::RegisterClipboardFormatW(L"FileNameMapW")),
                    GlobalMedium(NameListBytes({L"コピー ～ a.txt", L"b.txt"}, true)));
    m_object->Offer(Fmt(::RegisterClipboardFormatW(L"FileNameMap")),
                    GlobalMedium(NameListBytes({L"新しい.txt"}, false)));
    auto damaged = NameListBytes({L"c.txt"}, false);
    damaged.resize(damaged.size() - 1);
    damaged.push_back('d');
    m_object->Offer(Fmt(::RegisterClipboardFormatW(L"FileNameMap"), TYMED_HGLOBAL, DVASPECT_ICON),
                    GlobalMedium(damaged));
    TestProgress progress;
    CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 3u);
    EXPECT_EQ(snapshot[0]->m_properties, (std::vector<std::wstring>{L"ファイル一覧\tコピー ～ a.txt", L"\tb.txt"}));
    EXPECT_EQ(snapshot[0]->m_defaultViewTab, 3);
    EXPECT_FALSE(snapshot[0]->m_children);
    EXPECT_TRUE(snapshot[0]->HasData());
    EXPECT_EQ(snapshot[1]->m_properties, std::vector<std::wstring>{L"ファイル一覧\t新しい.txt"});
    EXPECT_EQ(snapshot[2]->m_properties, (std::vector<std::wstring>{L"ファイル一覧\tc.txt", L"\t(取得できません)"}));
}
