// Copying one offered format's medium into an entry of the program's own: global memory,
// a disk file or a stream go into a temporary file of the entry; every failure becomes an
// "エラー\t" property row of the entry, never an abort of the capture.
#pragma once

#include "capture/CBData.h"
#include "capture/CBDataCreateContext.h"

#include <memory>
#include <string>

// Asks the source for the description as offered, then once more with every medium
// (tymed 0x7F), and imports what it delivers. Never returns an empty pointer; the entry's
// m_fmt is always the description as offered.
std::shared_ptr<CCBData> ImportMedium(CCBDataCreateContext* context, const FORMATETC& fmt);

// The three copies; the caller keeps ownership of the medium.
std::shared_ptr<CCBData> ImportHGlobal(CCBDataCreateContext* context, HGLOBAL global);
std::shared_ptr<CCBData> ImportDiskFile(CCBDataCreateContext* context, const wchar_t* fileName);
std::shared_ptr<CCBData> ImportStream(CCBDataCreateContext* context, IStream* stream);

// An entry whose only content is the row "エラー\t" + text.
std::shared_ptr<CCBData> MakeErrorEntry(const std::wstring& text);

// Deletes the entry's temporary file, if any, and forgets its path.
void DropTempFile(CCBData& entry);
