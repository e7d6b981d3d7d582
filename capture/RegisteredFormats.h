// The registered clipboard formats the capture treats specially, registered once per
// process (at start-up; the first use registers them if start-up has not).
#pragma once

#include <windows.h>

void RegisterKnownFormats();
UINT FileContentsFormat();          // "FileContents"
UINT FileGroupDescriptorFormat();   // "FileGroupDescriptor"
UINT FileGroupDescriptorWFormat();  // "FileGroupDescriptorW"
