// Resource identifiers of the about box, the settings dialog and the property page.
#pragma once

#define IDD_ABOUTBOX 100
#define IDC_ABOUT_VERSION 1008

#define IDD_PROPERTY_VIEW 311
#define IDC_PROPERTY_LIST 1005
#define IDR_PROPERTY_MENU 321
// The property list's menu commands; 57634 and 57642 are the standard Copy and Select All.
#define ID_PROPERTY_COPY 57634
#define ID_PROPERTY_COPY_NAME 32785
#define ID_PROPERTY_COPY_VALUE 32786
#define ID_PROPERTY_SELECT_ALL 57642

#define IDD_SETTING 323
#define IDC_SETTING_SIZE_LIMIT 1010
#define IDC_SETTING_AS_SHELLFOLDER 1013
#define IDC_SETTING_AS_STORAGE 1014
#define IDC_SETTING_FOLDER 1016
#define IDC_SETTING_BROWSE 1017
