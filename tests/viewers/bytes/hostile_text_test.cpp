// Each parser of viewers/bytes fed 16 MiB shaped to make it work hardest.
#include "tests/native/HostileInput.h"
#include "tests/viewers/bytes/ShiftJisTable.h"
#include "viewers/bytes/CodePageText.h"
#include "viewers/bytes/LineEnds.h"
#include "viewers/bytes/TextDecode.h"
#include "viewers/bytes/TextDetect.h"

#include <gtest/gtest.h>

#include <string>

TEST(HostileText, DetectionAndDecodingOfEndlessText)
{
    // Lead bytes without trail bytes, UTF-8 starts without continuations, no zero.
    const auto make = [](size_t size) { return Repeated({0x81, 0xE3}, size); };
    ExpectLinear(make, [](const std::vector<uint8_t>& bytes) {
        DetectCodePage(bytes.data(), bytes.size(), ShiftJisTable(), [](const uint8_t*, size_t) { return false; });
    });
    ExpectLinear(make, [](const std::vector<uint8_t>& bytes) {
        std::u16string text;
        DecodeUtf16(bytes.data(), bytes.size(), -2, text);
        EXPECT_EQ(text.size(), bytes.size() / 2);
    });
    ExpectLinear(make, [](const std::vector<uint8_t>& bytes) {
        EXPECT_EQ(PrepareMultiByteInput(bytes.data(), bytes.size(), 65001).length, bytes.size());
    });
}

TEST(HostileText, LineEndsOfLoneCarriageReturns)
{
    ExpectLinear([](size_t size) { return std::u16string(size / 2, u'\r'); },
                 [](const std::u16string& text) {
                     const LineEndCounts counts = CountLineEnds(text.data(), text.size());
                     EXPECT_EQ(RewriteLineEnds(text, counts).size(), 2 * text.size());
                 });
}

TEST(HostileText, CodePageListOfEmptyPieces)
{
    // The stored list is the user's own; 1 MiB of separators is far beyond any real one.
    ExpectLinear([](size_t size) { return std::u16string(size / 2, u';'); },
                 [](const std::u16string& stored) { EXPECT_EQ(CodePageItemsFromStored(stored).size(), 5u); },
                 size_t{1} << 20);
}
