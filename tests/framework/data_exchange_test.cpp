#include "framework/DataExchange.h"

#include "framework/Dialog.h"
#include "framework/MessageBox.h"
#include "res/dialogs_resource.h"

#include <gtest/gtest.h>

TEST(DataExchange, ParseIntTakesSignedDecimalsWithinRangeOnly)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        int value;
    } cases[] = {
        {L"0", true, 0},
        {L"128", true, 128},
        {L"-5", true, -5},
        {L"+7", true, 7},
        {L"  42  ", true, 42},
        {L"\t-0", true, 0},
        {L"2147483647", true, INT_MAX},
        {L"-2147483648", true, INT_MIN},
        {L"2147483648", false, 0},
        {L"-2147483649", false, 0},
        {L"99999999999999999999", false, 0},
        {L"", false, 0},
        {L"  ", false, 0},
        {L"-", false, 0},
        {L"12x", false, 0},
        {L"1 2", false, 0},
        {L"0x10", false, 0},
        {L"1.5", false, 0},
        {L"１２", false, 0},
        {L"--1", false, 0},
    };
    for (const Case& c : cases) {
        int value = 12345;
        EXPECT_EQ(fw::ParseInt(c.text, value), c.ok) << static_cast<const void*>(c.text);
        EXPECT_EQ(value, c.ok ? c.value : 12345);
    }
}

namespace {

class Controls : public fw::Dialog {
public:
    Controls() : fw::Dialog(IDD_SETTING) {}
};

}  // namespace

TEST(DataExchange, IntAndRadioMoveBothWaysAndABadNumberIsReported)
{
    Controls dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HWND hwnd = dialog.GetSafeHwnd();
    ::ShowWindow(hwnd, SW_SHOW);

    int number = -17;
    EXPECT_TRUE(fw::ExchangeInt(hwnd, IDC_SETTING_SIZE_LIMIT, number, false));
    EXPECT_EQ(dialog.GetDlgItemText(IDC_SETTING_SIZE_LIMIT), L"-17");
    ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"300");
    EXPECT_TRUE(fw::ExchangeInt(hwnd, IDC_SETTING_SIZE_LIMIT, number, true));
    EXPECT_EQ(number, 300);

    {
        fw::MessageBoxRecorder boxes;
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"三百");
        ::SetFocus(::GetDlgItem(hwnd, IDOK));
        EXPECT_FALSE(fw::ExchangeInt(hwnd, IDC_SETTING_SIZE_LIMIT, number, true));
        EXPECT_EQ(number, 300);
        EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"整数を入力してください。"});
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(hwnd, IDC_SETTING_SIZE_LIMIT));
        DWORD start = 1, end = 0;
        ::SendDlgItemMessageW(hwnd, IDC_SETTING_SIZE_LIMIT, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                              reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 2u);
    }

    int mode = 1;
    EXPECT_TRUE(fw::ExchangeRadio(hwnd, IDC_SETTING_AS_SHELLFOLDER, mode, false));
    EXPECT_EQ(::IsDlgButtonChecked(hwnd, IDC_SETTING_AS_SHELLFOLDER), BST_UNCHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(hwnd, IDC_SETTING_AS_STORAGE), BST_CHECKED);
    ::CheckDlgButton(hwnd, IDC_SETTING_AS_STORAGE, BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_SETTING_AS_SHELLFOLDER, BST_CHECKED);
    EXPECT_TRUE(fw::ExchangeRadio(hwnd, IDC_SETTING_AS_SHELLFOLDER, mode, true));
    EXPECT_EQ(mode, 0);
    // A value with no button clears the group, which then reads back as none.
    mode = 5;
    fw::ExchangeRadio(hwnd, IDC_SETTING_AS_SHELLFOLDER, mode, false);
    EXPECT_TRUE(fw::ExchangeRadio(hwnd, IDC_SETTING_AS_SHELLFOLDER, mode, true));
    EXPECT_EQ(mode, -1);
    // The group ends at the next group start: the OK button is not part of it.
    EXPECT_FALSE(fw::ExchangeRadio(hwnd, IDC_SETTING_SIZE_LIMIT, mode, true));
    dialog.DestroyWindow();
}
