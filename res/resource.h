// Resource identifiers.
#pragma once

#define IDR_MAINFRAME 128
#define IDS_APP_NAME 57344          // AFX_IDS_APP_TITLE
#define IDP_OLE_INIT_FAILED 100

#define IDD_COPYING 328
#define IDC_COPYING_ITEM 1014
#define IDC_COPYING_STATUS 1015
