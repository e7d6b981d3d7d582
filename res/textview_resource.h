// Resource identifiers of the text page and the code-page list dialog.
#pragma once

#define IDD_TEXT_VIEW 310
#define IDC_TEXT_CODEPAGE 1000
#define IDC_TEXT_EDIT 1001
#define IDC_TEXT_STATUS 1004
#define IDC_TEXT_ADD_CODEPAGE 1008

#define IDD_ADD_CODEPAGE 320
#define IDC_ADD_CODEPAGE_EDIT 1007

// The text page's own additions: the label it lays out to fit its font, and find.
#define IDC_TEXT_CODEPAGE_LABEL 1250
#define IDD_TEXT_FIND 370
#define IDC_TEXT_FIND_PATTERN 1251
#define IDC_TEXT_FIND_IGNORE_CASE 1252
#define IDC_TEXT_FIND_BACKWARD 1253
#define ID_TEXT_FIND 33150
#define ID_TEXT_FIND_NEXT 33151
#define ID_TEXT_FIND_PREVIOUS 33152
