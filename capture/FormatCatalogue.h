// The format catalogue: display names of clipboard formats, the texts of format
// descriptions, and the built-in per-format defaults of the viewers.
//
// The display name is also a key: the entry factory picks entry kinds by it and the
// per-format viewer defaults are stored under it, so its exact text matters.
#pragma once

#include "capture/bytes/FormatWords.h"

#include <windows.h>
#include <objidl.h>

#include <optional>
#include <string>

// Index of a viewer page; the words are what the per-format default stores. The structure
// page's "STRUCTURE" is a stored choice only (no built-in default names it); versions
// without that page read it as no choice.
enum ViewTab : int {
    ViewTab_Hex = 0,
    ViewTab_Text = 1,
    ViewTab_Image = 2,
    ViewTab_Property = 3,
    ViewTab_Structure = 4
};

// "HEX", "TEXT", "IMAGE", "PROPERTY" (exact, upper case) to the tab; nothing for other words.
std::optional<int> ViewTabFromName(const std::wstring& name);
// The word of a tab, or an empty text for a value outside 0..3.
std::wstring ViewTabName(int tab);

// The display name of a format number; `registered` tells whether it came from the
// registered name. Always succeeds.
void GetFormatName(UINT format, std::wstring& name, BOOL& registered);
std::wstring GetFormatName(UINT format);

// The display name, then one space and the aspect words when the aspect is not 0 or 1.
std::wstring GetFormatEtcText(const FORMATETC& fmt);

// Case-insensitive comparison of view keys: the linguistic comparison of the system
// default locale first; when it calls two keys equal, the ordinal comparison with case
// ignored has the last word. Where the linguistic comparison is not available, the
// ordinal one decides alone. Returns <0, 0 or >0.
int CompareViewKeys(const std::wstring& a, const std::wstring& b);

// Table C: the built-in default tab of a view key (case-insensitive).
std::optional<int> FindFormatDefaultViewTab(const std::wstring& key);
// Table D: the built-in code page of a view key (ordinal, case-sensitive).
std::optional<int> FindFormatDefaultCodePage(const std::wstring& key);
