// Owners and scope guards for Win32 resources.
// Unique<Traits> owns exactly one handle and is move-only; the traits say what
// the invalid value is and how the handle is closed. Scope guards borrow state
// for the length of a block (a locked HGLOBAL, a STGMEDIUM, a selected GDI object).
// COM pointers are Microsoft::WRL::ComPtr (<wrl/client.h>).
#pragma once

#include <windows.h>
#include <objidl.h>
#include <ole2.h>
#include <wrl/client.h>

#include <cstddef>
#include <utility>

namespace fw {

template <typename Traits>
class Unique {
public:
    using Type = typename Traits::Type;

    Unique() noexcept = default;
    explicit Unique(Type h) noexcept : m_h(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : m_h(other.Release()) {}
    Unique& operator=(Unique&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~Unique() { Reset(); }

    Type Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership without closing; the caller takes it over.
    Type Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }

    void Reset(Type h = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(m_h, h);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

private:
    Type m_h = Traits::Invalid();
};

// Kernel handles whose failure value is INVALID_HANDLE_VALUE (CreateFileW, FindFirstFileW's
// counterpart is FindHandleTraits below).
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
// Kernel handles whose failure value is null (CreateMutexW, CreateEventW, processes).
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct GlobalTraits {
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::GlobalFree(h); }
};
template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct EnhMetaFileTraits {
    using Type = HENHMETAFILE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteEnhMetaFile(h); }
};
struct MetaFileTraits {
    using Type = HMETAFILE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteMetaFile(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyMenu(h); }
};
// Memory device contexts (CreateCompatibleDC), deleted with DeleteDC.
struct MemoryDCTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};
// A reference to a loaded library: each LoadLibraryW is matched by one FreeLibrary.
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

using UniqueFile = Unique<FileHandleTraits>;
using UniqueHandle = Unique<KernelHandleTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueGlobal = Unique<GlobalTraits>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniquePalette = Unique<GdiObjectTraits<HPALETTE>>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniqueEnhMetaFile = Unique<EnhMetaFileTraits>;
using UniqueMetaFile = Unique<MetaFileTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueRegKey = Unique<RegKeyTraits>;
using UniqueMemoryDC = Unique<MemoryDCTraits>;
using UniqueModule = Unique<ModuleTraits>;

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

// Locks an HGLOBAL for the life of the guard. The handle stays owned by someone else.
class GlobalLockView {
public:
    explicit GlobalLockView(HGLOBAL h) noexcept : m_h(h), m_p(h ? ::GlobalLock(h) : nullptr) {}
    GlobalLockView(const GlobalLockView&) = delete;
    GlobalLockView& operator=(const GlobalLockView&) = delete;
    ~GlobalLockView()
    {
        if (m_p) ::GlobalUnlock(m_h);
    }
    void* Data() const noexcept { return m_p; }
    template <typename T>
    T* As() const noexcept
    {
        return static_cast<T*>(m_p);
    }
    // GlobalSize may exceed what was asked for at allocation: it is what the block holds.
    SIZE_T Size() const noexcept { return m_p ? ::GlobalSize(m_h) : 0; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

private:
    HGLOBAL m_h;
    void* m_p;
};

// Owns a STGMEDIUM filled by IDataObject::GetData and releases it with ReleaseStgMedium.
class StgMedium {
public:
    StgMedium() noexcept { ::ZeroMemory(&m_medium, sizeof m_medium); }
    StgMedium(const StgMedium&) = delete;
    StgMedium& operator=(const StgMedium&) = delete;
    ~StgMedium() { Reset(); }

    STGMEDIUM* operator&() noexcept { return &m_medium; }
    STGMEDIUM* operator->() noexcept { return &m_medium; }
    const STGMEDIUM& Get() const noexcept { return m_medium; }

    void Reset() noexcept
    {
        if (m_medium.tymed != TYMED_NULL || m_medium.pUnkForRelease) ::ReleaseStgMedium(&m_medium);
        ::ZeroMemory(&m_medium, sizeof m_medium);
    }

private:
    STGMEDIUM m_medium;
};

// Selects a GDI object into a DC and restores the previous one at the end of the block.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard()
    {
        if (m_old && m_old != HGDI_ERROR) ::SelectObject(m_dc, m_old);
    }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// Initialises COM (apartment-threaded) for the life of the guard.
class ComInit {
public:
    ComInit() noexcept : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ~ComInit()
    {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};

// Initialises OLE (clipboard, drag and drop) for the life of the guard.
class OleInit {
public:
    OleInit() noexcept : m_hr(::OleInitialize(nullptr)) {}
    OleInit(const OleInit&) = delete;
    OleInit& operator=(const OleInit&) = delete;
    ~OleInit()
    {
        if (SUCCEEDED(m_hr)) ::OleUninitialize();
    }
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};

}  // namespace fw
