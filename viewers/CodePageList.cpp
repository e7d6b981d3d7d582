#include "viewers/CodePageList.h"

#include "capture/CBData.h"
#include "framework/Profile.h"
#include "viewers/bytes/CodePageText.h"
#include "viewers/bytes/TextDetect.h"

#include <algorithm>

std::wstring ReadStoredCodePages()
{
    const std::u16string fallback = kDefaultCodePages;
    return fw::GetProfileString(L"Settings", L"CodePages", std::wstring(fallback.begin(), fallback.end()));
}

void BuildCodePageList(CodePageList& list, const CCBData* entry, int wanted)
{
    const std::wstring stored = ReadStoredCodePages();
    list.clear();
    for (const CodePageItem& item : CodePageItemsFromStored(std::u16string(stored.begin(), stored.end())))
        list.push_back(std::make_shared<CQZCP>(std::wstring(item.name.begin(), item.name.end()), item.codePage));
    if (entry) {
        const int own = entry->GetDefaultCodePage();
        if (own != kCodePageNone) AddCodePageIfMissing(list, own);
    }
    AddCodePageIfMissing(list, wanted);
}

void AddCodePageIfMissing(CodePageList& list, int codePage)
{
    const bool listed = std::any_of(list.begin(), list.end(), [codePage](const std::shared_ptr<CQZCP>& item) {
        return item->m_codePage == codePage;
    });
    if (!listed) list.push_back(std::make_shared<CQZCP>(std::to_wstring(codePage), codePage));
}
