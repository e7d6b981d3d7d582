// The names of a dropped-file list (DROPFILES: offset of the names, drop point,
// non-client flag, wide flag, then NUL-terminated names ending with an empty name) and
// the bare name lists of the file-name-map formats. No <windows.h>: built natively too.
#pragma once

#include "capture/bytes/ByteRange.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// DROPFILES: DWORD pFiles, POINT pt, BOOL fNC, BOOL fWide.
inline constexpr size_t kDropFilesHeaderSize = 20;

struct NameList {
    bool wide = false;
    // Each name's bytes without its terminator, wholly inside the data, in list order;
    // the first `maxNames` only.
    std::vector<ByteRange> names;
    // Every name of the list, also those past `maxNames`.
    size_t count = 0;
    // The list could not be read to its end: the header is short, the names' offset
    // lies outside the data, or the last name runs off the end without its terminator.
    bool damaged = false;
};

// NUL-terminated names from `offset`, ending with an empty name or at the end of the
// data; characters are 2 bytes when `wide`, else 1. Names past the first `maxNames` are
// counted, not kept.
NameList ReadNameList(const uint8_t* data, size_t size, size_t offset, bool wide, size_t maxNames = SIZE_MAX);

// The names of a DROPFILES block; wide or ANSI as its wide flag says.
NameList ReadDropFiles(const uint8_t* data, size_t size, size_t maxNames = SIZE_MAX);

// Whether a dropped name is a fully qualified path, the only kind a drop list means: a
// drive letter, a colon and a separator ("C:\x"), a UNC name ("\\server\share"), or a
// "\\?\" path. Names relative to the receiver's current directory or drive ("a.txt",
// "\a.txt", "C:a.txt") and device names ("\\.\PhysicalDrive0") are not. Either separator
// counts, as the file system reads both.
bool IsFullyQualifiedPath(std::u16string_view name);
