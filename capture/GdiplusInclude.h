// GDI+'s C++ headers expect min/max macros and the OLE headers, which NOMINMAX and
// WIN32_LEAN_AND_MEAN remove; this header supplies them before including GDI+.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>
