// Reading and writing the clipboard. Another program (or the system's clipboard manager)
// often holds the clipboard for a moment right after a change, so opening it is retried
// for a short while before the read or the write counts as failed.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <vector>

namespace fw {

// One block for the clipboard: a format and the movable global memory that holds it.
struct ClipboardBlock {
    UINT format = 0;
    UniqueGlobal memory;
};

// Opens the clipboard for `owner`, trying again for up to `waitMs` milliseconds while
// another program holds it. The caller closes it (ClipboardOpen below does).
bool OpenClipboardWithRetry(HWND owner, DWORD waitMs = 500);

// Empties the clipboard and puts every block on it in one opening. The clipboard takes
// over each block it accepts (its owner is released here); a block it refuses stays in
// `blocks` and is freed with it. False when the clipboard could not be opened or refused
// a block.
bool PutOnClipboard(HWND owner, std::vector<ClipboardBlock>& blocks, DWORD waitMs = 500);

// Runs `call` again while it answers CLIPBRD_E_CANT_OPEN, for up to `waitMs` milliseconds;
// its last answer. Between the tries only messages sent from other threads are served
// (the holder may be waiting for a window of this thread to render data), so nothing
// posted to this thread runs in the middle of the caller's work.
HRESULT RetryWhileClipboardHeld(const std::function<HRESULT()>& call, DWORD waitMs = 500);

// OleSetClipboard of `object` (null empties it), tried again for up to `waitMs`
// milliseconds while another program holds the clipboard. This thread's messages are
// served meanwhile: the holder may be waiting for it to render what it put there before.
HRESULT SetOleClipboardWithRetry(IDataObject* object, DWORD waitMs = 500);

// Movable, shareable global memory holding a copy of `size` bytes; null when out of memory.
UniqueGlobal GlobalFromBytes(const void* data, size_t size);

}  // namespace fw
