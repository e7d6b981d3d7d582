// Code page 932's lead- and trail-byte tables, for tests and fuzz targets of the text
// detection that run where no ANSI code page exists.
#pragma once

#include "viewers/bytes/TextDetect.h"

inline DoubleByteTable ShiftJisTable()
{
    DoubleByteTable table;
    for (int c = 0; c < 256; ++c) {
        table.lead[c] = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        table.trail[c] = (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
    }
    return table;
}
