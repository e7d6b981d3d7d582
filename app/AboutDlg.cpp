#include "app/AboutDlg.h"

#include "framework/Format.h"
#include "res/dialogs_resource.h"

namespace {

constexpr wchar_t kVersion[] = L"1.0.0.2";
constexpr int kIconControl = -1;  // the template's icon static

}  // namespace

CAboutDlg::CAboutDlg() : fw::Dialog(IDD_ABOUTBOX) {}

std::wstring CAboutDlg::GetVersionText()
{
    return std::wstring(L"Version ") + kVersion + fw::Format(L" (%ubit版)", static_cast<unsigned>(sizeof(void*) * 8));
}

BOOL CAboutDlg::OnInitDialog()
{
    SetDlgItemText(IDC_ABOUT_VERSION, GetVersionText());
    // Without the program's icon among the resources, the system's application icon.
    HWND icon = GetDlgItem(kIconControl);
    if (icon && !::SendMessageW(icon, STM_GETICON, 0, 0))
        ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_APPLICATION)), 0);
    return TRUE;
}
