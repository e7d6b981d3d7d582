// A data object handed from one test process to another through a file, as a drag hands
// its source's object to the drop target: the source writes its marshalled form, the
// other side unmarshals a proxy from it.
#pragma once

#include "framework/ComObject.h"
#include "framework/Handles.h"

#include <windows.h>

#include <ole2.h>

#include <string>
#include <vector>

namespace testing_support {

inline bool MarshalInto(IDataObject* object, const wchar_t* path)
{
    fw::ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return false;
    if (FAILED(::CoMarshalInterface(stream.Get(), IID_IDataObject, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL)))
        return false;
    HGLOBAL global = nullptr;
    if (FAILED(::GetHGlobalFromStream(stream.Get(), &global))) return false;
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    fw::GlobalLockView view(global);
    fw::UniqueFile file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), view.Data(), static_cast<DWORD>(stat.cbSize.QuadPart), &written, nullptr);
}

// The proxy of the object marshalled into `path`; null when it cannot be read.
inline fw::ComPtr<IDataObject> UnmarshalFrom(const std::wstring& path)
{
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) return nullptr;
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
        return nullptr;
    fw::ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    fw::ComPtr<IDataObject> object;
    if (FAILED(::CoUnmarshalInterface(stream.Get(), IID_PPV_ARGS(&object)))) return nullptr;
    return object;
}

}  // namespace testing_support
