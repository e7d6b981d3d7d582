// The text forms of the code-page list: the stored string of "name=number" pieces
// separated by ";", and the dialog's one item per line. No <windows.h>: built natively too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The stored list when the user never changed it.
extern const char16_t kDefaultCodePages[];

struct CodePageItem {
    std::u16string name;
    int32_t codePage = 0;
    bool operator==(const CodePageItem&) const = default;
};

// Every piece before a separator, empty ones included; the text after the last
// separator only when it is not empty. An empty separator gives the text as one piece.
std::vector<std::u16string> SplitString(const std::u16string& text, const std::u16string& separator);
// Without white space (tabs, line breaks, spaces, the ideographic space, …) at both ends.
std::u16string TrimSpace(const std::u16string& text);
// As wcstol with base 10 where long has 32 bits: white space and one sign accepted,
// digits up to the first other character, no digits 0, out of range the nearest limit.
int32_t ParseCodePageNumber(const std::u16string& text);

// The five built-in items first, less each one whose code page a stored piece takes,
// then the stored items in stored order. Pieces without a name or a number are left out.
std::vector<CodePageItem> CodePageItemsFromStored(const std::u16string& stored);

// The dialog's text of a stored list: every piece followed by CR LF.
std::u16string LinesForEditing(const std::u16string& stored);
// The stored list of the dialog's text: lines trimmed, empty ones dropped, each
// followed by ";".
std::u16string StoredFromLines(const std::u16string& lines);
