#include "viewers/PropertyRows.h"

#include "capture/CBData.h"
#include "capture/FormatCatalogue.h"
#include "framework/Format.h"

std::vector<std::wstring> BuildEntryRows(const CCBData& entry)
{
    std::vector<std::wstring> rows;
    const FORMATETC& fmt = entry.m_fmt;
    if (fmt.cfFormat != 0)
        rows.push_back(L"フォーマット\t" + GetFormatName(fmt.cfFormat) + fw::Format(L" (%u)", fmt.cfFormat));
    if (fmt.lindex >= 0) rows.push_back(fw::Format(L"Index\t%u", static_cast<unsigned>(fmt.lindex)));
    if (!entry.m_tempFile.empty())
        rows.push_back(fw::Format(L"サイズ\t%llu", static_cast<unsigned long long>(entry.m_dataSize)));
    if (const std::wstring aspect = GetAspectText(fmt.dwAspect); !aspect.empty()) rows.push_back(L"Aspect\t" + aspect);
    const std::wstring tymed = GetTymedText(fmt.tymed);
    if (!tymed.empty()) rows.push_back(L"Tymed\t" + tymed);
    if (const std::wstring real = GetTymedText(entry.m_realTymed); !real.empty() && real != tymed)
        rows.push_back(L"本当のTymed\t" + real);
    if (!entry.m_type.empty()) rows.push_back(L"タイプ\t" + entry.m_type);
    if (!entry.m_name.empty()) rows.push_back(L"名前\t" + entry.m_name);
    if (!entry.m_displayName.empty()) rows.push_back(L"表示名\t" + entry.m_displayName);
    rows.insert(rows.end(), entry.m_properties.begin(), entry.m_properties.end());
    return rows;
}

std::vector<std::wstring> BuildOfferedFormatRows(const std::vector<std::wstring>& offeredTexts)
{
    std::vector<std::wstring> rows;
    for (size_t i = 0; i < offeredTexts.size(); ++i)
        rows.push_back((i == 0 ? L"フォーマット\t" : L"\t") + offeredTexts[i]);
    return rows;
}

std::pair<std::wstring, std::wstring> SplitRow(const std::wstring& row)
{
    const size_t tab = row.find(L'\t');
    if (tab == std::wstring::npos) return {row, std::wstring()};
    return {row.substr(0, tab), row.substr(tab + 1)};
}
