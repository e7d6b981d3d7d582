// Profile (settings) functions over the registry:
// HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>\<entry>.
// Integers are REG_DWORD, strings REG_SZ. Reads fall back to the default when the
// value is absent or of another type.
#pragma once

#include <windows.h>

#include <string>

// winbase.h maps these names to the old INI-file functions; ours are the registry ones.
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString

namespace fw {

// Sets the company part of the key; the application part is GetAppName().
void SetRegistryKey(const std::wstring& key);
// "Software\<registry key>\<application name>", relative to HKEY_CURRENT_USER.
std::wstring GetAppRegistryPath();

int GetProfileInt(const std::wstring& section, const std::wstring& entry, int defaultValue);
bool WriteProfileInt(const std::wstring& section, const std::wstring& entry, int value);
std::wstring GetProfileString(const std::wstring& section, const std::wstring& entry,
                              const std::wstring& defaultValue = std::wstring());
bool WriteProfileString(const std::wstring& section, const std::wstring& entry, const std::wstring& value);

// Removes the application's key with all its sub-keys, then the registry-key
// (company) key if no sub-key is left under it.
bool DeleteAppRegistryKey();

}  // namespace fw
