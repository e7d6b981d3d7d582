// The rows of the property list: for an entry, its description, size, media, type and
// names followed by its own rows; for the snapshot's root, the offered formats. Each row
// is "name\tvalue" and is split at its first tab when shown.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CCBData;

std::vector<std::wstring> BuildEntryRows(const CCBData& entry);
std::vector<std::wstring> BuildOfferedFormatRows(const std::vector<std::wstring>& offeredTexts);
// The name before the first tab and the value after it; a row without a tab is all name.
std::pair<std::wstring, std::wstring> SplitRow(const std::wstring& row);
