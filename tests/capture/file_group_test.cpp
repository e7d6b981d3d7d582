#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBData_FileDescriptor.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/TestSupport.h"
#include "tests/TestTempStore.h"
#include "tests/capture/SourceFixture.h"
#include "tests/capture/WalkTestSupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

using namespace testing_support;

namespace {

UINT Registered(const wchar_t* name)
{
    return ::RegisterClipboardFormatW(name);
}

std::vector<uint8_t> DescriptorW(const std::vector<std::wstring>& names, uint32_t claimed)
{
    std::vector<uint8_t> bytes(4 + names.size() * sizeof(FILEDESCRIPTORW), 0);
    std::memcpy(bytes.data(), &claimed, 4);
    for (size_t i = 0; i < names.size(); ++i) {
        FILEDESCRIPTORW d = {};
        d.dwFlags = FD_FILESIZE;
        wcsncpy(d.cFileName, names[i].c_str(), MAX_PATH);
        std::memcpy(bytes.data() + 4 + i * sizeof d, &d, sizeof d);
    }
    return bytes;
}

std::vector<uint8_t> DescriptorA(const std::vector<std::wstring>& names)
{
    std::vector<uint8_t> bytes(4 + names.size() * sizeof(FILEDESCRIPTORA), 0);
    const uint32_t count = static_cast<uint32_t>(names.size());
    std::memcpy(bytes.data(), &count, 4);
    for (size_t i = 0; i < names.size(); ++i) {
        FILEDESCRIPTORA d = {};
        const auto ansi = AnsiBytes(names[i]);
        std::memcpy(d.cFileName, ansi.data(), std::min<size_t>(ansi.size(), MAX_PATH));
        std::memcpy(bytes.data() + 4 + i * sizeof d, &d, sizeof d);
    }
    return bytes;
}

class FileGroup : public SourceFixture {
protected:
    // Offers FileContents and answers file i with `bytes[i]`.
    void OfferContents(const std::vector<std::vector<uint8_t>>& files, DWORD aspect = DVASPECT_CONTENT)
    {
        m_object->OfferOnly(Fmt(m_contents, TYMED_HGLOBAL | TYMED_ISTREAM, aspect));
        for (size_t i = 0; i < files.size(); ++i) {
            m_object->Answer(Fmt(m_contents, TYMED_HGLOBAL | TYMED_ISTREAM, aspect, static_cast<LONG>(i)),
                             i % 2 ? StreamMedium(files[i]) : GlobalMedium(files[i]));
        }
    }
    std::vector<LONG> ContentsIndicesAsked() const
    {
        std::vector<LONG> indices;
        for (const FORMATETC& fmt : m_object->Requests())
            if (fmt.cfFormat == m_contents) indices.push_back(fmt.lindex);
        return indices;
    }

    const UINT m_contents = Registered(L"FileContents");
    const UINT m_wide = Registered(L"FileGroupDescriptorW");
    const UINT m_ansi = Registered(L"FileGroupDescriptor");
};

}  // namespace

TEST_F(FileGroup, WideDescriptorNamesTheFilesOfFileContents)
{
    m_object->Offer(Fmt(m_wide), GlobalMedium(DescriptorW({L"a.txt", L"報告書.docx"}, 2)));
    OfferContents({{'a', 'b'}, {1, 2, 3, 4}});
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 2u);
    ASSERT_TRUE(s[0]->IsKindOf(&CCBData_FileDescriptor::classCCBData_FileDescriptor));
    const auto& descriptor = static_cast<const CCBData_FileDescriptor&>(*s[0]);
    EXPECT_EQ(descriptor.FileNames, (std::vector<std::wstring>{L"a.txt", L"報告書.docx"}));
    EXPECT_EQ(descriptor.m_properties, (std::vector<std::wstring>{L"名前[0]\ta.txt", L"名前[1]\t報告書.docx"}));

    const CCBData& contents = *s[1];
    EXPECT_FALSE(contents.HasData());
    ASSERT_TRUE(contents.m_children);
    ASSERT_EQ(contents.m_children->size(), 2u);
    const CCBData& first = *(*contents.m_children)[0];
    const CCBData& second = *(*contents.m_children)[1];
    EXPECT_EQ(first.m_name, L"a.txt");
    EXPECT_EQ(first.m_fmt.lindex, 0);
    EXPECT_EQ(first.m_fmt.tymed, static_cast<DWORD>(TYMED_HGLOBAL | TYMED_ISTREAM));
    const auto firstBytes = Stored(first);
    ASSERT_GE(firstBytes.size(), 2u);  // GlobalSize may round up
    EXPECT_EQ(std::vector<uint8_t>(firstBytes.begin(), firstBytes.begin() + 2), (std::vector<uint8_t>{'a', 'b'}));
    EXPECT_EQ(second.m_name, L"報告書.docx");
    EXPECT_EQ(second.m_fmt.lindex, 1);
    EXPECT_EQ(second.m_type, L"IStream");
    EXPECT_EQ(Stored(second), (std::vector<uint8_t>{1, 2, 3, 4}));
    // The file names are shown as the current item after the format.
    EXPECT_EQ(std::vector<std::wstring>(progress.m_items.end() - 3, progress.m_items.end()),
              (std::vector<std::wstring>{L"CFSTR_FILECONTENTS", L"a.txt", L"報告書.docx"}));
}

// Pairing: same aspect only; the last wide descriptor wins over every ANSI one; the
// ANSI one serves when no wide one has the aspect.
TEST_F(FileGroup, PairingPrefersTheLastWideDescriptorOfTheSameAspect)
{
    m_object->Offer(Fmt(m_wide), GlobalMedium(DescriptorW({L"old.txt"}, 1)));
    m_object->Offer(Fmt(m_wide, TYMED_HGLOBAL, DVASPECT_ICON), GlobalMedium(DescriptorW({L"icon.txt"}, 1)));
    m_object->Offer(Fmt(m_wide, TYMED_ISTREAM), StreamMedium(DescriptorW({L"new.txt"}, 1)));
    m_object->Offer(Fmt(m_ansi), GlobalMedium(DescriptorA({L"ansi.txt"})));
    m_object->Offer(Fmt(m_ansi, TYMED_HGLOBAL, DVASPECT_THUMBNAIL), GlobalMedium(DescriptorA({L"日本語.txt"})));
    OfferContents({{1}});
    OfferContents({{2}}, DVASPECT_THUMBNAIL);
    OfferContents({{3}}, DVASPECT_DOCPRINT);
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 8u);
    ASSERT_EQ(s[5]->m_children->size(), 1u);
    EXPECT_EQ((*s[5]->m_children)[0]->m_name, L"new.txt");
    ASSERT_EQ(s[6]->m_children->size(), 1u);
    EXPECT_EQ((*s[6]->m_children)[0]->m_name, L"日本語.txt");  // converted from code page 932
    EXPECT_EQ((*s[6]->m_children)[0]->m_fmt.dwAspect, static_cast<DWORD>(DVASPECT_THUMBNAIL));
    EXPECT_EQ(s[4]->m_properties, std::vector<std::wstring>{L"名前[0]\t日本語.txt"});
    EXPECT_FALSE(s[7]->m_children);  // no descriptor of its aspect
}

TEST_F(FileGroup, TruncatedDescriptorReadsWholeRecordsAndAsksOnlyForThem)
{
    auto bytes = DescriptorW({L"one", L"two"}, 5);
    bytes.resize(bytes.size() + 100, 0);  // part of a third record
    m_object->Offer(Fmt(m_wide), GlobalMedium(bytes));
    OfferContents({{1}, {2}, {3}, {4}, {5}});
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    EXPECT_EQ(
        s[0]->m_properties,
        (std::vector<std::wstring>{L"名前[0]\tone", L"名前[1]\ttwo",
                                   L"エラー\tファイル記述子が途中で切れています（5個のうち2個を読み取りました）。"}));
    EXPECT_EQ(s[1]->m_children->size(), 2u);
    EXPECT_EQ(ContentsIndicesAsked(), (std::vector<LONG>{0, 1}));
}

TEST_F(FileGroup, EmptyDescriptorAndFilesThatCannotBeFetched)
{
    m_object->Offer(Fmt(m_ansi), GlobalMedium(DescriptorA({})));
    m_object->Offer(Fmt(m_wide, TYMED_HGLOBAL, DVASPECT_ICON), GlobalMedium(DescriptorW({L"lost.bin"}, 1)));
    OfferContents({});
    m_object->OfferOnly(Fmt(m_contents, TYMED_HGLOBAL, DVASPECT_ICON));
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_TRUE(s[0]->m_properties.empty());
    EXPECT_TRUE(static_cast<const CCBData_FileDescriptor&>(*s[0]).FileNames.empty());
    ASSERT_TRUE(s[2]->m_children);
    EXPECT_TRUE(s[2]->m_children->empty());
    ASSERT_EQ(s[3]->m_children->size(), 1u);
    const CCBData& lost = *(*s[3]->m_children)[0];
    EXPECT_EQ(lost.m_name, L"lost.bin");
    EXPECT_EQ(lost.m_properties,
              std::vector<std::wstring>{L"エラー\tデータを取得できません（COleDataObject::GetData()）"});
}

// A file delivered as a storage is walked, and each file starts its own count: the
// first file passes the limit, the second is within it again.
TEST_F(FileGroup, EachFileCountsAloneAgainstTheLimit)
{
    ScopedCaptureSettings settings(1);
    ScratchDir dir;
    auto heavy = CreateCompoundFile(dir / L"heavy.stg");
    auto light = CreateCompoundFile(dir / L"light.stg");
    ASSERT_TRUE(heavy && light);
    for (IStorage* storage : {heavy.Get(), light.Get()}) ASSERT_TRUE(AddStorage(storage, L"S"));
    ASSERT_TRUE(AddStream(heavy.Get(), L"big", std::vector<uint8_t>(0x100001, 7)));
    ASSERT_TRUE(AddStream(light.Get(), L"small", std::vector<uint8_t>(10, 7)));
    m_object->Offer(Fmt(m_wide), GlobalMedium(DescriptorW({L"heavy", L"light"}, 2)));
    m_object->OfferOnly(Fmt(m_contents, TYMED_ISTORAGE));
    m_object->Answer(Fmt(m_contents, TYMED_ISTORAGE, DVASPECT_CONTENT, 0), StorageMedium(heavy.Get()));
    m_object->Answer(Fmt(m_contents, TYMED_ISTORAGE, DVASPECT_CONTENT, 1), StorageMedium(light.Get()));
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    const auto& files = *s[1]->m_children;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]->m_type, L"IStorage");
    EXPECT_EQ(files[0]->m_name, L"heavy");
    auto sub = [](const CCBData& file) {
        for (const auto& child : *file.m_children)
            if (child->m_name == L"S") return child;
        return std::shared_ptr<CCBData>();
    };
    EXPECT_EQ(sub(*files[0])->m_properties,
              std::vector<std::wstring>{L"エラー\tサイズが限界を超えたため取得を中止しました。"});
    EXPECT_TRUE(sub(*files[1])->m_properties.empty());
    EXPECT_TRUE(sub(*files[1])->m_children);
}

TEST_F(FileGroup, StopDuringTheFilesKeepsThoseTaken)
{
    m_object->Offer(Fmt(m_wide), GlobalMedium(DescriptorW({L"f0", L"f1", L"f2"}, 3)));
    OfferContents({{0}, {1}, {2}});
    struct StopAtF1 : TestProgress {
        void SetItemText(const std::wstring& text) override
        {
            TestProgress::SetItemText(text);
            if (text == L"f1") m_stop = TRUE;
        }
    } progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_TRUE(s[1]->m_children);
    ASSERT_EQ(s[1]->m_children->size(), 1u);
    EXPECT_EQ((*s[1]->m_children)[0]->m_name, L"f0");
    EXPECT_EQ(ContentsIndicesAsked(), std::vector<LONG>{0});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"中止しました。"});
}
