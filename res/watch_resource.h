// Resource identifiers of the clipboard watch, the history and the comparison.
#pragma once

#define IDB_WATCH 360
#define IDC_SETTING_KEPT_SNAPSHOTS 1200
#define IDC_SETTING_HISTORY_BUDGET 1201
#define IDC_SETTING_WATCH_LIST_ONLY 1202
#define ID_EDIT_WATCH 33100
#define ID_EDIT_REMOVE_SNAPSHOT 33101
#define IDD_COMPARE 361
#define IDC_COMPARE_LIST 1203
#define IDC_COMPARE_HEADER 1204
#define ID_EDIT_COMPARE 33102
#define ID_EDIT_COMPARE_FILE 33103
