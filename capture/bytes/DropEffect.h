// Drop effects as the program shows them: what a drag ended with, and what a target wrote
// into a drop-effect format ("Performed DropEffect", "Paste Succeeded", …).
// Byte-level helpers: no <windows.h>, built natively for the sanitizer tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The effect's words joined by " | " and the value in decimal: "DROPEFFECT_COPY |
// DROPEFFECT_LINK (5)"; "DROPEFFECT_NONE (0)"; unknown bits as one hexadecimal word.
std::wstring DropEffectText(uint32_t effect);
// The effect held by drop-effect data: its first four bytes, little-endian; nothing when
// fewer are held.
std::optional<uint32_t> ReadDropEffect(const uint8_t* data, size_t size);
