#include "app/SettingDialog.h"

#include "framework/DataExchange.h"
#include "framework/FolderPicker.h"
#include "framework/MessageBox.h"
#include "res/dialogs_resource.h"

CSettingDialog::CSettingDialog() : fw::Dialog(IDD_SETTING) {}

BOOL CSettingDialog::OnInitDialog()
{
    fw::ExchangeInt(GetSafeHwnd(), IDC_SETTING_SIZE_LIMIT, m_sizeLimit, false);
    fw::ExchangeRadio(GetSafeHwnd(), IDC_SETTING_AS_SHELLFOLDER, m_importMode, false);
    SetDlgItemText(IDC_SETTING_FOLDER, m_folder);
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
