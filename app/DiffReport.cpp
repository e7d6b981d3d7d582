#include "app/DiffReport.h"

#include "app/SnapshotReport.h"

#include <nlohmann/json.hpp>

namespace {

uint64_t SizeOf(const CompareNode* node)
{
    return node && node->hasData ? node->size : 0;
}

}  // namespace

std::string BuildDiffText(const CompareResult& result)
{
    std::wstring out;
    for (const CompareItem& item : result.items) {
        switch (item.kind) {
            case CompareKind::Same:
                out += L"  同じ     " + item.path + L"\n";
                break;
            case CompareKind::OnlyA:
                out += L"- A のみ   " + item.path + L"\n";
                break;
            case CompareKind::OnlyB:
                out += L"+ B のみ   " + item.path + L"\n";
                break;
            case CompareKind::Changed:
                out += L"! 変更     " + item.path + L"  サイズ " + std::to_wstring(SizeOf(item.a)) + L" / " +
                       std::to_wstring(SizeOf(item.b));
                if (item.firstDifference) out += L"、最初の違い " + std::to_wstring(*item.firstDifference);
                out += L"、違うバイト " + std::to_wstring(item.differingBytes);
                if (item.a->media != item.b->media) out += L"、媒体 " + item.a->media + L" / " + item.b->media;
                if (item.unreadable) out += L"、読めないバイトあり";
                out += L"\n";
                break;
        }
    }
    return ToUtf8(out);
}

std::string BuildDiffJson(const CompareResult& result)
{
    using Json = nlohmann::ordered_json;
    Json same = Json::array(), onlyA = Json::array(), onlyB = Json::array(), changed = Json::array();
    for (const CompareItem& item : result.items) {
        const std::string text = ToUtf8(item.path);
        switch (item.kind) {
            case CompareKind::Same:
                same.push_back(text);
                break;
            case CompareKind::OnlyA:
                onlyA.push_back(text);
                break;
            case CompareKind::OnlyB:
                onlyB.push_back(text);
                break;
            case CompareKind::Changed:
                changed.push_back(
                    {{"text", text},
                     {"sizeA", SizeOf(item.a)},
                     {"sizeB", SizeOf(item.b)},
                     {"firstDifference", item.firstDifference ? Json(*item.firstDifference) : Json(nullptr)},
                     {"differingBytes", item.differingBytes}});
                break;
        }
    }
    const Json report = {{"same", same}, {"onlyA", onlyA}, {"onlyB", onlyB}, {"changed", changed}};
    return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
