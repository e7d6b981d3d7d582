// The application's settings that captures read at capture time. The application
// object fills them at start-up and when the settings dialog is confirmed; the capture
// code reads them here rather than reaching up into the application.
#pragma once

#include "capture/bytes/EntryBound.h"

#include <cstdint>

struct IWICImagingFactory2;

struct CCaptureSettings {
    // "SubDirSizeLimit": megabytes gathered under one top-level format before walks stop.
    int32_t m_subDirSizeLimit = 128;
    // "HowToGetShellIDList": 0 walks a Shell IDList Array as a shell folder, 1 as a storage.
    int32_t m_howToGetShellIDList = 0;
    // The process's imaging factory (borrowed; owned by the application object), or null.
    IWICImagingFactory2* m_wicFactory = nullptr;
    // Entries one snapshot holds at most, captured or opened from a file. Fixed; not a
    // registry setting (tests lower it).
    uint64_t m_maxEntries = kMaxSnapshotEntries;
};

CCaptureSettings& CaptureSettings();
