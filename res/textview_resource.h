// Resource identifiers of the text page and the code-page list dialog.
#pragma once

#define IDD_TEXT_VIEW 310
#define IDC_TEXT_CODEPAGE 1000
#define IDC_TEXT_EDIT 1001
#define IDC_TEXT_STATUS 1004
#define IDC_TEXT_ADD_CODEPAGE 1008

#define IDD_ADD_CODEPAGE 320
#define IDC_ADD_CODEPAGE_EDIT 1007
