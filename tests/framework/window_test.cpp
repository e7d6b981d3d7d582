// Window classes: a second window of a class finds the class registered by the first.
#include "framework/Window.h"
#include "tests/ImportPatch.h"

#include <gtest/gtest.h>

using testing_support::ImportPatch;

namespace {

using GetClassInfoExWFunction = BOOL(WINAPI*)(HINSTANCE, LPCWSTR, LPWNDCLASSEXW);
GetClassInfoExWFunction g_getClassInfoEx = nullptr;
int g_lookups = 0;

// GetClassInfoExW as its contract states it: the caller sets cbSize first.
BOOL WINAPI StrictGetClassInfoExW(HINSTANCE instance, LPCWSTR name, LPWNDCLASSEXW wc)
{
    ++g_lookups;
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return g_getClassInfoEx(instance, name, wc);
}

}  // namespace

TEST(Window, SecondWindowOfAClassUsesTheRegisteredClass)
{
    ImportPatch patch("user32.dll", "GetClassInfoExW", reinterpret_cast<void*>(&StrictGetClassInfoExW));
    ASSERT_TRUE(patch.Applied()) << "the tests import GetClassInfoExW from user32.dll";
    g_getClassInfoEx = reinterpret_cast<GetClassInfoExWFunction>(patch.Original());
    g_lookups = 0;

    fw::Window first, second;
    ASSERT_TRUE(first.Create(L"OrvettaWindowTestClass", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr, nullptr));
    ASSERT_TRUE(second.Create(L"OrvettaWindowTestClass", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr, nullptr))
        << "the class lookup failed, so registering the class again was refused";
    EXPECT_EQ(g_lookups, 2);
    EXPECT_EQ(::GetClassLongPtrW(second.GetSafeHwnd(), GCLP_WNDPROC),
              ::GetClassLongPtrW(first.GetSafeHwnd(), GCLP_WNDPROC));
}
