// Resource identifiers of the image page.
#pragma once

#define IDD_IMAGE_VIEW 314
#define IDC_IMAGE_FRAME 1007
#define IDC_IMAGE_CAPTION 1009
