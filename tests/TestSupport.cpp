#include "tests/TestSupport.h"

#include "framework/Handles.h"

#include <shellapi.h>

namespace testing_support {

ScratchDir::ScratchDir()
{
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"orvetta-test-%lu-%u", ::GetCurrentProcessId(), ++counter);
        m_path = std::wstring(base) + name;
        if (::CreateDirectoryW(m_path.c_str(), nullptr)) break;
    }
}

ScratchDir::~ScratchDir() { RemoveTree(m_path); }

void RemoveTree(const std::wstring& path)
{
    for (const std::wstring& name : ListNames(path)) {
        const std::wstring child = path + L"\\" + name;
        if (DirectoryExists(child)) {
            RemoveTree(child);
        } else {
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(child.c_str());
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    fw::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::wstring> ListNames(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    fw::UniqueFind find(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!find) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find.Get(), &found));
    return names;
}

std::wstring ExecutableFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring s(path, length);
    return s.substr(0, s.find_last_of(L"\\/"));
}

}  // namespace testing_support
