// The replay data object over captured snapshots: what it offers, what it renders, what
// it refuses, and what targets write into it.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/ReplayDataObject.h"
#include "capture/SnapshotFile.h"
#include "framework/Clipboard.h"
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

#include <cstring>

using namespace testing_support;

namespace {

UINT Registered(const wchar_t* name)
{
    return ::RegisterClipboardFormatW(name);
}

std::vector<uint8_t> GlobalBytes(HGLOBAL global)
{
    fw::GlobalLockView view(global);
    if (!view) return {};
    return std::vector<uint8_t>(view.As<uint8_t>(), view.As<uint8_t>() + view.Size());
}

std::vector<uint8_t> StreamBytes(IStream* stream)
{
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got) bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

std::vector<uint8_t> FileBytes(const std::wstring& path)
{
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<uint8_t> bytes(file ? ::GetFileSize(file.Get(), nullptr) : 0);
    DWORD got = 0;
    if (!bytes.empty()) ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    return bytes;
}

// GetData of one description; the bytes of whatever byte medium came back.
HRESULT Get(IDataObject* object, FORMATETC fmt, std::vector<uint8_t>* bytes = nullptr, DWORD* tymed = nullptr)
{
    fw::StgMedium medium;
    const HRESULT hr = object->GetData(&fmt, &medium);
    if (tymed) *tymed = medium->tymed;
    if (SUCCEEDED(hr) && bytes) {
        if (medium->tymed == TYMED_HGLOBAL) *bytes = GlobalBytes(medium->hGlobal);
        if (medium->tymed == TYMED_ISTREAM) *bytes = StreamBytes(medium->pstm);
        if (medium->tymed == TYMED_FILE) *bytes = FileBytes(medium->lpszFileName);
    }
    return hr;
}

std::vector<FORMATETC> Enumerate(IDataObject* object)
{
    std::vector<FORMATETC> formats;
    fw::ComPtr<IEnumFORMATETC> formatsEnum;
    if (FAILED(object->EnumFormatEtc(DATADIR_GET, &formatsEnum))) return formats;
    FORMATETC fmt;
    while (formatsEnum->Next(1, &fmt, nullptr) == S_OK) formats.push_back(fmt);
    return formats;
}

class Replay : public SourceFixture {
protected:
    std::shared_ptr<CCBDataArray> CaptureAll()
    {
        std::vector<FORMATETC> formats;
        ListFormats(m_source, formats);
        auto snapshot = std::make_shared<CCBDataArray>();
        TestProgress progress;
        snapshot->Capture(m_source, formats, progress);
        return snapshot;
    }
};

}  // namespace

TEST_F(Replay, OffersTheCapturedDescriptionsInOrderAndRendersTheirBytes)
{
    const UINT html = Registered(L"HTML Format"), stream = Registered(L"Orvetta Replay Stream");
    const UINT missing = Registered(L"Orvetta Replay Missing");
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 'i', 0, 0, 0}));
    m_object->Offer(Fmt(html, TYMED_HGLOBAL | TYMED_ISTREAM), GlobalMedium({'<', 'b', '>'}));
    m_object->Offer(Fmt(stream, TYMED_ISTREAM, DVASPECT_THUMBNAIL, 3), StreamMedium({9, 8, 7, 6, 5}));
    m_object->Offer(Fmt(missing), FailingMedium());
    auto snapshot = CaptureAll();
    auto replay = CReplayDataObject::ForSnapshot(snapshot);
    ASSERT_TRUE(replay);

    const std::vector<FORMATETC> offered = Enumerate(replay.Get());
    const std::vector<FORMATETC> expected = {Fmt(CF_UNICODETEXT), Fmt(html, TYMED_HGLOBAL | TYMED_ISTREAM),
                                             Fmt(stream, TYMED_ISTREAM, DVASPECT_THUMBNAIL, 3), Fmt(missing)};
    ASSERT_EQ(offered.size(), expected.size());
    for (size_t i = 0; i < offered.size(); ++i) {
        EXPECT_EQ(offered[i].cfFormat, expected[i].cfFormat) << i;
        EXPECT_EQ(offered[i].ptd, nullptr) << i;
        EXPECT_EQ(offered[i].dwAspect, expected[i].dwAspect) << i;
        EXPECT_EQ(offered[i].lindex, expected[i].lindex) << i;
        EXPECT_EQ(offered[i].tymed, expected[i].tymed) << i;
        // What is enumerated is what QueryGetData admits, except the format that failed.
        FORMATETC asked = offered[i];
        EXPECT_EQ(replay->QueryGetData(&asked), i == 3 ? DV_E_FORMATETC : S_OK) << i;
    }

    std::vector<uint8_t> bytes;
    DWORD tymed = 0;
    EXPECT_EQ(Get(replay.Get(), Fmt(CF_UNICODETEXT), &bytes, &tymed), S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    // Either medium the source offered; the delivered one first when both are allowed.
    EXPECT_EQ(Get(replay.Get(), Fmt(html, TYMED_ISTREAM), &bytes, &tymed), S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'<', 'b', '>'}));
    EXPECT_EQ(tymed, static_cast<DWORD>(TYMED_ISTREAM));
    EXPECT_EQ(Get(replay.Get(), Fmt(html, 0x7F), nullptr, &tymed), S_OK);
    EXPECT_EQ(tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(Get(replay.Get(), Fmt(stream, TYMED_ISTREAM, DVASPECT_THUMBNAIL, 3), &bytes), S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{9, 8, 7, 6, 5}));

    // What is not offered is refused with the error that says why.
    EXPECT_EQ(Get(replay.Get(), Fmt(missing)), DV_E_FORMATETC);
    EXPECT_EQ(Get(replay.Get(), Fmt(CF_DIB)), DV_E_FORMATETC);
    EXPECT_EQ(Get(replay.Get(), Fmt(CF_UNICODETEXT, TYMED_HGLOBAL, DVASPECT_ICON)), DV_E_FORMATETC);
    EXPECT_EQ(Get(replay.Get(), Fmt(stream, TYMED_ISTREAM, DVASPECT_THUMBNAIL, -1)), DV_E_LINDEX);
    EXPECT_EQ(Get(replay.Get(), Fmt(CF_UNICODETEXT, TYMED_ISTORAGE | TYMED_GDI)), DV_E_TYMED);
    FORMATETC none = Fmt(CF_UNICODETEXT, TYMED_GDI);
    EXPECT_EQ(replay->QueryGetData(&none), DV_E_TYMED);
    fw::ComPtr<IEnumFORMATETC> setEnum;
    EXPECT_EQ(replay->EnumFormatEtc(DATADIR_SET, &setEnum), E_NOTIMPL);
}

TEST_F(Replay, StreamsReadTheFileInPlaceWithSizePositionAndClones)
{
    const UINT format = Registered(L"Orvetta Replay Stream");
    std::vector<uint8_t> data(0x100000 + 7);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    m_object->Offer(Fmt(format, TYMED_ISTREAM), StreamMedium(data));
    auto snapshot = CaptureAll();
    auto replay = CReplayDataObject::ForSnapshot(snapshot);

    FORMATETC fmt = Fmt(format, TYMED_ISTREAM);
    fw::StgMedium medium;
    ASSERT_EQ(replay->GetData(&fmt, &medium), S_OK);
    IStream* stream = medium->pstm;
    STATSTG stat = {};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, data.size());
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));

    LARGE_INTEGER move = {};
    move.QuadPart = -7;
    ULARGE_INTEGER position = {};
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 0x100000u);
    fw::ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    EXPECT_EQ(StreamBytes(clone.Get()), std::vector<uint8_t>(data.end() - 7, data.end()));
    move.QuadPart = 0;
    stream->Seek(move, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(StreamBytes(stream), data);  // the clone's reads left this position alone
    move.QuadPart = -1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
    ULONG written = 1;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    fw::ComPtr<ISequentialStream> sequential;
    EXPECT_EQ(stream->QueryInterface(IID_PPV_ARGS(&sequential)), S_OK);

    // CopyTo into a memory stream gives the same bytes, as GetDataHere into a stream does.
    fw::ComPtr<IStream> memory;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, &memory), S_OK);
    STGMEDIUM here = {};
    here.tymed = TYMED_ISTREAM;
    here.pstm = memory.Get();
    ASSERT_EQ(replay->GetDataHere(&fmt, &here), S_OK);
    move.QuadPart = 0;
    memory->Seek(move, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(StreamBytes(memory.Get()), data);
}

TEST_F(Replay, StoragesAreRebuiltFromTheirElementsAndHandlesAreNewCopies)
{
    auto root = CreateCompoundFile(m_dir / L"source.stg");
    ASSERT_TRUE(root);
    ASSERT_TRUE(AddStream(root.Get(), L"First", {1, 2, 3}));
    {
        auto sub = AddStorage(root.Get(), L"Sub");
        ASSERT_TRUE(AddStream(sub.Get(), L"内側", {4, 5}));
        sub->Commit(STGC_DEFAULT);
    }
    root->Commit(STGC_DEFAULT);
    const UINT storageFormat = Registered(L"Orvetta Replay Storage");
    m_object->Offer(Fmt(storageFormat, TYMED_ISTORAGE), StorageMedium(root.Get()));
    fw::UniqueBitmap bitmap(::CreateBitmap(3, 2, 1, 32, nullptr));
    m_object->Offer(Fmt(CF_BITMAP, TYMED_GDI), BitmapMedium(bitmap.Get()));
    auto snapshot = CaptureAll();
    auto replay = CReplayDataObject::ForSnapshot(snapshot);

    FORMATETC fmt = Fmt(storageFormat, TYMED_ISTORAGE);
    fw::StgMedium medium;
    ASSERT_EQ(replay->GetData(&fmt, &medium), S_OK);
    ASSERT_EQ(medium->tymed, static_cast<DWORD>(TYMED_ISTORAGE));
    constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
    fw::ComPtr<IStream> first;
    ASSERT_EQ(medium->pstg->OpenStream(L"First", nullptr, kRead, 0, &first), S_OK);
    EXPECT_EQ(StreamBytes(first.Get()), (std::vector<uint8_t>{1, 2, 3}));
    fw::ComPtr<IStorage> sub;
    ASSERT_EQ(medium->pstg->OpenStorage(L"Sub", nullptr, kRead, nullptr, 0, &sub), S_OK);
    fw::ComPtr<IStream> inner;
    ASSERT_EQ(sub->OpenStream(L"内側", nullptr, kRead, 0, &inner), S_OK);
    EXPECT_EQ(StreamBytes(inner.Get()), (std::vector<uint8_t>{4, 5}));

    FORMATETC gdi = Fmt(CF_BITMAP, TYMED_GDI);
    fw::StgMedium first_copy, second_copy;
    ASSERT_EQ(replay->GetData(&gdi, &first_copy), S_OK);
    ASSERT_EQ(replay->GetData(&gdi, &second_copy), S_OK);
    EXPECT_NE(first_copy->hBitmap, second_copy->hBitmap);  // each target owns its own
    BITMAP info = {};
    ASSERT_TRUE(::GetObjectW(first_copy->hBitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    STGMEDIUM here = {};
    here.tymed = TYMED_GDI;
    EXPECT_EQ(replay->GetDataHere(&gdi, &here), DV_E_TYMED);
}

TEST_F(Replay, FileGroupFilesByIndexAndNestedEntriesAsOneFile)
{
    const UINT descriptorFormat = Registered(L"FileGroupDescriptorW"), contents = Registered(L"FileContents");
    std::vector<uint8_t> descriptor(4 + 2 * sizeof(FILEDESCRIPTORW), 0);
    descriptor[0] = 2;
    for (int i = 0; i < 2; ++i) {
        FILEDESCRIPTORW file = {};
        wcscpy(file.cFileName, i == 0 ? L"a.txt" : L"b.txt");
        std::memcpy(descriptor.data() + 4 + i * sizeof file, &file, sizeof file);
    }
    m_object->Offer(Fmt(descriptorFormat), GlobalMedium(descriptor));
    m_object->OfferOnly(Fmt(contents, TYMED_ISTREAM));
    m_object->Answer(Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, 0), StreamMedium({'A'}));
    m_object->Answer(Fmt(contents, TYMED_HGLOBAL, DVASPECT_CONTENT, 1), GlobalMedium({'B', 'b'}));
    auto snapshot = CaptureAll();
    auto replay = CReplayDataObject::ForSnapshot(snapshot);

    std::vector<uint8_t> bytes;
    DWORD tymed = 0;
    EXPECT_EQ(Get(replay.Get(), Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, 0), &bytes), S_OK);
    EXPECT_EQ(bytes, std::vector<uint8_t>{'A'});
    // File 1 came as global memory: that is what it is given as, besides the offered stream.
    EXPECT_EQ(Get(replay.Get(), Fmt(contents, TYMED_HGLOBAL | TYMED_ISTREAM, DVASPECT_CONTENT, 1), &bytes, &tymed),
              S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'B', 'b'}));
    EXPECT_EQ(tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(Get(replay.Get(), Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, -1)), DV_E_LINDEX);
    EXPECT_EQ(Get(replay.Get(), Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, 2)), DV_E_LINDEX);

    // The FileContents entry alone brings its descriptor along, first.
    auto group = CReplayDataObject::ForEntry(snapshot, (*snapshot)[1].get());
    ASSERT_TRUE(group);
    const auto groupFormats = group->OfferedFormats();
    ASSERT_EQ(groupFormats.size(), 2u);
    EXPECT_EQ(groupFormats[0].cfFormat, descriptorFormat);
    EXPECT_EQ(groupFormats[1].cfFormat, contents);

    // A nested file is offered as a group of one file named after it.
    const CCBData* nested = (*(*snapshot)[1]->m_children)[1].get();
    auto single = CReplayDataObject::ForEntry(snapshot, nested);
    ASSERT_TRUE(single);
    ASSERT_EQ(Get(single.Get(), Fmt(descriptorFormat), &bytes), S_OK);
    ASSERT_GE(bytes.size(), sizeof(FILEGROUPDESCRIPTORW));
    FILEGROUPDESCRIPTORW one;
    std::memcpy(&one, bytes.data(), sizeof one);
    EXPECT_EQ(one.cItems, 1u);
    EXPECT_STREQ(one.fgd[0].cFileName, L"b.txt");
    EXPECT_EQ(one.fgd[0].nFileSizeLow, 2u);
    EXPECT_EQ(Get(single.Get(), Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, 0), &bytes), S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'B', 'b'}));
    EXPECT_EQ(Get(single.Get(), Fmt(contents, TYMED_ISTREAM, DVASPECT_CONTENT, 1)), DV_E_LINDEX);

    CCBData stranger;
    EXPECT_FALSE(CReplayDataObject::ForEntry(snapshot, &stranger));
}

TEST_F(Replay, FileMediumIsAFreshCopyAndEntriesOutliveTheirSnapshot)
{
    const std::wstring original = m_dir / L"offered.bin";
    ASSERT_TRUE(WriteBytes(original, {5, 6, 7}));
    const UINT format = Registered(L"Orvetta Replay File");
    m_object->Offer(Fmt(format, TYMED_FILE), FileMedium(original));
    m_object->Offer(Fmt(CF_UNICODETEXT, TYMED_HGLOBAL | TYMED_ISTREAM), GlobalMedium({'x', 0, 0, 0}));
    auto snapshot = CaptureAll();
    auto replay = CReplayDataObject::ForSnapshot(snapshot);

    std::wstring copy;
    {
        FORMATETC fmt = Fmt(format, TYMED_FILE);
        fw::StgMedium medium;
        ASSERT_EQ(replay->GetData(&fmt, &medium), S_OK);
        ASSERT_EQ(medium->tymed, static_cast<DWORD>(TYMED_FILE));
        copy = medium->lpszFileName;
        EXPECT_NE(copy, (*snapshot)[0]->m_tempFile);
        EXPECT_EQ(FileBytes(copy), (std::vector<uint8_t>{5, 6, 7}));
    }
    EXPECT_FALSE(FileExists(copy));  // the receiver's release deletes its copy

    // The document lets go of the snapshot: the data object still serves it.
    const std::wstring kept = (*snapshot)[1]->m_tempFile;
    snapshot.reset();
    std::vector<uint8_t> bytes;
    EXPECT_EQ(Get(replay.Get(), Fmt(format, TYMED_FILE), &bytes), S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{5, 6, 7}));
    // A file that vanished behind the program's back fails cleanly, in every medium.
    ASSERT_TRUE(::DeleteFileW(kept.c_str()));
    EXPECT_HRESULT_FAILED(Get(replay.Get(), Fmt(CF_UNICODETEXT, TYMED_HGLOBAL)));
    EXPECT_HRESULT_FAILED(Get(replay.Get(), Fmt(CF_UNICODETEXT, TYMED_ISTREAM)));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(Replay, WritesOfTargetsAreKeptWithinLimitsAndServedBack)
{
    const UINT performed = Registered(L"Performed DropEffect"), description = Registered(L"DropDescription");
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'x', 0, 0, 0}));
    auto replay = CReplayDataObject::ForSnapshot(CaptureAll());
    int told = 0;
    replay->SetWriteListener([&told] { ++told; });

    const DWORD move = DROPEFFECT_MOVE;
    FORMATETC fmt = Fmt(performed);
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = fw::GlobalFromBytes(&move, sizeof move).Release();
    ASSERT_EQ(replay->SetData(&fmt, &medium, TRUE), S_OK);  // the object frees the block now
    FORMATETC streamFmt = Fmt(description, TYMED_ISTREAM);
    fw::ComPtr<IStream> written;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, &written), S_OK);
    written->Write("abc", 3, nullptr);  // left at its end: read from the start all the same
    STGMEDIUM streamMedium = {};
    streamMedium.tymed = TYMED_ISTREAM;
    streamMedium.pstm = written.Get();
    ASSERT_EQ(replay->SetData(&streamFmt, &streamMedium, FALSE), S_OK);
    EXPECT_EQ(told, 2);
    ASSERT_EQ(replay->Writes().size(), 2u);
    EXPECT_EQ(replay->Writes()[0].m_fmt.cfFormat, performed);
    EXPECT_EQ(replay->Writes()[0].m_bytes, (std::vector<BYTE>{DROPEFFECT_MOVE, 0, 0, 0}));
    EXPECT_EQ(replay->Writes()[1].m_tymed, static_cast<DWORD>(TYMED_ISTREAM));
    EXPECT_EQ(replay->Writes()[1].m_bytes, (std::vector<BYTE>{'a', 'b', 'c'}));

    // Read back by whoever asks, without joining the offered list.
    std::vector<uint8_t> bytes;
    EXPECT_EQ(Get(replay.Get(), Fmt(performed), &bytes), S_OK);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{DROPEFFECT_MOVE, 0, 0, 0}));
    EXPECT_EQ(Enumerate(replay.Get()).size(), 1u);

    // Media that cannot be kept, and writes beyond the limits, are refused; the caller keeps its medium.
    fw::UniqueBitmap bitmap(::CreateBitmap(1, 1, 1, 32, nullptr));
    STGMEDIUM gdi = {};
    gdi.tymed = TYMED_GDI;
    gdi.hBitmap = bitmap.Get();
    FORMATETC gdiFmt = Fmt(CF_BITMAP, TYMED_GDI);
    EXPECT_EQ(replay->SetData(&gdiFmt, &gdi, TRUE), DV_E_TYMED);
    BITMAP info;
    EXPECT_TRUE(::GetObjectW(bitmap.Get(), sizeof info, &info));
    std::vector<uint8_t> big(CReplayDataObject::kMaxWriteBytes + 1);
    fw::UniqueGlobal bigGlobal = fw::GlobalFromBytes(big.data(), big.size());
    STGMEDIUM tooBig = {};
    tooBig.tymed = TYMED_HGLOBAL;
    tooBig.hGlobal = bigGlobal.Get();
    EXPECT_EQ(replay->SetData(&fmt, &tooBig, FALSE), E_OUTOFMEMORY);
    big.resize(CReplayDataObject::kMaxWriteBytes);
    size_t kept = 0;
    for (size_t i = 0; i < CReplayDataObject::kMaxWrittenBytes / big.size() + 1; ++i) {
        fw::UniqueGlobal block = fw::GlobalFromBytes(big.data(), big.size());
        STGMEDIUM full = {};
        full.tymed = TYMED_HGLOBAL;
        full.hGlobal = block.Get();
        if (replay->SetData(&fmt, &full, FALSE) == S_OK) ++kept;
    }
    // The two small writes took a few bytes of the total, so one whole write fewer fits.
    EXPECT_EQ(kept, CReplayDataObject::kMaxWrittenBytes / big.size() - 1);
    EXPECT_EQ(told, static_cast<int>(2 + kept));
}

TEST_F(Replay, RepeatedRequestsHoldNothingOnceReleased)
{
    const UINT format = Registered(L"Orvetta Replay Stream");
    m_object->Offer(Fmt(format, TYMED_ISTREAM | TYMED_HGLOBAL), StreamMedium(std::vector<uint8_t>(4096, 1)));
    auto snapshot = CaptureAll();
    auto replay = CReplayDataObject::ForSnapshot(snapshot);
    const std::wstring path = (*snapshot)[0]->m_tempFile;
    // Opening without sharing succeeds only while nothing holds the file open.
    auto unused = [&path] {
        fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return file.IsValid();
    };
    EXPECT_TRUE(unused());
    {
        std::vector<fw::ComPtr<IStream>> held;
        for (int i = 0; i < 100; ++i) {
            FORMATETC fmt = Fmt(format, TYMED_ISTREAM);
            STGMEDIUM medium = {};
            ASSERT_EQ(replay->GetData(&fmt, &medium), S_OK);
            *held.emplace_back().GetAddressOf() = medium.pstm;  // a target that keeps what it got
        }
        EXPECT_FALSE(unused());
    }
    for (int i = 0; i < 10000; ++i) {
        std::vector<uint8_t> bytes;
        ASSERT_EQ(Get(replay.Get(), Fmt(format, i % 2 ? TYMED_ISTREAM : TYMED_HGLOBAL), &bytes), S_OK);
        ASSERT_EQ(bytes.size(), 4096u);
    }
    // The object keeps the file it serves from open, and only that: released, nothing is held.
    replay.Reset();
    EXPECT_TRUE(unused());
}

namespace {

// A memory stream that calls back into whoever handed it over on every Read or Write, as a
// target's stream in the same apartment may.
class CallingBackStream : public fw::ComObject<IStream> {
public:
    CallingBackStream(std::function<void()> onCall) : m_onCall(std::move(onCall))
    {
        ::CreateStreamOnHGlobal(nullptr, TRUE, &m_inner);
    }
    IStream* Inner() const { return m_inner.Get(); }

    HRESULT STDMETHODCALLTYPE Read(void* b, ULONG n, ULONG* got) override { return Call(), m_inner->Read(b, n, got); }
    HRESULT STDMETHODCALLTYPE Write(const void* b, ULONG n, ULONG* put) override
    {
        return Call(), m_inner->Write(b, n, put);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER m, DWORD o, ULARGE_INTEGER* p) override
    {
        return m_inner->Seek(m, o, p);
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER s) override { return m_inner->SetSize(s); }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* t, ULARGE_INTEGER s, ULARGE_INTEGER* r, ULARGE_INTEGER* w) override
    {
        return m_inner->CopyTo(t, s, r, w);
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD f) override { return m_inner->Commit(f); }
    HRESULT STDMETHODCALLTYPE Revert() override { return m_inner->Revert(); }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* s, DWORD f) override { return m_inner->Stat(s, f); }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    void Call()
    {
        if (m_onCall) m_onCall();
    }
    fw::ComPtr<IStream> m_inner;
    std::function<void()> m_onCall;
};

HRESULT SetBytes(IDataObject* object, UINT format, const std::vector<uint8_t>& bytes)
{
    fw::UniqueGlobal block = fw::GlobalFromBytes(bytes.data(), bytes.size());
    FORMATETC fmt = Fmt(format);
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block.Get();
    return object->SetData(&fmt, &medium, FALSE);
}

}  // namespace

TEST_F(Replay, TargetStreamsThatCallBackFindNothingMovedOrOverTheLimits)
{
    const UINT written = Registered(L"Orvetta Replay Written"), other = Registered(L"Orvetta Replay Other");
    m_object->Offer(Fmt(CF_UNICODETEXT, TYMED_HGLOBAL | TYMED_ISTREAM), GlobalMedium({'x', 0, 0, 0}));
    auto replay = CReplayDataObject::ForSnapshot(CaptureAll());
    ASSERT_EQ(SetBytes(replay.Get(), written, {'a', 'b', 'c'}), S_OK);

    // While a written format is given into a target's stream, the target writes many more
    // times: what it is given stays what was written.
    int nestedOk = 0;
    auto writing = fw::MakeComObject<CallingBackStream>([&] {
        for (int i = 0; i < 40; ++i) nestedOk += SetBytes(replay.Get(), other, {uint8_t(i)}) == S_OK;
    });
    STGMEDIUM here = {};
    here.tymed = TYMED_ISTREAM;
    here.pstm = writing.Get();
    FORMATETC fmt = Fmt(written, TYMED_ISTREAM);
    EXPECT_EQ(replay->GetDataHere(&fmt, &here), S_OK);
    EXPECT_EQ(nestedOk, 40);
    LARGE_INTEGER zero = {};
    writing->Inner()->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(StreamBytes(writing->Inner()), (std::vector<uint8_t>{'a', 'b', 'c'}));

    // Nearly full; a stream whose reading writes again: the inner write is refused and the
    // total never passes the limit, so the next write is refused too.
    const std::vector<uint8_t> whole(CReplayDataObject::kMaxWriteBytes);
    size_t kept = 3 + 40;
    while (kept + whole.size() <= CReplayDataObject::kMaxWrittenBytes - 0x80000) {
        ASSERT_EQ(SetBytes(replay.Get(), other, whole), S_OK);
        kept += whole.size();
    }
    const std::vector<uint8_t> part(CReplayDataObject::kMaxWrittenBytes - kept - 0x10000);
    HRESULT inner = S_OK;
    auto reading = fw::MakeComObject<CallingBackStream>([&] { inner = SetBytes(replay.Get(), other, part); });
    reading->Inner()->Write(part.data(), static_cast<ULONG>(part.size()), nullptr);
    STGMEDIUM streamMedium = {};
    streamMedium.tymed = TYMED_ISTREAM;
    streamMedium.pstm = reading.Get();
    FORMATETC streamFmt = Fmt(written, TYMED_ISTREAM);
    EXPECT_EQ(replay->SetData(&streamFmt, &streamMedium, FALSE), S_OK);
    EXPECT_EQ(inner, E_UNEXPECTED);
    size_t total = 0;
    for (const CReplayWrite& write : replay->Writes()) total += write.m_bytes.size();
    EXPECT_LE(total, CReplayDataObject::kMaxWrittenBytes);
    EXPECT_EQ(SetBytes(replay.Get(), other, part), E_OUTOFMEMORY);

    // A target that asks to be written into again from inside each write is stopped after
    // a few levels.
    int depth = 0, deepest = 0;
    HRESULT refused = S_OK;
    fw::ComPtr<CallingBackStream> recursing;
    recursing = fw::MakeComObject<CallingBackStream>([&] {
        if (++depth < 3 * CReplayDataObject::kMaxNestedHere) {
            deepest = std::max(deepest, depth);
            STGMEDIUM again = {};
            again.tymed = TYMED_ISTREAM;
            again.pstm = recursing.Get();
            FORMATETC text = Fmt(CF_UNICODETEXT, TYMED_ISTREAM);
            const HRESULT hr = replay->GetDataHere(&text, &again);
            if (FAILED(hr)) refused = hr;
        }
        --depth;
    });
    here.pstm = recursing.Get();
    FORMATETC text = Fmt(CF_UNICODETEXT, TYMED_ISTREAM);
    EXPECT_EQ(replay->GetDataHere(&text, &here), S_OK);
    EXPECT_EQ(refused, E_UNEXPECTED);
    EXPECT_LE(deepest, CReplayDataObject::kMaxNestedHere);
}

// The source's own enumeration, an exact duplicate included, is offered again as it was,
// also from the snapshot's file; the duplicate answers as its first.
TEST_F(Replay, TheSourcesEnumerationWithItsDuplicatesIsOfferedAgain)
{
    const UINT html = Registered(L"HTML Format");
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'h', 0, 0, 0}));
    m_object->Offer(Fmt(html), GlobalMedium({'<', 'b', '>'}));
    m_object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'x', 0, 0, 0}));
    std::vector<FORMATETC> formats, enumerated;
    ListFormats(m_source, formats, &enumerated);
    auto snapshot = std::make_shared<CCBDataArray>();
    TestProgress progress;
    snapshot->Capture(m_source, formats, progress);
    snapshot->RecordEnumeration(enumerated, formats);
    ASSERT_EQ(snapshot->size(), 2u);

    const std::wstring path = m_dir / L"enumeration.kavilo";
    ASSERT_TRUE(SaveSnapshotFile(path, CSnapshotInfo(), *snapshot, progress).Done());
    CSnapshotInfo info;
    std::shared_ptr<CCBDataArray> opened;
    ASSERT_TRUE(OpenSnapshotFile(path, info, opened, progress).Done());
    for (const auto& from : {snapshot, opened}) {
        auto replay = CReplayDataObject::ForSnapshot(from);
        const std::vector<FORMATETC> offered = Enumerate(replay.Get());
        ASSERT_EQ(offered.size(), 3u);
        EXPECT_EQ(offered[0].cfFormat, CF_UNICODETEXT);
        EXPECT_EQ(offered[1].cfFormat, html);
        EXPECT_EQ(offered[2].cfFormat, CF_UNICODETEXT);
        std::vector<uint8_t> first, duplicate;
        EXPECT_EQ(Get(replay.Get(), offered[0], &first), S_OK);
        EXPECT_EQ(Get(replay.Get(), offered[2], &duplicate), S_OK);
        EXPECT_EQ(duplicate, first);
        EXPECT_EQ(duplicate, Stored(*(*snapshot)[0]));
    }
}
