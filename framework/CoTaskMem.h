// Owner of memory from the COM task allocator (item ID lists, strings handed out by
// shell and storage interfaces), freed with CoTaskMemFree.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shtypes.h>

#include <memory>

namespace fw {

struct CoTaskMemDeleter {
    void operator()(void* p) const noexcept { ::CoTaskMemFree(p); }
};

template <typename T>
using UniqueCoTaskMem = std::unique_ptr<T, CoTaskMemDeleter>;

using UniqueIdList = UniqueCoTaskMem<ITEMIDLIST>;

}  // namespace fw
