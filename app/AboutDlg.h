// The about box: the program's icon and name, and its version with the build's pointer
// width ("Version 1.0.0.2 (64bit版)").
#pragma once

#include "framework/Dialog.h"

#include <string>

class CAboutDlg : public fw::Dialog {
public:
    CAboutDlg();

    static std::wstring GetVersionText();

protected:
    BOOL OnInitDialog() override;
};
