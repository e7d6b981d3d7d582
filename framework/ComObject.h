// The reference counting shared by the program's own COM objects: one interlocked
// count, QueryInterface over the listed interfaces (IUnknown answered through the
// first), and deletion when the last reference is released. Objects are made by
// MakeComObject and handed out through ComPtr; never delete one directly.
#pragma once

#include "framework/Handles.h"

#include <unknwn.h>

#include <new>
#include <utility>

namespace fw {

template <typename First, typename... More>
class ComObject : public First, public More... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (iid == __uuidof(IUnknown))
            *ppv = static_cast<First*>(this);
        else if (!(Offer<First>(iid, ppv) || (Offer<More>(iid, ppv) || ...)))
            *ppv = QueryMore(iid);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    // Interfaces answered beyond the listed ones, such as a listed interface's base
    // (ISequentialStream of an IStream); null for none. No AddRef here.
    virtual void* QueryMore(REFIID) { return nullptr; }

private:
    template <typename I>
    bool Offer(REFIID iid, void** ppv)
    {
        if (iid != __uuidof(I)) return false;
        *ppv = static_cast<I*>(this);
        return true;
    }

    volatile LONG m_refs = 1;
};

// A new object with one reference, held by the returned pointer; null when memory is
// short (no exception leaves a COM caller's stack through here).
template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args)
{
    ComPtr<T> object;
    // mingw-w64's ComPtr::Attach adds a reference of its own (the platform's does not),
    // so the new object's one reference is handed over through the address instead.
    *object.GetAddressOf() = new (std::nothrow) T(std::forward<Args>(args)...);
    return object;
}

}  // namespace fw
