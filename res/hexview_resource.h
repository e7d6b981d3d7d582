// Resource identifiers of the hex view page and its control's context menu.
#pragma once

#define IDD_HEX_VIEW 312
#define IDC_HEX_WIDTH 1005
#define IDC_HEX_PLACEHOLDER 1006
#define IDC_HEX_VIEW 100
#define IDR_HEX_MENU 313
// 57634 and 57642 are the standard Copy and Select All.
#define ID_HEX_COPY 57634
#define ID_HEX_EXPORT_SELECTION 32793
#define ID_HEX_SELECT_ALL 57642
