// Resource identifiers.
#pragma once

#define IDR_MAINFRAME 128
#define IDS_APP_NAME 57344  // AFX_IDS_APP_TITLE
#define IDP_OLE_INIT_FAILED 100

#define IDD_COPYING 328
#define IDC_COPYING_ITEM 1014
#define IDC_COPYING_STATUS 1015

// Icons of the tree: folder, document, picture, question mark (image indices 0 to 3).
#define IDI_TREE_FOLDER 324
#define IDI_TREE_DOCUMENT 325
#define IDI_TREE_PICTURE 326
#define IDI_TREE_QUESTION 327

// Commands.
#define ID_APP_EXIT 57665
#define ID_APP_ABOUT 57664
#define ID_EDIT_PASTE 57637
#define ID_EDIT_PASTE_SPECIAL 32775
#define ID_SET_DEFAULT_VIEW 32779
#define ID_SETTINGS 32778
#define ID_DELETE_SETTINGS_AND_EXIT 32791
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE_AS 57604
