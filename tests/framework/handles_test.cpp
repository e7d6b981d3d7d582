#include "framework/Handles.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::ScratchDir;

namespace {

// Opening a file without sharing succeeds only when no other handle is open on it.
bool CanOpenExclusively(const std::wstring& path)
{
    fw::UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return f.IsValid();
}

class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid != IID_IUnknown) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    ULONG m_refs = 1;
};

}  // namespace

TEST(Handles, FileHandleIsClosedAtScopeEndAndMovesWithoutClosing)
{
    ScratchDir dir;
    const std::wstring path = dir / L"f.bin";
    ASSERT_TRUE(testing_support::WriteBytes(path, {1, 2, 3}));
    fw::UniqueFile outer;
    {
        fw::UniqueFile inner(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inner);
        EXPECT_FALSE(CanOpenExclusively(path));
        outer = std::move(inner);
        EXPECT_FALSE(inner.IsValid());
    }
    // Moved, not closed: still held by `outer`.
    EXPECT_FALSE(CanOpenExclusively(path));
    outer.Reset();
    EXPECT_TRUE(CanOpenExclusively(path));
}

TEST(Handles, ReleaseHandsOwnershipToTheCaller)
{
    fw::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    HANDLE raw = event.Release();
    EXPECT_FALSE(event);
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(raw, &flags));  // still open
    ::CloseHandle(raw);
}

TEST(Handles, GdiObjectIsDeleted)
{
    HBITMAP raw = ::CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_NE(::GetObjectType(raw), 0u);
    {
        fw::UniqueBitmap bitmap(raw);
    }
    EXPECT_EQ(::GetObjectType(raw), 0u);
}

TEST(Handles, GlobalLockViewUnlocksAtScopeEnd)
{
    fw::UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, 16));
    ASSERT_TRUE(block);
    {
        fw::GlobalLockView view(block.Get());
        ASSERT_TRUE(view);
        EXPECT_GE(view.Size(), 16u);
        EXPECT_EQ(::GlobalFlags(block.Get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(::GlobalFlags(block.Get()) & GMEM_LOCKCOUNT, 0u);
    fw::GlobalLockView none(nullptr);
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Size(), 0u);
}

TEST(Handles, StgMediumIsReleasedThroughItsReleaseObject)
{
    CountingUnknown releaser;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_TRUE(block);
    {
        fw::StgMedium medium;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = &releaser;
        releaser.AddRef();  // the reference the medium hands over
    }
    // ReleaseStgMedium leaves the block to the release object and releases it.
    EXPECT_EQ(releaser.m_refs, 1u);
    EXPECT_GE(::GlobalSize(block), 8u) << "the block belongs to the release object";
    ::GlobalFree(block);
}
