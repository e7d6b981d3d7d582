#include "capture/CaptureSettings.h"

CCaptureSettings& CaptureSettings()
{
    static CCaptureSettings settings;
    return settings;
}
