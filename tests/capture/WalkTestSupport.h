// Helpers of the walk and file-group tests: the capture settings restored after a test,
// DROPFILES blocks, compound files and a fake shell folder for what Wine's shell cannot
// produce (a folder that contains itself, items that bind to storages).
#pragma once

#include "capture/CaptureSettings.h"
#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Sets the size limit and the Shell IDList mode for the life of the object.
class ScopedCaptureSettings {
public:
    ScopedCaptureSettings(int32_t sizeLimitMegabytes, int32_t howToGetShellIDList = 0) : m_saved(CaptureSettings())
    {
        CaptureSettings().m_subDirSizeLimit = sizeLimitMegabytes;
        CaptureSettings().m_howToGetShellIDList = howToGetShellIDList;
    }
    ~ScopedCaptureSettings() { CaptureSettings() = m_saved; }

private:
    CCaptureSettings m_saved;
};

inline std::vector<uint8_t> WideBytes(const std::wstring& text)
{
    std::vector<uint8_t> bytes(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

inline std::vector<uint8_t> AnsiBytes(const std::wstring& text)
{
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), reinterpret_cast<char*>(bytes.data()),
                          size, nullptr, nullptr);
    return bytes;
}

// NUL-terminated names followed by the empty name, wide or in the ANSI code page.
inline std::vector<uint8_t> NameListBytes(const std::vector<std::wstring>& names, bool wide)
{
    std::vector<uint8_t> bytes;
    const size_t unit = wide ? 2 : 1;
    for (const auto& name : names) {
        const auto text = wide ? WideBytes(name) : AnsiBytes(name);
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.insert(bytes.end(), unit, 0);
    }
    bytes.insert(bytes.end(), unit, 0);
    return bytes;
}

// A DROPFILES block as the shell builds it: the 20-byte header, then the names.
inline std::vector<uint8_t> DropFilesBytes(const std::vector<std::wstring>& paths, bool wide)
{
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.fWide = wide;
    std::vector<uint8_t> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    const auto names = NameListBytes(paths, wide);
    bytes.insert(bytes.end(), names.begin(), names.end());
    return bytes;
}

// A "FileGroupDescriptorW" block naming the files, with no other fields set.
inline std::vector<uint8_t> FileGroupBytes(const std::vector<std::wstring>& names)
{
    std::vector<uint8_t> bytes(4 + names.size() * sizeof(FILEDESCRIPTORW), 0);
    const uint32_t count = static_cast<uint32_t>(names.size());
    std::memcpy(bytes.data(), &count, 4);
    for (size_t i = 0; i < names.size(); ++i) {
        FILEDESCRIPTORW d = {};
        wcsncpy(d.cFileName, names[i].c_str(), MAX_PATH - 1);
        std::memcpy(bytes.data() + 4 + i * sizeof d, &d, sizeof d);
    }
    return bytes;
}

// A new compound file at `path`, open for writing.
inline fw::ComPtr<IStorage> CreateCompoundFile(const std::wstring& path)
{
    fw::ComPtr<IStorage> storage;
    ::StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage);
    return storage;
}

inline bool AddStream(IStorage* storage, const wchar_t* name, const std::vector<uint8_t>& bytes)
{
    fw::ComPtr<IStream> stream;
    if (FAILED(storage->CreateStream(name, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream)))
        return false;
    ULONG written = 0;
    return bytes.empty() || (SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) &&
                             written == bytes.size());
}

inline fw::ComPtr<IStorage> AddStorage(IStorage* storage, const wchar_t* name)
{
    fw::ComPtr<IStorage> sub;
    storage->CreateStorage(name, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &sub);
    return sub;
}

// A shell folder whose items are chosen by the test. Each item ID is two bytes of size
// and the item's number; binding answers as the item says.
class FakeShellFolder : public IShellFolder {
public:
    struct Item {
        std::wstring name;
        std::function<HRESULT(REFIID riid, void** ppv)> bind;         // BindToObject
        std::function<HRESULT(REFIID riid, void** ppv)> bindStorage;  // BindToStorage
    };

    static FakeShellFolder* Create() { return new FakeShellFolder(); }
    std::vector<Item> m_items;
    int m_enumerations = 0;

    // An item ID list of this folder's item `index`, as the enumerator hands it out.
    static LPITEMIDLIST MakeId(uint8_t index)
    {
        auto* bytes = static_cast<uint8_t*>(::CoTaskMemAlloc(5));
        const uint8_t id[5] = {3, 0, index, 0, 0};
        std::memcpy(bytes, id, 5);
        return reinterpret_cast<LPITEMIDLIST>(bytes);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IShellFolder) {
            *ppv = static_cast<IShellFolder*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList** out) override
    {
        ++m_enumerations;
        *out = new Enumerator(static_cast<uint8_t>(m_items.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        const Item* item = Find(pidl);
        return item && item->bind ? item->bind(riid, ppv) : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        const Item* item = Find(pidl);
        return item && item->bindStorage ? item->bindStorage(riid, ppv) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags, STRRET* name) override
    {
        const Item* item = Find(pidl);
        if (!item) return E_INVALIDARG;
        // The parsing name comes back as an ANSI buffer, the normal one as a wide string.
        if (flags & SHGDN_FORPARSING) {
            name->uType = STRRET_CSTR;
            const auto ansi = AnsiBytes(item->name);
            std::memset(name->cStr, 0, sizeof name->cStr);
            std::memcpy(name->cStr, ansi.data(), std::min(ansi.size(), sizeof name->cStr));
            return S_OK;
        }
        return SHStrDupW((L"表示 " + item->name).c_str(), &name->pOleStr) == S_OK ? (name->uType = STRRET_WSTR, S_OK)
                                                                                  : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override
    {
        return E_NOTIMPL;
    }

private:
    class Enumerator : public IEnumIDList {
    public:
        explicit Enumerator(uint8_t count) : m_count(count) {}
        virtual ~Enumerator() = default;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
        {
            *ppv = nullptr;
            if (riid == IID_IUnknown || riid == IID_IEnumIDList) {
                *ppv = static_cast<IEnumIDList*>(this);
                AddRef();
                return S_OK;
            }
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&m_refs); }
        ULONG STDMETHODCALLTYPE Release() override
        {
            const LONG refs = ::InterlockedDecrement(&m_refs);
            if (refs == 0) delete this;
            return refs;
        }
        HRESULT STDMETHODCALLTYPE Next(ULONG, PITEMID_CHILD* out, ULONG* fetched) override
        {
            if (fetched) *fetched = 0;
            if (m_next >= m_count) return S_FALSE;
            *out = MakeId(m_next++);
            if (fetched) *fetched = 1;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Reset() override
        {
            m_next = 0;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return E_NOTIMPL; }

    private:
        LONG m_refs = 1;
        uint8_t m_count;
        uint8_t m_next = 0;
    };

    FakeShellFolder() = default;
    virtual ~FakeShellFolder() = default;
    const Item* Find(PCUIDLIST_RELATIVE pidl) const
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(pidl);
        if (!bytes || bytes[0] != 3 || bytes[2] >= m_items.size()) return nullptr;
        return &m_items[bytes[2]];
    }
    LONG m_refs = 1;
};

}  // namespace testing_support
