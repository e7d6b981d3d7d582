// Words of the aspect and storage-medium bit sets of a format description.
// Byte-level helpers: no <windows.h>, built natively for the sanitizer tests.
#pragma once

#include <cstdint>
#include <string>

// Each word present is followed by one space, so a non-empty text ends with a space.
// Aspect: 1 CONTENT, 2 THUMBNAIL, 4 ICON, 8 DOCPRINT, and "0x%x?" of the whole value above 15.
std::wstring GetAspectText(uint32_t aspect);
// Tymed: 1 HGLOBAL, 2 FILE, 4 ISTREAM, 8 ISTORAGE, 0x10 GDI, 0x20 MFPICT, 0x40 ENHMF.
std::wstring GetTymedText(uint32_t tymed);
