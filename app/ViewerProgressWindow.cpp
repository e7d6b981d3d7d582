#include "app/ViewerProgressWindow.h"

#include "res/resource.h"
#include "viewers/ViewerProgress.h"

void CViewerProgressWindow::Open()
{
    CCopyingDialog::Open();
    SetDlgItemText(IDC_COPYING_STATUS, m_what);
}

void CViewerProgressWindow::Install()
{
    SetViewerProgressMaker([](const std::wstring& what) -> std::unique_ptr<ICaptureProgress> {
        return std::make_unique<CViewerProgressWindow>(what);
    });
}
