// Resource identifiers of the choice of the snapshot to compare with.
#pragma once

#define IDD_COMPARE_CHOOSE 420
#define IDC_COMPARE_CHOOSE_HEADER 1500
#define IDC_COMPARE_CHOOSE_LIST 1501
#define IDC_COMPARE_CHOOSE_FILE 1502
