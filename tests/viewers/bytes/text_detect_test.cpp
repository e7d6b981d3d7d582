#include "viewers/bytes/TextDetect.h"

#include "tests/viewers/bytes/ShiftJisTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Detection with a 932 check that reports what it was asked about.
struct Probe {
    bool answer = false;
    size_t askedLength = 0;
    int asked = 0;
    int Detect(const std::vector<uint8_t>& data)
    {
        return DetectCodePage(data.data(), data.size(), ShiftJisTable(), [this](const uint8_t*, size_t m) {
            ++asked;
            askedLength = m;
            return answer;
        });
    }
};

}  // namespace

TEST(TextDetect, MarksAndZeroBytesDecideFirst)
{
    Probe probe;
    EXPECT_EQ(probe.Detect({0xEF, 0xBB, 0xBF, 0x61}), kCodePageUtf8);
    EXPECT_EQ(probe.Detect({0xFF, 0xFE}), kCodePageUtf16LE);
    EXPECT_EQ(probe.Detect({0xFE, 0xFF, 0x00, 0x41}), kCodePageUtf16BE);
    // A mark cut short is no mark.
    EXPECT_EQ(probe.Detect({0xEF, 0xBB}), kCodePageAnsi);
    // A zero at an odd offset and then any non-zero byte: UTF-16 LE.
    EXPECT_EQ(probe.Detect({0x41, 0x00, 0x42, 0x00}), kCodePageUtf16LE);
    // Zeros at even offsets, or an odd zero with nothing after it, decide nothing.
    EXPECT_EQ(probe.Detect({0x00, 0x41, 0x00, 0x42}), kCodePageAnsi);
    EXPECT_EQ(probe.Detect({0x41, 0x00}), kCodePageAnsi);
    EXPECT_EQ(probe.Detect({}), kCodePageAnsi);
}

TEST(TextDetect, FaultCountsOfUtf8AndDoubleByteText)
{
    const DoubleByteTable sjis = ShiftJisTable();
    auto faults = [&](const std::vector<uint8_t>& data) {
        const TextFaults f = CountTextFaults(data.data(), data.size(), sjis);
        return std::make_pair(f.utf8, f.doubleByte);
    };
    // "テキスト" in UTF-8 is also well-formed by the 932 tables.
    EXPECT_EQ(faults(Bytes("\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88")), std::make_pair(size_t{0}, size_t{0}));
    // "テキスト" in Shift_JIS: 83 65 is a bad UTF-8 start and a missing continuation.
    EXPECT_EQ(faults({0x83, 0x65, 0x83, 0x4C, 0x83, 0x58, 0x83, 0x67}).second, 0u);
    EXPECT_GT(faults({0x83, 0x65, 0x83, 0x4C, 0x83, 0x58, 0x83, 0x67}).first, 0u);
    // Inside a sequence only a byte below 0x80 is a fault, and it still counts down.
    EXPECT_EQ(faults({0xE3, 0x41, 0x42, 0x43}).first, 2u);
    EXPECT_EQ(faults({0xE3, 0xC0, 0xC0}).first, 0u);
    // A zero inside a sequence or after a lead byte is a fault and ends the scan;
    // outside one it just ends it.
    EXPECT_EQ(faults({0xC3, 0x00, 0xFF, 0xFF}), std::make_pair(size_t{1}, size_t{0}));
    EXPECT_EQ(faults({0x81, 0x00, 0x81, 0x20}), std::make_pair(size_t{1}, size_t{1}));
    EXPECT_EQ(faults({0x41, 0x00, 0xFF, 0x81, 0x20}), std::make_pair(size_t{0}, size_t{0}));
    // A lead byte with a byte that is no trail byte: one fault, the pair consumed.
    EXPECT_EQ(faults({0x81, 0x20, 0x81, 0x40}).second, 1u);
    // Cut off by the end of the data: neither kind of fault.
    EXPECT_EQ(faults({0x41, 0xF0, 0x9F}), std::make_pair(size_t{0}, size_t{0}));
    EXPECT_EQ(faults({0x41, 0xE3}), std::make_pair(size_t{0}, size_t{0}));
}

TEST(TextDetect, The932CheckIsAskedOnlyWhenBothReadingsAreClean)
{
    // Clean both ways: the check about the bytes decides between UTF-8 and ANSI.
    Probe probe;
    probe.answer = true;
    EXPECT_EQ(probe.Detect(Bytes("plain ASCII")), kCodePageUtf8);
    EXPECT_EQ(probe.askedLength, 11u);
    probe.answer = false;
    EXPECT_EQ(probe.Detect(Bytes("plain ASCII")), kCodePageAnsi);
    probe.asked = 0;
    EXPECT_EQ(probe.Detect({0x83, 0x65, 0x83, 0x4C}), kCodePageAnsi);  // only UTF-8 faults
    EXPECT_EQ(probe.Detect(Bytes("\xE3\x81\x82 1")), kCodePageUtf8);   // only double-byte faults
    EXPECT_EQ(probe.Detect({0x83, 0x20, 0x41}), kCodePageUtf16LE);     // both
    EXPECT_EQ(probe.asked, 0);
}

TEST(TextDetect, DoubleByteCharactersAreCopiedOut)
{
    const DoubleByteTable sjis = ShiftJisTable();
    auto copy = [&](const std::vector<uint8_t>& data) { return DoubleByteCharacters(data.data(), data.size(), sjis); };
    EXPECT_EQ(copy({0x41, 0x82, 0xA0, 0x42, 0xE3, 0x81}), (std::vector<uint8_t>{0x82, 0xA0, 0xE3, 0x81}));
    EXPECT_EQ(copy({0x82, 0xA0, 0x00, 0x82, 0xA2}), (std::vector<uint8_t>{0x82, 0xA0}));
    EXPECT_EQ(copy({0x41, 0x82}), std::vector<uint8_t>{});  // a lead byte alone is dropped
    EXPECT_EQ(copy({0x41, 0x42}), std::vector<uint8_t>{});
}

TEST(TextDetect, LooksNoFurtherThanItsWindow)
{
    // Past the window, neither a UTF-16 pattern nor a broken sequence changes the answer.
    std::vector<uint8_t> data(kDetectionWindow, 'a');
    data.insert(data.end(), {0x41, 0x00, 0x42, 0xFF, 0xFE, 0x81, 0x20});
    Probe probe;
    EXPECT_EQ(probe.Detect(data), kCodePageAnsi);
    EXPECT_EQ(probe.askedLength, kDetectionWindow);
    // A zero at the window's last odd offset with a non-zero byte just after it.
    std::vector<uint8_t> edge(kDetectionWindow + 1, 'a');
    edge[kDetectionWindow - 1] = 0;
    EXPECT_EQ(probe.Detect(edge), kCodePageAnsi);
    edge[kDetectionWindow - 3] = 0;
    EXPECT_EQ(probe.Detect(edge), kCodePageUtf16LE);
}
