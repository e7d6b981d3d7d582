// What a reader of the clipboard sees, written down so that two readings can be compared:
// one line per offered description (name, aspect, index, media bits) with what GetData
// gave for it (success, the medium, and the bytes or a summary of the handle). For
// "FileContents" the files are also asked for by index, 0 upwards, while they come.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

inline std::string Hex(const std::vector<BYTE>& bytes)
{
    std::string text;
    char digits[4];
    for (BYTE b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

inline std::string FormatName(UINT format)
{
    char name[256] = {};
    if (::GetClipboardFormatNameA(format, name, sizeof name) > 0) return name;
    std::string number = "#";
    number += std::to_string(format);
    return number;
}

inline std::vector<BYTE> ReadStreamFromStart(IStream* stream)
{
    std::vector<BYTE> bytes;
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    BYTE buffer[65536];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got) bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

// Element names and bytes in the storage's own order, sub-storages in braces.
inline std::string DescribeStorage(IStorage* storage)
{
    std::string text;
    fw::ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, &elements))) return "?";
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        char name[256] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, stat.pwcsName, -1, name, sizeof name, nullptr, nullptr);
        text += name;
        text += '=';
        constexpr DWORD kRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
        if (stat.type == STGTY_STREAM) {
            fw::ComPtr<IStream> stream;
            if (SUCCEEDED(storage->OpenStream(stat.pwcsName, nullptr, kRead, 0, &stream)))
                text += Hex(ReadStreamFromStart(stream.Get()));
        } else if (stat.type == STGTY_STORAGE) {
            fw::ComPtr<IStorage> sub;
            if (SUCCEEDED(storage->OpenStorage(stat.pwcsName, nullptr, kRead, nullptr, 0, &sub)))
                text.append("{").append(DescribeStorage(sub.Get())).append("}");
        }
        text += ";";
        ::CoTaskMemFree(stat.pwcsName);
    }
    return text;
}

inline std::string DescribeMedium(const STGMEDIUM& medium)
{
    switch (medium.tymed) {
        case TYMED_HGLOBAL: {
            fw::GlobalLockView view(medium.hGlobal);
            return "HGLOBAL " + Hex(std::vector<BYTE>(view.As<BYTE>(), view.As<BYTE>() + view.Size()));
        }
        case TYMED_ISTREAM:
            return "ISTREAM " + Hex(ReadStreamFromStart(medium.pstm));
        case TYMED_FILE: {
            fw::UniqueFile file(
                ::CreateFileW(medium.lpszFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            std::vector<BYTE> bytes(file ? ::GetFileSize(file.Get(), nullptr) : 0);
            DWORD got = 0;
            if (!bytes.empty()) ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
            return "FILE " + Hex(bytes);
        }
        case TYMED_ISTORAGE:
            return "ISTORAGE " + DescribeStorage(medium.pstg);
        case TYMED_GDI: {
            BITMAP bitmap = {};
            ::GetObjectW(medium.hBitmap, sizeof bitmap, &bitmap);
            std::vector<BYTE> bits(static_cast<size_t>(bitmap.bmWidthBytes) * bitmap.bmHeight);
            if (!bits.empty()) ::GetBitmapBits(medium.hBitmap, static_cast<LONG>(bits.size()), bits.data());
            return "GDI " + std::to_string(bitmap.bmWidth) + "x" + std::to_string(bitmap.bmHeight) + " " + Hex(bits);
        }
        case TYMED_ENHMF: {
            std::vector<BYTE> bits(::GetEnhMetaFileBits(medium.hEnhMetaFile, 0, nullptr));
            if (!bits.empty()) ::GetEnhMetaFileBits(medium.hEnhMetaFile, static_cast<UINT>(bits.size()), bits.data());
            return "ENHMF " + Hex(bits);
        }
        case TYMED_MFPICT: {
            fw::GlobalLockView view(medium.hMetaFilePict);
            const auto* picture = view.As<METAFILEPICT>();
            if (!picture) return "MFPICT ?";
            std::vector<BYTE> bits(::GetMetaFileBitsEx(picture->hMF, 0, nullptr));
            if (!bits.empty()) ::GetMetaFileBitsEx(picture->hMF, static_cast<UINT>(bits.size()), bits.data());
            return "MFPICT " + std::to_string(picture->mm) + " " + std::to_string(picture->xExt) + "x" +
                   std::to_string(picture->yExt) + " " + Hex(bits);
        }
        default:
            return "tymed " + std::to_string(medium.tymed);
    }
}

// CLIPBRD_E_CANT_OPEN from a clipboard object: another program (under Wine, the system's
// clipboard manager right after a change) holds the clipboard for a moment.
class ClipboardBusy {};

inline std::string DescribeRequest(IDataObject* object, FORMATETC fmt)
{
    fw::StgMedium medium;
    const HRESULT hr = object->GetData(&fmt, &medium);
    if (hr == CLIPBRD_E_CANT_OPEN) throw ClipboardBusy();
    return FAILED(hr) ? "refused" : DescribeMedium(medium.Get());
}

inline std::string DescribeFormat(const FORMATETC& fmt)
{
    return FormatName(fmt.cfFormat) + " aspect " + std::to_string(fmt.dwAspect) + " lindex " +
           std::to_string(fmt.lindex) + " tymed " + std::to_string(fmt.tymed);
}

// The listing of the clipboard, one line per description; empty when it cannot be read.
inline std::vector<std::string> ListClipboardOnce()
{
    std::vector<std::string> lines;
    fw::ComPtr<IDataObject> clipboard;
    fw::ComPtr<IEnumFORMATETC> formats;
    HRESULT hr = ::OleGetClipboard(&clipboard);
    if (SUCCEEDED(hr)) hr = clipboard->EnumFormatEtc(DATADIR_GET, &formats);
    if (hr == CLIPBRD_E_CANT_OPEN) throw ClipboardBusy();
    if (FAILED(hr)) {
        std::printf("note: the clipboard cannot be listed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return lines;
    }
    const UINT fileContents = ::RegisterClipboardFormatW(L"FileContents");
    FORMATETC fmt;
    while (formats->Next(1, &fmt, nullptr) == S_OK) {
        if (fmt.ptd) ::CoTaskMemFree(fmt.ptd);
        fmt.ptd = nullptr;
        lines.push_back(DescribeFormat(fmt) + " => " + DescribeRequest(clipboard.Get(), fmt));
        if (fmt.cfFormat != fileContents) continue;
        for (LONG i = 0; i < 16; ++i) {
            FORMATETC file = fmt;
            file.lindex = i;
            const std::string got = DescribeRequest(clipboard.Get(), file);
            if (got == "refused") break;
            lines.push_back("  file " + std::to_string(i) + " => " + got);
        }
    }
    return lines;
}

// The listing, read again while the clipboard is held by someone else, for up to 5 s.
inline std::vector<std::string> ListClipboard()
{
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    for (;;) {
        try {
            return ListClipboardOnce();
        } catch (const ClipboardBusy&) {
            std::printf("note: the clipboard is held by another program; read again\n");
            if (::GetTickCount64() >= deadline) return {};
        }
        // The holder may be waiting for this thread to render what it put there.
        MSG msg;
        for (ULONGLONG until = ::GetTickCount64() + 50; ::GetTickCount64() < until;) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            ::Sleep(5);
        }
    }
}

}  // namespace testing_support
