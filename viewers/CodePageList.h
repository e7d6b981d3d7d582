// The code pages the text page offers: one named item each, in list order. The list is
// built from scratch on every fill from the five built-in items, the user's stored
// items ("CodePages" in "Settings", "name=number;" pieces) and the code pages the page
// must be able to show, even when the user listed neither.
#pragma once

#include <memory>
#include <string>
#include <vector>

class CCBData;

class CQZCP {
public:
    CQZCP(std::wstring name, int codePage) : m_name(std::move(name)), m_codePage(codePage) {}
    virtual ~CQZCP() = default;

    std::wstring m_name;
    int m_codePage;  // -1 UTF-16 LE, -2 UTF-16 BE
};

using CodePageList = std::vector<std::shared_ptr<CQZCP>>;

// The stored user list, or its default when there is none.
std::wstring ReadStoredCodePages();
// Rebuilds `list`: built-in and stored items, then the entry's own code page (when it
// has one) and `wanted`, each added at the end when missing.
void BuildCodePageList(CodePageList& list, const CCBData* entry, int wanted);
// Appends an item named by the number ("%d") when no item has the code page.
void AddCodePageIfMissing(CodePageList& list, int codePage);
