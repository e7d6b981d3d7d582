// The settings dialog: the size limit for walking sub-directories, sub-folders and
// sub-storages, how "Shell IDList Array" data is imported, and the folder of the
// temporary store. The caller sets the three members, runs it modally and reads them
// back after IDOK.
#pragma once

#include "framework/Dialog.h"

#include <string>

class CSettingDialog : public fw::Dialog {
public:
    CSettingDialog();

    int m_sizeLimit = 0;           // megabytes, edit 1010
    int m_importMode = 0;          // radio group 1013 (0) / 1014 (1)
    std::wstring m_folder;         // edit 1016; empty means the system's temporary folder
    int m_keptSnapshots = 1;       // edit 1200, 1 to 100
    int m_historyBudget = 1024;    // edit 1201, megabytes for the kept snapshots' files, at least 1
    bool m_watchListOnly = false;  // check box 1202: the watch takes the formats and the owner only

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    // Checks the folder first, then the number; stays open on either fault.
    void OnOK() override;

private:
    void OnBrowse();
};
