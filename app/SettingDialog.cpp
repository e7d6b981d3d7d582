#include "app/SettingDialog.h"

#include "framework/DataExchange.h"
#include "framework/FolderPicker.h"
#include "framework/MessageBox.h"
#include "res/dialogs_resource.h"
#include "res/watch_resource.h"

CSettingDialog::CSettingDialog() : fw::Dialog(IDD_SETTING) {}

BOOL CSettingDialog::OnInitDialog()
{
    fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_SIZE_LIMIT, m_sizeLimit, false);
    fw::ExchangeRadio(GetSafeHwnd(), IDC_SETTING_AS_SHELLFOLDER, m_importMode, false);
    SetDlgItemText(IDC_SETTING_FOLDER, m_folder);
    fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_KEPT_SNAPSHOTS, m_keptSnapshots, false);
    fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_HISTORY_BUDGET, m_historyBudget, false);
    ::CheckDlgButton(GetSafeHwnd(), IDC_SETTING_WATCH_LIST_ONLY, m_watchListOnly ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

bool CSettingDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_SETTING_BROWSE && code == BN_CLICKED) {
        OnBrowse();
        return true;
    }
    return fw::Dialog::OnCommand(id, code);
}

void CSettingDialog::OnOK()
{
    std::wstring folder = GetDlgItemText(IDC_SETTING_FOLDER);
    // An empty field is the choice the label offers: the system's temporary folder.
    if (!folder.empty()) {
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            fw::AfxMessageBox(L"指定されたフォルダが存在しません。");
            ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDC_SETTING_FOLDER)),
                           TRUE);
            return;
        }
    }
    int sizeLimit = m_sizeLimit, importMode = m_importMode;
    if (!fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_SIZE_LIMIT, sizeLimit, true)) return;
    int kept = m_keptSnapshots, budget = m_historyBudget;
    const auto refuse = [this](int id, const wchar_t* text) {
        fw::AfxMessageBox(text);
        ::SendMessageW(GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(id)), TRUE);
    };
    if (!fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_KEPT_SNAPSHOTS, kept, true)) return;
    if (kept < 1 || kept > 100) {
        refuse(IDC_SETTING_KEPT_SNAPSHOTS, L"保持するスナップショットは 1 から 100 の間で指定してください。");
        return;
    }
    if (!fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_HISTORY_BUDGET, budget, true)) return;
    if (budget < 1) {
        refuse(IDC_SETTING_HISTORY_BUDGET, L"一時ファイルの上限は 1 MB 以上で指定してください。");
        return;
    }
    m_keptSnapshots = kept;
    m_historyBudget = budget;
    m_watchListOnly = ::IsDlgButtonChecked(GetSafeHwnd(), IDC_SETTING_WATCH_LIST_ONLY) == BST_CHECKED;
    fw::ExchangeRadio(GetSafeHwnd(), IDC_SETTING_AS_SHELLFOLDER, importMode, true);
    m_folder = std::move(folder);
    m_sizeLimit = sizeLimit;
    m_importMode = importMode;
    fw::Dialog::OnOK();
}

void CSettingDialog::OnBrowse()
{
    std::wstring chosen;
    if (fw::PickFolder(GetSafeHwnd(), GetDlgItemText(IDC_SETTING_FOLDER), chosen))
        SetDlgItemText(IDC_SETTING_FOLDER, chosen);
}
