#include "app/FormatChoice.h"

#include "capture/RegisteredFormats.h"

std::vector<FORMATETC> FormatsForChoice(const std::vector<FORMATETC>& offered, size_t chosen)
{
    std::vector<FORMATETC> result;
    if (chosen >= offered.size()) return result;
    const FORMATETC& fmt = offered[chosen];
    if (fmt.cfFormat == FileContentsFormat()) {
        const FORMATETC* wide = nullptr;
        const FORMATETC* ansi = nullptr;
        for (const FORMATETC& other : offered) {
            if (other.dwAspect != fmt.dwAspect) continue;
            if (other.cfFormat == FileGroupDescriptorWFormat()) wide = &other;
            if (other.cfFormat == FileGroupDescriptorFormat()) ansi = &other;
        }
        if (wide)
            result.push_back(*wide);
        else if (ansi)
            result.push_back(*ansi);
    }
    result.push_back(fmt);
    return result;
}
