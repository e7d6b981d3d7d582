#include "app/AboutDlg.h"
#include "app/SettingDialog.h"

#include "framework/MessageBox.h"
#include "res/dialogs_resource.h"
#include "res/watch_resource.h"
#include "tests/ModalScript.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::ModalScript;
using testing_support::ScratchDir;

namespace {

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[512] = {};
    ::GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

void Click(HWND dialog, int id)
{
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Whether a window of the class is among the window's descendants.
bool HasDescendantOfClass(HWND window, const wchar_t* className)
{
    struct Search {
        const wchar_t* className;
        bool found;
    } search = {className, false};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            ::GetClassNameW(child, name, 64);
            s->found = s->found || std::wstring(name) == s->className;
            return !s->found ? TRUE : FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Checked(HWND dialog, int id)
{
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

HWND FindSettings()
{
    return ModalScript::FindDialog(L"設定");
}

// Runs the settings dialog over a plain window, with `script` driving it.
INT_PTR RunSettings(CSettingDialog& dialog, const ModalScript::Script& script)
{
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                   nullptr, nullptr, nullptr);
    ModalScript driver(&FindSettings, [&](HWND hwnd) {
        script(hwnd);
        // Whatever the script left open ends here, so that the test never hangs.
        if (::IsWindow(hwnd) && ::IsWindowVisible(hwnd)) Click(hwnd, IDCANCEL);
    });
    const INT_PTR result = dialog.DoModal(owner);
    EXPECT_TRUE(driver.Ran());
    ::DestroyWindow(owner);
    return result;
}

}  // namespace

TEST(SettingDialog, ShowsTheCallersValuesAndCancelKeepsThem)
{
    CSettingDialog dialog;
    dialog.m_sizeLimit = 128;
    dialog.m_importMode = 1;
    dialog.m_folder = L"C:\\一時フォルダ";
    const INT_PTR result = RunSettings(dialog, [](HWND hwnd) {
        EXPECT_EQ(Text(hwnd, IDC_SETTING_SIZE_LIMIT), L"128");
        EXPECT_FALSE(Checked(hwnd, IDC_SETTING_AS_SHELLFOLDER));
        EXPECT_TRUE(Checked(hwnd, IDC_SETTING_AS_STORAGE));
        EXPECT_EQ(Text(hwnd, IDC_SETTING_FOLDER), L"C:\\一時フォルダ");
        EXPECT_EQ(Text(hwnd, IDC_SETTING_AS_SHELLFOLDER), L"IShellFolderとして取り込む");
        EXPECT_EQ(Text(hwnd, IDC_SETTING_AS_STORAGE), L"IStorageとして取り込む");
        EXPECT_EQ(Text(hwnd, IDCANCEL), L"キャンセル");
        EXPECT_EQ(Text(hwnd, IDC_SETTING_BROWSE), L"...");
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"7");
        ::CheckRadioButton(hwnd, IDC_SETTING_AS_SHELLFOLDER, IDC_SETTING_AS_STORAGE, IDC_SETTING_AS_SHELLFOLDER);
        Click(hwnd, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_sizeLimit, 128);
    EXPECT_EQ(dialog.m_importMode, 1);
    EXPECT_EQ(dialog.m_folder, L"C:\\一時フォルダ");
}

TEST(SettingDialog, OkReadsNumberRadioAndExistingFolder)
{
    ScratchDir scratch;
    fw::MessageBoxRecorder boxes;
    CSettingDialog dialog;
    dialog.m_sizeLimit = 128;
    dialog.m_importMode = 0;
    const INT_PTR result = RunSettings(dialog, [&](HWND hwnd) {
        EXPECT_TRUE(Checked(hwnd, IDC_SETTING_AS_SHELLFOLDER));
        EXPECT_EQ(Text(hwnd, IDC_SETTING_FOLDER), L"");
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L" -5 ");
        Click(hwnd, IDC_SETTING_AS_STORAGE);
        ::SendDlgItemMessageW(hwnd, IDC_SETTING_AS_STORAGE, BM_CLICK, 0, 0);
        ::SetDlgItemTextW(hwnd, IDC_SETTING_FOLDER, scratch.Path().c_str());
        Click(hwnd, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(dialog.m_sizeLimit, -5);  // no range check: negative limits are stored
    EXPECT_EQ(dialog.m_importMode, 1);
    EXPECT_EQ(dialog.m_folder, scratch.Path());
}

TEST(SettingDialog, AnEmptyFolderFieldMeansTheSystemFolderAndIsAccepted)
{
    fw::MessageBoxRecorder boxes;
    CSettingDialog dialog;
    dialog.m_sizeLimit = 1;
    dialog.m_folder = L"C:\\old";
    const INT_PTR result = RunSettings(dialog, [](HWND hwnd) {
        ::SetDlgItemTextW(hwnd, IDC_SETTING_FOLDER, L"");
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"0");
        Click(hwnd, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(dialog.m_folder, L"");
    EXPECT_EQ(dialog.m_sizeLimit, 0);
}

TEST(SettingDialog, FolderIsCheckedBeforeTheNumberAndTheDialogStaysOpenOnEither)
{
    ScratchDir scratch;
    const std::wstring file = scratch / L"ファイル.txt";
    ASSERT_TRUE(testing_support::WriteBytes(file, {1, 2, 3}));
    fw::MessageBoxRecorder boxes;
    CSettingDialog dialog;
    dialog.m_sizeLimit = 128;
    std::vector<std::wstring> afterFile, afterMissing, afterNumber, afterOverflow;
    bool focusOnNumber = false, openAfterFaults = false;
    const INT_PTR result = RunSettings(dialog, [&](HWND hwnd) {
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"12x");
        ::SetDlgItemTextW(hwnd, IDC_SETTING_FOLDER, file.c_str());
        Click(hwnd, IDOK);
        afterFile = boxes.Texts();
        ::SetDlgItemTextW(hwnd, IDC_SETTING_FOLDER, (scratch / L"無い").c_str());
        Click(hwnd, IDOK);
        afterMissing = boxes.Texts();
        ::SetDlgItemTextW(hwnd, IDC_SETTING_FOLDER, scratch.Path().c_str());
        Click(hwnd, IDOK);
        afterNumber = boxes.Texts();
        focusOnNumber = ::GetFocus() == ::GetDlgItem(hwnd, IDC_SETTING_SIZE_LIMIT);
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"2147483648");
        Click(hwnd, IDOK);
        afterOverflow = boxes.Texts();
        openAfterFaults = ::IsWindowVisible(hwnd) != FALSE;
        ::SetDlgItemTextW(hwnd, IDC_SETTING_SIZE_LIMIT, L"2147483647");
        Click(hwnd, IDOK);
    });
    EXPECT_EQ(afterFile, std::vector<std::wstring>{L"指定されたフォルダが存在しません。"});
    EXPECT_EQ(afterMissing.size(), 2u);
    EXPECT_EQ(afterMissing.back(), L"指定されたフォルダが存在しません。");
    ASSERT_EQ(afterNumber.size(), 3u);
    EXPECT_EQ(afterNumber.back(), L"整数を入力してください。");
    EXPECT_TRUE(focusOnNumber);
    ASSERT_EQ(afterOverflow.size(), 4u);
    EXPECT_EQ(afterOverflow.back(), L"整数を入力してください。");
    EXPECT_TRUE(openAfterFaults);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_sizeLimit, 2147483647);
    EXPECT_EQ(dialog.m_folder, scratch.Path());
}

TEST(SettingDialog, HistoryCountIsOneToAHundredAndTheWatchModeIsACheckBox)
{
    fw::MessageBoxRecorder boxes;
    CSettingDialog dialog;
    dialog.m_sizeLimit = 1;
    std::wstring shownKept, shownBudget;
    std::vector<std::wstring> afterZero, afterTooMany, afterNoBudget;
    const INT_PTR result = RunSettings(dialog, [&](HWND hwnd) {
        shownKept = Text(hwnd, IDC_SETTING_KEPT_SNAPSHOTS);
        shownBudget = Text(hwnd, IDC_SETTING_HISTORY_BUDGET);
        EXPECT_FALSE(Checked(hwnd, IDC_SETTING_WATCH_LIST_ONLY));
        ::SetDlgItemTextW(hwnd, IDC_SETTING_KEPT_SNAPSHOTS, L"0");
        Click(hwnd, IDOK);
        afterZero = boxes.Texts();
        ::SetDlgItemTextW(hwnd, IDC_SETTING_KEPT_SNAPSHOTS, L"101");
        Click(hwnd, IDOK);
        afterTooMany = boxes.Texts();
        ::SetDlgItemTextW(hwnd, IDC_SETTING_KEPT_SNAPSHOTS, L"100");
        ::SetDlgItemTextW(hwnd, IDC_SETTING_HISTORY_BUDGET, L"0");
        Click(hwnd, IDOK);
        afterNoBudget = boxes.Texts();
        ::SetDlgItemTextW(hwnd, IDC_SETTING_HISTORY_BUDGET, L"64");
        ::SendDlgItemMessageW(hwnd, IDC_SETTING_WATCH_LIST_ONLY, BM_CLICK, 0, 0);
        Click(hwnd, IDOK);
    });
    EXPECT_EQ(shownKept, L"1");
    EXPECT_EQ(shownBudget, L"1024");
    EXPECT_EQ(afterZero, std::vector<std::wstring>{L"保持するスナップショットは 1 から 100 の間で指定してください。"});
    EXPECT_EQ(afterTooMany.size(), 2u);
    ASSERT_EQ(afterNoBudget.size(), 3u);
    EXPECT_EQ(afterNoBudget.back(), L"一時ファイルの上限は 1 MB 以上で指定してください。");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_keptSnapshots, 100);
    EXPECT_EQ(dialog.m_historyBudget, 64);
    EXPECT_TRUE(dialog.m_watchListOnly);
}

TEST(SettingDialog, CancelledFolderPickerLeavesTheFieldAsItWas)
{
    CSettingDialog dialog;
    dialog.m_folder = L"Z:\\どこにも無い\\フォルダ";
    bool pickerShown = false;
    std::wstring fieldAfter;
    RunSettings(dialog, [&](HWND hwnd) {
        ModalScript picker([hwnd] { return ModalScript::FindDialog(L"", hwnd); },
                           [&](HWND pickerWindow) {
                               // A folder picker lists folders in a shell view (a message
                               // box would not).
                               pickerShown = HasDescendantOfClass(pickerWindow, L"SHELLDLL_DefView");
                               ::PostMessageW(pickerWindow, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                           });
        Click(hwnd, IDC_SETTING_BROWSE);
        fieldAfter = Text(hwnd, IDC_SETTING_FOLDER);
        Click(hwnd, IDCANCEL);
    });
    EXPECT_TRUE(pickerShown) << "no folder picker was shown";
    EXPECT_EQ(fieldAfter, L"Z:\\どこにも無い\\フォルダ");
}

TEST(AboutDlg, ShowsNameVersionWithPointerWidthAndAnIcon)
{
    EXPECT_EQ(CAboutDlg::GetVersionText(), L"Version 1.0.0.2 (64bit版)");
    CAboutDlg about;
    std::wstring version, caption;
    bool hasIcon = false, hasName = false;
    ModalScript driver([] { return ModalScript::FindDialog(L"バージョン情報"); },
                       [&](HWND hwnd) {
                           version = Text(hwnd, IDC_ABOUT_VERSION);
                           wchar_t text[64] = {};
                           ::GetWindowTextW(hwnd, text, 64);
                           caption = text;
                           for (HWND child = ::GetWindow(hwnd, GW_CHILD); child;
                                child = ::GetWindow(child, GW_HWNDNEXT)) {
                               wchar_t childText[64] = {};
                               ::GetWindowTextW(child, childText, 64);
                               if (std::wstring(childText) == L"Orvetta") hasName = true;
                               if (::SendMessageW(child, STM_GETICON, 0, 0)) hasIcon = true;
                           }
                           Click(hwnd, IDOK);
                       });
    EXPECT_EQ(about.DoModal(nullptr), IDOK);
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(caption, L"バージョン情報");
    EXPECT_EQ(version, L"Version 1.0.0.2 (64bit版)");
    EXPECT_TRUE(hasName);
    EXPECT_TRUE(hasIcon);
}
