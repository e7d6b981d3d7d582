#include "capture/bytes/SnapshotCompare.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// Nodes whose source is their own byte vector.
class Bytes : public ICompareReader {
public:
    CompareNode Node(const std::wstring& text, std::vector<uint8_t> bytes, std::vector<CompareNode> children = {})
    {
        m_data.push_back(std::move(bytes));
        CompareNode node;
        node.text = text;
        node.media = L"HGLOBAL";
        node.hasData = true;
        node.size = m_data.back().size();
        node.source = &m_data.back();
        node.children = std::move(children);
        return node;
    }
    bool Read(const void* source, uint64_t offset, uint8_t* buffer, size_t size) override
    {
        ++reads;
        if (source == unreadable) return false;
        const auto& bytes = *static_cast<const std::vector<uint8_t>*>(source);
        if (offset + size > bytes.size()) return false;
        std::copy_n(bytes.begin() + offset, size, buffer);
        return true;
    }
    bool IsStopRequested() override { return reads >= stopAfterReads; }

    int reads = 0;
    int stopAfterReads = 1 << 30;
    const void* unreadable = nullptr;

private:
    std::deque<std::vector<uint8_t>> m_data;  // stable addresses
};

std::vector<std::pair<CompareKind, std::wstring>> Kinds(const CompareResult& result)
{
    std::vector<std::pair<CompareKind, std::wstring>> out;
    for (const CompareItem& item : result.items) out.emplace_back(item.kind, item.path);
    return out;
}

}  // namespace

TEST(SnapshotCompare, SameAddedRemovedAndNested)
{
    Bytes r;
    const std::vector<CompareNode> a = {r.Node(L"CF_UNICODETEXT", {1, 2, 3}), r.Node(L"CF_TEXT", {4}),
                                        r.Node(L"folder", {}, {r.Node(L"x.txt", {5, 6}), r.Node(L"y.txt", {7})})};
    const std::vector<CompareNode> same = a;
    EXPECT_TRUE(CompareSnapshots(a, same, r).Same());

    const std::vector<CompareNode> b = {r.Node(L"CF_UNICODETEXT", {1, 2, 3}), r.Node(L"PNG", {9}),
                                        r.Node(L"folder", {}, {r.Node(L"x.txt", {5, 6}), r.Node(L"y.txt", {8})})};
    const CompareResult result = CompareSnapshots(a, b, r);
    EXPECT_FALSE(result.Same());
    using K = CompareKind;
    EXPECT_EQ(Kinds(result), (std::vector<std::pair<CompareKind, std::wstring>>{{K::Same, L"CF_UNICODETEXT"},
                                                                                {K::OnlyA, L"CF_TEXT"},
                                                                                {K::Same, L"folder"},
                                                                                {K::Same, L"folder/x.txt"},
                                                                                {K::Changed, L"folder/y.txt"},
                                                                                {K::OnlyB, L"PNG"}}));
    EXPECT_EQ(result.items[4].firstDifference, 0u);
    EXPECT_EQ(result.items[4].differingBytes, 1u);

    // Below an entry on one side only, every child is on that side only.
    const CompareResult gone = CompareSnapshots(a, {}, r);
    EXPECT_EQ(gone.items.size(), 5u);
    EXPECT_EQ(gone.items.back().path, L"folder/y.txt");
    EXPECT_EQ(gone.items.back().kind, CompareKind::OnlyA);
}

TEST(SnapshotCompare, FirstDifferenceAndCountAcrossStepsAndSizes)
{
    Bytes r;
    std::vector<uint8_t> big(kCompareStep * 2 + 10, 0x41);
    std::vector<uint8_t> first = big, last = big, both = big;
    first[0] = 0;
    last.back() = 0;
    both[kCompareStep - 1] = 0;  // the last byte of one step and the first of the next
    both[kCompareStep] = 0;
    const std::vector<CompareNode> a = {r.Node(L"E", big)};
    struct Case {
        std::vector<uint8_t> bytes;
        uint64_t first, count;
    } cases[] = {{first, 0, 1},
                 {last, big.size() - 1, 1},
                 {both, kCompareStep - 1, 2},
                 {std::vector<uint8_t>(big.begin(), big.end() - 3), big.size() - 3, 3},  // B is A's beginning
                 {[&] {
                      auto longer = big;
                      longer.push_back(0x41);
                      return longer;
                  }(),
                  big.size(), 1}};
    for (const Case& c : cases) {
        const CompareResult result = CompareSnapshots(a, {r.Node(L"E", c.bytes)}, r);
        ASSERT_EQ(result.items.size(), 1u);
        EXPECT_EQ(result.items[0].kind, CompareKind::Changed);
        EXPECT_EQ(result.items[0].firstDifference, c.first);
        EXPECT_EQ(result.items[0].differingBytes, c.count);
    }
    // Three 1 MiB steps, two reads each.
    r.reads = 0;
    EXPECT_TRUE(CompareSnapshots(a, {r.Node(L"E", big)}, r).Same());
    EXPECT_EQ(r.reads, 6);
}

TEST(SnapshotCompare, DuplicatesPairInOrderAndMediumOnlyChanges)
{
    Bytes r;
    // The same text twice: first with first, second with second.
    const CompareResult twice = CompareSnapshots({r.Node(L"S", {1}), r.Node(L"S", {2})},
                                                 {r.Node(L"S", {1}), r.Node(L"S", {3}), r.Node(L"S", {4})}, r);
    using K = CompareKind;
    EXPECT_EQ(Kinds(twice), (std::vector<std::pair<CompareKind, std::wstring>>{
                                {K::Same, L"S"}, {K::Changed, L"S"}, {K::OnlyB, L"S"}}));

    CompareNode stream = r.Node(L"X", {1, 2});
    stream.media = L"ISTREAM";
    const CompareResult media = CompareSnapshots({r.Node(L"X", {1, 2})}, {stream}, r);
    EXPECT_EQ(media.items[0].kind, CompareKind::Changed);
    EXPECT_FALSE(media.items[0].firstDifference.has_value());
    EXPECT_EQ(media.items[0].differingBytes, 0u);

    CompareNode none = r.Node(L"X", {});
    none.hasData = false;
    EXPECT_EQ(CompareSnapshots({r.Node(L"X", {})}, {none}, r).items[0].kind, CompareKind::Changed);
}

TEST(SnapshotCompare, StopAndUnreadableBytes)
{
    Bytes r;
    const std::vector<uint8_t> big(kCompareStep * 4, 7);
    const std::vector<CompareNode> a = {r.Node(L"E", big), r.Node(L"F", {1})};
    const std::vector<CompareNode> b = {r.Node(L"E", big), r.Node(L"F", {1})};
    r.reads = 0;
    r.stopAfterReads = 3;
    const CompareResult stopped = CompareSnapshots(a, b, r);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.Same());
    EXPECT_LE(r.reads, 4);  // not read to the end

    r.stopAfterReads = 1 << 30;
    r.unreadable = b[0].source;
    const CompareResult unreadable = CompareSnapshots(a, b, r);
    ASSERT_EQ(unreadable.items.size(), 2u);
    EXPECT_EQ(unreadable.items[0].kind, CompareKind::Changed);
    EXPECT_TRUE(unreadable.items[0].unreadable);
    EXPECT_EQ(unreadable.items[0].firstDifference, 0u);
    EXPECT_EQ(unreadable.items[1].kind, CompareKind::Same);
}
