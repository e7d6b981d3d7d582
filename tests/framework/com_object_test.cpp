#include "framework/ComObject.h"

#include <objidl.h>

#include <gtest/gtest.h>

namespace {

int g_alive = 0;

class TwoFacedStream : public fw::ComObject<IStream, IDropSource> {
public:
    TwoFacedStream() { ++g_alive; }
    ~TwoFacedStream() override { --g_alive; }

    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return S_OK; }

protected:
    void* QueryMore(REFIID iid) override
    {
        return iid == __uuidof(ISequentialStream) ? static_cast<ISequentialStream*>(this) : nullptr;
    }
};

}  // namespace

TEST(ComObject, AnswersItsInterfacesWithOneIdentityAndDiesWithItsLastReference)
{
    {
        fw::ComPtr<TwoFacedStream> object = fw::MakeComObject<TwoFacedStream>();
        ASSERT_TRUE(object);
        EXPECT_EQ(g_alive, 1);

        fw::ComPtr<IUnknown> unknown1, unknown2;
        fw::ComPtr<IDropSource> source;
        fw::ComPtr<ISequentialStream> sequential;
        ASSERT_HRESULT_SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&source)));
        ASSERT_HRESULT_SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&sequential)));
        ASSERT_HRESULT_SUCCEEDED(source->QueryInterface(IID_PPV_ARGS(&unknown1)));
        ASSERT_HRESULT_SUCCEEDED(sequential->QueryInterface(IID_PPV_ARGS(&unknown2)));
        EXPECT_EQ(unknown1.Get(), unknown2.Get()) << "one IUnknown whichever interface is asked";

        void* none = &g_alive;
        EXPECT_EQ(object->QueryInterface(IID_IDataObject, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr) << "the out pointer is cleared on failure";
        EXPECT_EQ(g_alive, 1);
    }
    EXPECT_EQ(g_alive, 0);
}
