// Each parser of capture/bytes fed 16 MiB shaped to make it work hardest.
#include "capture/bytes/Cida.h"
#include "capture/bytes/DibLayout.h"
#include "capture/bytes/DragImageLayout.h"
#include "capture/bytes/DropFiles.h"
#include "capture/bytes/FileGroupDescriptor.h"
#include "capture/bytes/SnapshotManifest.h"
#include "tests/native/HostileInput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

TEST(HostileInput, ShellIDListArrayOfOverlappingLists)
{
    // Count and every offset 0x00020002; every item is two bytes and leads to the next,
    // so that every list runs on to the terminator at the end of the data.
    ExpectLinear(
        [](size_t size) {
            auto bytes = Repeated({0x02, 0x00}, size);
            bytes[size - 2] = 0;
            return bytes;
        },
        [](const std::vector<uint8_t>& bytes) { EXPECT_TRUE(ReadCida(bytes.data(), bytes.size()).damaged); });
}

TEST(HostileInput, DropFilesOfEndlessAndCountlessNames)
{
    // Names said to start far past the block; one name without an end; millions of names.
    ExpectLinear(
        [](size_t size) {
            return Repeated({0xF0, 0xFF, 0xFF, 0x7F}, size);
        },
        [](const std::vector<uint8_t>& bytes) { EXPECT_TRUE(ReadDropFiles(bytes.data(), bytes.size()).damaged); });
    ExpectLinear(
        [](size_t size) {
            auto bytes = Repeated({'a'}, size);
            Put32(bytes, 0, 20);
            return bytes;
        },
        [](const std::vector<uint8_t>& bytes) { EXPECT_TRUE(ReadDropFiles(bytes.data(), bytes.size()).damaged); });
    ExpectLinear(
        [](size_t size) {
            return Repeated({'a', 0}, size);
        },
        [](const std::vector<uint8_t>& bytes) {
            EXPECT_EQ(ReadNameList(bytes.data(), bytes.size(), 0, false).names.size(), bytes.size() / 2);
        });
}

TEST(HostileInput, FileGroupClaimingMoreThanItHolds)
{
    // 2^32 - 1 descriptors claimed, names without a terminator in every field.
    for (const bool wide : {true, false}) {
        ExpectLinear(
            [](size_t size) {
                return Repeated({0xFF, 0xFF, 0xFF, 0xFF, 'a', 'a', 'a', 'a'}, size);
            },
            [wide](const std::vector<uint8_t>& bytes) {
                const FileGroupNames group = ReadFileGroupNames(bytes.data(), bytes.size(), wide);
                EXPECT_TRUE(group.truncated);
                EXPECT_EQ(group.names.size(),
                          (bytes.size() - 4) / (wide ? kFileDescriptorWSize : kFileDescriptorASize));
            });
    }
}

TEST(HostileInput, PictureHeadersClaimingHugeSizes)
{
    // 60000 × 60000 pixels claimed by a drag image, 30000 × 30000 by a DIB header.
    const auto drag = Repeated({0x60, 0xEA, 0x00, 0x00}, kHostileSize);
    EXPECT_FALSE(ReadDragImageLayout(drag.data(), drag.size()).valid);
    auto dib = Repeated({0}, kHostileSize);
    const uint8_t header[] = {40, 0, 0, 0, 0x30, 0x75, 0, 0, 0x30, 0x75, 0, 0, 1, 0, 32, 0};
    std::copy(std::begin(header), std::end(header), dib.begin());
    EXPECT_FALSE(ReadDibLayout(dib.data(), dib.size()).valid);
}

TEST(HostileInput, ManifestOfDeepNestingAndEndlessArrays)
{
    ExpectLinear([](size_t size) { return std::string(size, '['); },
                 [](const std::string& text) { EXPECT_FALSE(ReadSnapshotManifest(text).ok); });
    // A string as long as the text; then a list of as many empty strings as fit, which
    // costs the JSON parser far more per byte: 4 MiB of them keep the test short under
    // the sanitizers.
    ExpectLinear(
        [](size_t size) {
            return R"({"document":"Kavilo.Document","version":1,"title":")" + std::string(size, 'a') + "\"}";
        },
        [](const std::string& text) { EXPECT_FALSE(ReadSnapshotManifest(text).ok); });
    ExpectLinear(
        [](size_t size) {
            std::string text = R"({"document":"Kavilo.Document","version":1,"entryCount":0,"streamCount":0,)";
            text += R"("offered":[)";
            while (text.size() < size) text += "\"\",";
            return text + R"(""]})";
        },
        [](const std::string& text) { EXPECT_FALSE(ReadSnapshotManifest(text).ok); }, size_t{4} << 20);
}
