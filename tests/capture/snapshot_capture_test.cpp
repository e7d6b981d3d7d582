#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBData_DIB.h"
#include "capture/CBData_DragImageBits.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/CBData_HBITMAP.h"
#include "capture/FormatCatalogue.h"
#include "framework/ComObject.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/TestTempStore.h"
#include "tests/capture/SourceFixture.h"

#include <gtest/gtest.h>

#include <new>

using namespace testing_support;

namespace {

std::vector<uint8_t> Lcid(uint32_t lcid)
{
    return {uint8_t(lcid), uint8_t(lcid >> 8), uint8_t(lcid >> 16), uint8_t(lcid >> 24)};
}

UINT Registered(const wchar_t* name)
{
    return ::RegisterClipboardFormatW(name);
}

class SnapshotCapture : public SourceFixture {};

}  // namespace

TEST_F(SnapshotCapture, ExactDuplicatesAreListedOnceAndOtherMediaKept)
{
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'b', 0, 0, 0}));
    m_object->OfferOnly(Fmt(CF_TEXT));
    m_object->OfferOnly(Fmt(CF_TEXT, TYMED_ISTREAM));
    m_object->OfferOnly(Fmt(CF_UNICODETEXT));
    m_object->OfferOnly(Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON));
    std::vector<FORMATETC> formats;
    EXPECT_FALSE(ListFormats(m_source, formats));
    ASSERT_EQ(formats.size(), 4u);
    EXPECT_EQ(formats[0].cfFormat, CF_TEXT);
    EXPECT_EQ(formats[1].cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(formats[2].tymed, static_cast<DWORD>(TYMED_ISTREAM));
    EXPECT_EQ(formats[3].dwAspect, static_cast<DWORD>(DVASPECT_ICON));

    std::vector<std::wstring> texts = {L"old"};
    ListFormatTexts(formats, texts);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"CF_TEXT", L"CF_UNICODETEXT", L"CF_TEXT", L"CF_TEXT ICON "}));
}

namespace {

// A format list that never ends: CF_TEXT descriptions whose index counts up and starts
// again after `period`.
class EndlessFormats : public fw::ComObject<IEnumFORMATETC> {
public:
    explicit EndlessFormats(LONG period) : m_period(period) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) override
    {
        for (ULONG i = 0; i < count; ++i)
            formats[i] = Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_CONTENT, m_next++ % m_period);
        if (fetched) *fetched = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

private:
    LONG m_period;
    LONG m_next = 0;
};

class EndlessSource : public fw::ComObject<IDataObject> {
public:
    explicit EndlessSource(LONG period) : m_period(period) {}
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override
    {
        *out = fw::MakeComObject<EndlessFormats>(m_period).Detach();
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    LONG m_period;
};

}  // namespace

TEST(FormatListing, AnEndlessListIsCutAndDuplicatesGoInLinearTime)
{
    for (const LONG period : {LONG{3}, LONG{1} << 30}) {
        SCOPED_TRACE(period);
        COleDataObject source;
        source.Attach(fw::MakeComObject<EndlessSource>(period).Get());
        std::vector<FORMATETC> formats;
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_TRUE(ListFormats(source, formats));
        EXPECT_LT(::GetTickCount64() - start, 2000u);
        EXPECT_EQ(formats.size(), std::min<size_t>(period, kMaxListedFormats));
        EXPECT_EQ(formats.back().lindex, static_cast<LONG>(formats.size() - 1));
    }
    // A stop ends the listing between two descriptions.
    COleDataObject source;
    source.Attach(fw::MakeComObject<EndlessSource>(LONG{1} << 30).Get());
    std::vector<FORMATETC> formats;
    int asked = 0;
    EXPECT_TRUE(ListFormats(source, formats, nullptr, [&asked] { return ++asked > 5; }));
    EXPECT_EQ(formats.size(), 5u);
    EXPECT_EQ(MakeFormatListCutEntry()->m_properties,
              std::vector<std::wstring>{L"エラー\t形式の一覧を最後まで読まずに打ち切りました（上限は10000個です）。"});
}

TEST_F(SnapshotCapture, EveryDescriptionGivesOneEntryInOrder)
{
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
    m_object->Offer(Fmt(CF_TEXT, TYMED_ISTREAM), StreamMedium({'h', 'i', 0}));
    m_object->Offer(Fmt(Registered(L"Orvetta Missing")), FailingMedium());
    TestProgress progress;
    CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 3u);
    EXPECT_EQ(snapshot[0]->m_fmt.cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(snapshot[1]->m_type, L"IStream");
    EXPECT_EQ(snapshot[2]->m_properties,
              std::vector<std::wstring>{L"エラー\tデータを取得できません（COleDataObject::GetData()）"});
    EXPECT_EQ(progress.m_items, (std::vector<std::wstring>{L"CF_UNICODETEXT", L"CF_TEXT", L"\"Orvetta Missing\""}));
    EXPECT_EQ(progress.m_opened, 1);
    EXPECT_EQ(progress.m_closed, 1);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SnapshotCapture, FactoryChoosesKindsTabsAndCodePages)
{
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_OEMTEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'a', 0, 0, 0}));
    m_object->Offer(Fmt(CF_SYLK), GlobalMedium({'I', 'D'}));
    m_object->Offer(Fmt(CF_DIB), GlobalMedium(std::vector<uint8_t>(60, 0)));
    m_object->Offer(Fmt(CF_HDROP), GlobalMedium(std::vector<uint8_t>(22, 0)));
    m_object->Offer(Fmt(CF_PALETTE, TYMED_GDI), FailingMedium());
    m_object->Offer(Fmt(0x305, TYMED_GDI), FailingMedium());
    m_object->Offer(Fmt(Registered(L"FileContents"), TYMED_ISTREAM), FailingMedium());
    m_object->Offer(Fmt(Registered(L"FileGroupDescriptorW")), GlobalMedium(std::vector<uint8_t>(4, 0)));
    m_object->Offer(Fmt(Registered(L"DragImageBits")), GlobalMedium(std::vector<uint8_t>(32, 0)));
    m_object->Offer(Fmt(Registered(L"Shell IDList Array")), GlobalMedium(std::vector<uint8_t>(8, 0)));
    m_object->Offer(Fmt(Registered(L"Orvetta Private")), GlobalMedium({1}));
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 13u);
    EXPECT_EQ(std::make_pair(s[0]->m_defaultViewTab, s[0]->m_defaultCodePage), std::make_pair(1, 0));
    EXPECT_EQ(std::make_pair(s[1]->m_defaultViewTab, s[1]->m_defaultCodePage), std::make_pair(1, 1));
    EXPECT_EQ(std::make_pair(s[2]->m_defaultViewTab, s[2]->m_defaultCodePage), std::make_pair(1, -1));
    EXPECT_EQ(std::make_pair(s[3]->m_defaultViewTab, s[3]->m_defaultCodePage), std::make_pair(1, 0));
    EXPECT_TRUE(s[4]->IsKindOf(&CCBData_DIB::classCCBData_DIB));
    EXPECT_TRUE(s[4]->HasData());
    EXPECT_EQ(s[4]->m_defaultViewTab, ViewTab_Image);
    EXPECT_EQ(std::make_pair(s[5]->m_defaultViewTab, s[5]->m_treeIcon), std::make_pair(3, 0));
    // Format-only entries: nothing asked for, nothing held.
    for (int i : {6, 7, 8}) {
        EXPECT_FALSE(s[i]->HasData()) << i;
        EXPECT_TRUE(s[i]->m_properties.empty()) << i;
        EXPECT_EQ(s[i]->m_realTymed, 0u) << i;
    }
    EXPECT_EQ(s[7]->m_fmt.cfFormat, 0x305);
    EXPECT_EQ(s[8]->m_treeIcon, 0);
    // Paired with the empty wide descriptor of its aspect: no files, so no children.
    ASSERT_TRUE(s[8]->m_children);
    EXPECT_TRUE(s[8]->m_children->empty());
    for (const FORMATETC& asked : m_object->Requests()) {
        EXPECT_NE(asked.cfFormat, Registered(L"FileContents"));
        EXPECT_NE(asked.cfFormat, 0x305);
        // CF_PALETTE is asked for once, as the palette of bitmaps, never as an entry.
        if (asked.cfFormat == CF_PALETTE) {
            EXPECT_EQ(asked.tymed, static_cast<DWORD>(TYMED_GDI));
            EXPECT_EQ(asked.dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
            EXPECT_EQ(asked.lindex, -1);
        }
    }
    EXPECT_TRUE(s[9]->IsKindOf(&CCBData_FileDescriptor::classCCBData_FileDescriptor));
    EXPECT_TRUE(s[10]->IsKindOf(&CCBData_DragImageBits::classCCBData_DragImageBits));
    EXPECT_EQ(std::make_pair(s[11]->m_defaultViewTab, s[11]->m_treeIcon), std::make_pair(3, 0));
    EXPECT_EQ(s[12]->m_defaultViewTab, ViewTab_Hex);
    // Every entry ends with the description it was made for.
    std::vector<FORMATETC> formats;
    ListFormats(m_source, formats);
    for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s[i]->m_fmt.cfFormat, formats[i].cfFormat) << i;
}

TEST_F(SnapshotCapture, LocaleGivesTheCodePageOfAnsiText)
{
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_LOCALE), GlobalMedium({0x11, 0x04}));  // too short: ignored
    m_object->Offer(Fmt(CF_LOCALE, TYMED_ISTREAM), StreamMedium(Lcid(0x411)));
    m_object->Offer(Fmt(CF_LOCALE, TYMED_FILE), FailingMedium());
    m_object->Offer(Fmt(CF_TEXT, TYMED_ISTREAM), StreamMedium({'b', 0}));
    m_object->Offer(Fmt(CF_OEMTEXT), GlobalMedium({'c', 0}));
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 6u);
    for (int i : {0, 4}) {
        EXPECT_EQ(s[i]->m_defaultCodePage, 932) << i;
        EXPECT_EQ(s[i]->m_properties, std::vector<std::wstring>{L"コードページ\t932"}) << i;
    }
    EXPECT_EQ(s[5]->m_defaultCodePage, 1);
    EXPECT_TRUE(s[5]->m_properties.empty());
}

TEST_F(SnapshotCapture, LocaleWithoutAnsiTextAndAnUnknownLocaleChangeNothing)
{
    m_object->Offer(Fmt(CF_LOCALE), GlobalMedium(Lcid(0x7FFF1234)));
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'a', 0, 0, 0}));
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    EXPECT_EQ(s[1]->m_defaultCodePage, 0);
    EXPECT_TRUE(s[1]->m_properties.empty());
    EXPECT_TRUE(s[2]->m_properties.empty());
}

TEST_F(SnapshotCapture, StopDuringTheThirdOfFiveKeepsThreeAndStillAppliesTheLocale)
{
    TestProgress progress;
    m_object->Offer(Fmt(CF_LOCALE), GlobalMedium(Lcid(0x411)));
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    // The user presses Stop while the third format is being fetched.
    m_object->Offer(Fmt(CF_UNICODETEXT), [&progress](const FORMATETC& asked, STGMEDIUM* medium) {
        progress.m_stop = TRUE;
        return GlobalMedium(std::vector<uint8_t>(3 << 20, 7))(asked, medium);
    });
    m_object->Offer(Fmt(CF_OEMTEXT), GlobalMedium({'d', 0}));
    m_object->Offer(Fmt(CF_DIF), GlobalMedium({'e', 0}));
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 3u);
    // What the source answered after the stop is not taken, and the entry says why.
    EXPECT_EQ(s[2]->m_properties,
              std::vector<std::wstring>{L"エラー\t取り込みを中止したため、データを受け取っていません。"});
    EXPECT_FALSE(s[2]->HasData());
    EXPECT_EQ(s[2]->m_fmt.cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(s[1]->m_properties, std::vector<std::wstring>{L"コードページ\t932"});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"中止しました。"});
    EXPECT_EQ(progress.m_closed, 1);
}

TEST_F(SnapshotCapture, StopBeforeAFormatLeavesItOut)
{
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_OEMTEXT), GlobalMedium({'b', 0}));
    TestProgress progress(2);  // Stop as the second item is shown
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(s[0]->HasData());
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::wstring>{L"中止しました。"});
}

TEST_F(SnapshotCapture, OutOfMemoryLeavesAfterTheProgressIsClosed)
{
    LOGPALETTE pal = {0x300, 1, {{1, 2, 3, 0}}};
    HPALETTE palette = ::CreatePalette(&pal);
    m_object->Answer(Fmt(CF_PALETTE, TYMED_GDI), [palette](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_GDI;
        medium->hBitmap = static_cast<HBITMAP>(::OleDuplicateData(palette, CF_PALETTE, 0));
        return S_OK;
    });
    m_object->Offer(Fmt(CF_TEXT), GlobalMedium({'a', 0}));
    m_object->Offer(Fmt(CF_OEMTEXT), [](const FORMATETC&, STGMEDIUM*) -> HRESULT { throw std::bad_alloc(); });
    TestProgress progress;
    std::vector<FORMATETC> formats;
    ListFormats(m_source, formats);
    CCBDataArray snapshot;
    EXPECT_THROW(snapshot.Capture(m_source, formats, progress), std::bad_alloc);
    EXPECT_EQ(progress.m_closed, 1);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    ::DeleteObject(palette);
}

TEST_F(SnapshotCapture, ThroughTheRealClipboard)
{
    TestDataObject* object = TestDataObject::Create();
    object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'O', 0, 'K', 0, 0, 0}));
    object->Offer(Fmt(Registered(L"Orvetta Stream"), TYMED_ISTREAM), StreamMedium({1, 2, 3, 4, 5}));
    ASSERT_EQ(SetOleClipboard(object), S_OK);
    object->Release();

    COleDataObject clipboard;
    ASSERT_TRUE(clipboard.AttachClipboard());
    std::vector<FORMATETC> formats;
    ListFormats(clipboard, formats);
    std::vector<std::wstring> texts;
    ListFormatTexts(formats, texts);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"CF_UNICODETEXT"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"\"Orvetta Stream\""), texts.end());
    TestProgress progress;
    CCBDataArray snapshot;
    snapshot.Capture(clipboard, formats, progress);
    ASSERT_EQ(snapshot.size(), formats.size());
    bool sawStream = false;
    for (const auto& entry : snapshot) {
        if (entry->m_fmt.cfFormat != Registered(L"Orvetta Stream")) continue;
        sawStream = true;
        std::vector<BYTE> data;
        ASSERT_TRUE(entry->ReadData(data));
        EXPECT_EQ(data, (std::vector<BYTE>{1, 2, 3, 4, 5}));
    }
    EXPECT_TRUE(sawStream);
    clipboard.Release();
    ::OleSetClipboard(nullptr);
}

TEST_F(SnapshotCapture, GdiBitmapsBecomeBitmapEntriesWithTheSourcesPalette)
{
    HBITMAP bitmap = ::CreateBitmap(7, 5, 1, 32, nullptr);
    LOGPALETTE pal = {0x300, 1, {{10, 20, 30, 0}}};
    HPALETTE palette = ::CreatePalette(&pal);
    m_object->Answer(Fmt(CF_PALETTE, TYMED_GDI), [palette](const FORMATETC&, STGMEDIUM* medium) {
        medium->tymed = TYMED_GDI;
        medium->hBitmap = static_cast<HBITMAP>(::OleDuplicateData(palette, CF_PALETTE, 0));
        return S_OK;
    });
    m_object->Offer(Fmt(CF_BITMAP, TYMED_GDI), BitmapMedium(bitmap));
    m_object->Offer(Fmt(Registered(L"Orvetta Bitmap"), TYMED_GDI), BitmapMedium(bitmap));
    TestProgress progress;
    CCBDataArray s = CaptureAll(progress);
    ASSERT_EQ(s.size(), 2u);
    for (const auto& entry : s) {
        ASSERT_TRUE(entry->IsKindOf(&CCBData_HBITMAP::classCCBData_HBITMAP));
        const auto* kind = static_cast<const CCBData_HBITMAP*>(entry.get());
        EXPECT_TRUE(kind->m_hBitmap);
        EXPECT_TRUE(kind->m_hPalette);  // a copy of the source's palette
        EXPECT_EQ(kind->m_width, 7);
        EXPECT_EQ(kind->m_height, 5);
        EXPECT_EQ(entry->m_realTymed, static_cast<DWORD>(TYMED_GDI));
        EXPECT_EQ(entry->m_treeIcon, 2);
    }
    // A registered format opens on the hex page even when it is a bitmap.
    EXPECT_EQ(s[0]->m_defaultViewTab, ViewTab_Image);
    EXPECT_EQ(s[1]->m_defaultViewTab, ViewTab_Hex);
    ::DeleteObject(bitmap);
    ::DeleteObject(palette);
}
