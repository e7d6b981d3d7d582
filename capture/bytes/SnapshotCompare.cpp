#include "capture/bytes/SnapshotCompare.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace {

class Comparer {
public:
    explicit Comparer(ICompareReader& reader) : m_reader(reader) {}

    void Level(const std::vector<CompareNode>& a, const std::vector<CompareNode>& b, const std::wstring& parent)
    {
        // The k-th entry of a text in A pairs with the k-th entry of that text in B.
        std::map<std::wstring, std::vector<size_t>> inB;
        for (size_t i = 0; i < b.size(); ++i) inB[b[i].text].push_back(i);
        std::map<std::wstring, size_t> used;
        std::vector<bool> matched(b.size(), false);
        for (const CompareNode& left : a) {
            if (m_result.stopped) return;
            const std::wstring path = parent.empty() ? left.text : parent + L"/" + left.text;
            const auto candidates = inB.find(left.text);
            size_t& next = used[left.text];
            if (candidates == inB.end() || next >= candidates->second.size()) {
                Only(CompareKind::OnlyA, left, path);
                continue;
            }
            const size_t j = candidates->second[next++];
            matched[j] = true;
            Pair(left, b[j], path);
        }
        for (size_t j = 0; j < b.size() && !m_result.stopped; ++j)
            if (!matched[j]) Only(CompareKind::OnlyB, b[j], parent.empty() ? b[j].text : parent + L"/" + b[j].text);
    }

    CompareResult m_result;

private:
    void Only(CompareKind kind, const CompareNode& node, const std::wstring& path)
    {
        CompareItem item;
        item.kind = kind;
        item.path = path;
        (kind == CompareKind::OnlyA ? item.a : item.b) = &node;
        m_result.items.push_back(item);
        // What lies below an entry found on one side only is on that side only too.
        for (const CompareNode& child : node.children) Only(kind, child, path + L"/" + child.text);
    }

    void Pair(const CompareNode& a, const CompareNode& b, const std::wstring& path)
    {
        m_reader.Comparing(path);
        CompareItem item;
        item.path = path;
        item.a = &a;
        item.b = &b;
        const ByteDifference bytes = CompareBytes(a.hasData ? a.source : nullptr, a.hasData ? a.size : 0,
                                                  b.hasData ? b.source : nullptr, b.hasData ? b.size : 0, m_reader);
        if (bytes.stopped) {
            m_result.stopped = true;
            return;
        }
        item.firstDifference = bytes.first;
        item.differingBytes = bytes.count;
        item.unreadable = bytes.unreadable;
        const bool changed = bytes.first || bytes.unreadable || a.hasData != b.hasData || a.media != b.media;
        item.kind = changed ? CompareKind::Changed : CompareKind::Same;
        m_result.items.push_back(item);
        Level(a.children, b.children, path);
    }

    ICompareReader& m_reader;
};

}  // namespace

bool CompareResult::Same() const
{
    if (stopped) return false;
    return std::all_of(items.begin(), items.end(), [](const CompareItem& i) { return i.kind == CompareKind::Same; });
}

ByteDifference CompareBytes(const void* a, uint64_t sizeA, const void* b, uint64_t sizeB, ICompareReader& reader)
{
    ByteDifference result;
    const uint64_t common = std::min(sizeA, sizeB);
    if (common > 0) {
        const auto left = std::make_unique<uint8_t[]>(kCompareStep);
        const auto right = std::make_unique<uint8_t[]>(kCompareStep);
        for (uint64_t offset = 0; offset < common; offset += kCompareStep) {
            if (reader.IsStopRequested()) {
                result.stopped = true;
                return result;
            }
            const size_t step = static_cast<size_t>(std::min<uint64_t>(kCompareStep, common - offset));
            if (!reader.Read(a, offset, left.get(), step) || !reader.Read(b, offset, right.get(), step)) {
                // What could not be read is not known to be equal.
                result.unreadable = true;
                if (!result.first) result.first = offset;
                result.count += common - offset;
                break;
            }
            // Most steps of two large entries are equal: only a step that differs is counted byte by byte.
            if (std::memcmp(left.get(), right.get(), step) == 0) continue;
            for (size_t i = 0; i < step; ++i) {
                if (left[i] == right[i]) continue;
                if (!result.first) result.first = offset + i;
                ++result.count;
            }
        }
    }
    if (sizeA != sizeB) {
        if (!result.first) result.first = common;
        result.count += std::max(sizeA, sizeB) - common;
    }
    return result;
}

CompareResult CompareSnapshots(const std::vector<CompareNode>& a, const std::vector<CompareNode>& b,
                               ICompareReader& reader)
{
    Comparer comparer(reader);
    comparer.Level(a, b, L"");
    return std::move(comparer.m_result);
}
