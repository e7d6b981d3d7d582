#include "capture/RegisteredFormats.h"

namespace {

struct Formats {
    UINT fileContents = 0;
    UINT fileGroupDescriptor = 0;
    UINT fileGroupDescriptorW = 0;
};

Formats g_formats;

const Formats& Known()
{
    if (g_formats.fileContents == 0) RegisterKnownFormats();
    return g_formats;
}

}  // namespace

void RegisterKnownFormats()
{
    g_formats.fileContents = ::RegisterClipboardFormatW(L"FileContents");
    g_formats.fileGroupDescriptor = ::RegisterClipboardFormatW(L"FileGroupDescriptor");
    g_formats.fileGroupDescriptorW = ::RegisterClipboardFormatW(L"FileGroupDescriptorW");
}

UINT FileContentsFormat()
{
    return Known().fileContents;
}
UINT FileGroupDescriptorFormat()
{
    return Known().fileGroupDescriptor;
}
UINT FileGroupDescriptorWFormat()
{
    return Known().fileGroupDescriptorW;
}
