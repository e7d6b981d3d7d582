#include "framework/Profile.h"

#include "framework/Handles.h"
#include "framework/MessageBox.h"

#include <vector>

namespace fw {
namespace {

std::wstring g_registryKey = L"Orvetta";

UniqueRegKey OpenSection(const std::wstring& section, bool create)
{
    const std::wstring path = GetAppRegistryPath() + L"\\" + section;
    HKEY key = nullptr;
    LONG rc;
    if (create) {
        rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    } else {
        rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    }
    return UniqueRegKey(rc == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

void SetRegistryKey(const std::wstring& key)
{
    g_registryKey = key;
}

std::wstring GetAppRegistryPath()
{
    return L"Software\\" + g_registryKey + L"\\" + GetAppName();
}

int GetProfileInt(const std::wstring& section, const std::wstring& entry, int defaultValue)
{
    UniqueRegKey key = OpenSection(section, false);
    if (!key) return defaultValue;
    DWORD type = 0, value = 0, size = sizeof value;
    if (::RegQueryValueExW(key.Get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return defaultValue;
    }
    return static_cast<int>(value);
}

bool WriteProfileInt(const std::wstring& section, const std::wstring& entry, int value)
{
    UniqueRegKey key = OpenSection(section, true);
    if (!key) return false;
    const DWORD dw = static_cast<DWORD>(value);
    return ::RegSetValueExW(key.Get(), entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dw), sizeof dw) ==
           ERROR_SUCCESS;
}

std::wstring GetProfileString(const std::wstring& section, const std::wstring& entry, const std::wstring& defaultValue)
{
    UniqueRegKey key = OpenSection(section, false);
    if (!key) return defaultValue;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.Get(), entry.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return defaultValue;
    }
    // The stored value need not end with a NUL; room for one more character is kept.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) !=
        ERROR_SUCCESS) {
        return defaultValue;
    }
    return std::wstring(buffer.data());
}

bool WriteProfileString(const std::wstring& section, const std::wstring& entry, const std::wstring& value)
{
    UniqueRegKey key = OpenSection(section, true);
    if (!key) return false;
    return ::RegSetValueExW(key.Get(), entry.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool DeleteAppRegistryKey()
{
    const std::wstring app = GetAppRegistryPath();
    LONG rc = ::RegDeleteTreeW(HKEY_CURRENT_USER, app.c_str());
    bool ok = rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    rc = ::RegDeleteKeyW(HKEY_CURRENT_USER, app.c_str());
    ok = ok && (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND);

    const std::wstring company = L"Software\\" + g_registryKey;
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, company.c_str(), 0, KEY_READ, &raw) == ERROR_SUCCESS) {
        UniqueRegKey key(raw);
        DWORD subKeys = 0;
        if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subKeys == 0) {
            key.Reset();
            ::RegDeleteKeyW(HKEY_CURRENT_USER, company.c_str());
        }
    }
    return ok;
}

}  // namespace fw
