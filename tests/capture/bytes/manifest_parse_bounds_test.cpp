#include "capture/bytes/SnapshotManifest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A manifest whose array holds `count` copies of `item`, followed by text that is not
// JSON at all: a reader that parses everything before it counts reports the syntax.
std::string ArrayThenGarbage(const char* member, const std::string& item, uint64_t count)
{
    std::string text = R"({"document":"Kavilo.Document","version":1,"entryCount":0,"streamCount":0,")";
    text += member;
    text += "\":[";
    text.reserve(text.size() + count * (item.size() + 1) + 16);
    for (uint64_t i = 0; i < count; ++i) text += item + ",";
    return text + "@@@ not JSON";
}

}  // namespace

// The bounds on array items apply while the text is parsed: the reader stops at the first
// item past them, with the bound as its reason, and never reaches the rest of the file.
TEST(ManifestParseBounds, TheReaderStopsAtTheFirstItemPastABound)
{
    const ManifestReadResult strings =
        ReadSnapshotManifest(ArrayThenGarbage("offered", "\"\"", kMaxManifestStrings + 1));
    EXPECT_FALSE(strings.ok);
    EXPECT_EQ(strings.problem, "マニフェストの文字列（行、ファイル名、形式）が多すぎます（上限 4000000）。");

    const ManifestReadResult other =
        ReadSnapshotManifest(ArrayThenGarbage("enumeration", "0", kMaxManifestOtherItems + 1));
    EXPECT_FALSE(other.ok);
    EXPECT_EQ(other.problem, "マニフェストの配列の項目（エントリ、列挙）が多すぎます（上限 1000000）。");
    // Within the bounds the reader goes on, and the garbage is what it refuses.
    EXPECT_EQ(ReadSnapshotManifest(ArrayThenGarbage("enumeration", "0", 10)).problem,
              "マニフェストが JSON のオブジェクトではありません。");
}
