#include "framework/Profile.h"

#include "framework/Handles.h"

#include <gtest/gtest.h>

namespace {

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

DWORD ValueType(const std::wstring& path, const std::wstring& name)
{
    DWORD type = REG_NONE;
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                       nullptr) != ERROR_SUCCESS)
        return REG_NONE;
    return type;
}

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A company key of the tests' own, so that the program's key is never touched.
        fw::SetRegistryKey(L"OrvettaProfileTest");
        fw::DeleteAppRegistryKey();
    }
    void TearDown() override
    {
        fw::DeleteAppRegistryKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvettaProfileTest");
        fw::SetRegistryKey(L"Orvetta");
    }
};

}  // namespace

TEST_F(Profile, ValuesLieUnderSoftwareCompanyApplicationSection)
{
    EXPECT_EQ(fw::GetAppRegistryPath(), L"Software\\OrvettaProfileTest\\Orvetta");
    ASSERT_TRUE(fw::WriteProfileInt(L"Settings", L"SubDirSizeLimit", 64));
    ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", L"C:\\一時"));
    const std::wstring section = L"Software\\OrvettaProfileTest\\Orvetta\\Settings";
    EXPECT_EQ(ValueType(section, L"SubDirSizeLimit"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ValueType(section, L"TemporaryFolder"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(fw::GetProfileInt(L"Settings", L"SubDirSizeLimit", 128), 64);
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"TemporaryFolder", L""), L"C:\\一時");
}

TEST_F(Profile, AbsentOrMistypedValuesGiveTheDefault)
{
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Left", -1), -1);
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"CodePages", L"既定"), L"既定");
    ASSERT_TRUE(fw::WriteProfileString(L"Frame", L"Left", L"12"));
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Left", -1), -1);
    ASSERT_TRUE(fw::WriteProfileInt(L"Frame", L"Top", -5));
    EXPECT_EQ(fw::GetProfileInt(L"Frame", L"Top", 0), -5);
    EXPECT_EQ(fw::GetProfileString(L"Frame", L"Top", L"d"), L"d");
}

TEST_F(Profile, EmptyAndUnterminatedStringsReadBack)
{
    ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", L""));
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"TemporaryFolder", L"default"), L"");
    // A value stored by another tool without its terminating NUL.
    const std::wstring path = L"Software\\OrvettaProfileTest\\Orvetta\\Settings";
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_WRITE, &raw), ERROR_SUCCESS);
    fw::UniqueRegKey key(raw);
    const wchar_t text[3] = {L'a', L'b', L'c'};
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
    EXPECT_EQ(fw::GetProfileString(L"Settings", L"Raw", L""), L"abc");
}

TEST_F(Profile, DeletingTheApplicationKeyLeavesNoCompanyKeyWhenItIsEmpty)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Frame", L"Initialized", 1));
    ASSERT_TRUE(fw::WriteProfileString(L"FormatsDefaultViewTab", L".png", L"HEX"));
    ASSERT_TRUE(KeyExists(L"Software\\OrvettaProfileTest\\Orvetta\\FormatsDefaultViewTab"));
    EXPECT_TRUE(fw::DeleteAppRegistryKey());
    EXPECT_FALSE(KeyExists(L"Software\\OrvettaProfileTest\\Orvetta"));
    EXPECT_FALSE(KeyExists(L"Software\\OrvettaProfileTest"));
}

TEST_F(Profile, DeletingTheApplicationKeyKeepsACompanyKeyThatHoldsOtherKeys)
{
    ASSERT_TRUE(fw::WriteProfileInt(L"Frame", L"Initialized", 1));
    HKEY other = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\OrvettaProfileTest\\Other", 0, nullptr, 0, KEY_WRITE,
                                nullptr, &other, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(other);
    EXPECT_TRUE(fw::DeleteAppRegistryKey());
    EXPECT_FALSE(KeyExists(L"Software\\OrvettaProfileTest\\Orvetta"));
    EXPECT_TRUE(KeyExists(L"Software\\OrvettaProfileTest\\Other"));
}
