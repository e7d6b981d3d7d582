#include "tests/decoders/DecoderTestSupport.h"

#include <gtest/gtest.h>

namespace {

Bytes Dword(uint32_t v)
{
    Bytes b;
    PutU32(b, v);
    return b;
}

TEST(DragDecoders, DropEffectsAndHelperFlags)
{
    DecodedTree effect = DecodeAs("Performed DropEffect", Dword(5));
    EXPECT_EQ(Field(effect, "DWORD").value, "5");
    EXPECT_EQ(Field(effect, "DWORD").meaning, "DROPEFFECT_COPY | DROPEFFECT_LINK");
    EXPECT_EQ(CountWarnings(DecodeAs("Paste Succeeded", Dword(0x10))), 1u);
    EXPECT_EQ(Field((DecodeAs("Preferred DropEffect", Dword(0))), "DWORD").meaning, "DROPEFFECT_NONE");
    EXPECT_NE(AllWarnings((DecodeAs("IsShowingText", Bytes{1, 0}))).find("足りません"), std::string::npos);
    DecodedTree flag = DecodeAs("IsShowingLayered", Dword(1));
    EXPECT_EQ(Field(flag, "BOOL").meaning, "TRUE");
    DecodedTree window = DecodeAs("DragWindow", Dword(0x1234));
    EXPECT_EQ(Field(window, "DWORD").meaning, "ウィンドウハンドル 0x00001234");
}

TEST(DragDecoders, DropDescriptionInsertAndTermination)
{
    Bytes bytes;
    PutU32(bytes, 1);
    Bytes message(520, 0), insert(520, 0);
    const std::u16string text = u"%1 にコピー";
    for (size_t i = 0; i < text.size(); ++i)
        message[2 * i] = static_cast<uint8_t>(text[i]), message[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    bytes.insert(bytes.end(), message.begin(), message.end());
    bytes.insert(bytes.end(), insert.begin(), insert.end());
    DecodedTree tree = DecodeAs("DropDescription", bytes);
    EXPECT_EQ(Field(tree, "type").meaning, "DROPIMAGE_COPY");
    EXPECT_EQ(Field(tree, "szMessage").value, "%1 にコピー");
    EXPECT_EQ(Field(tree, "szInsert").warnings.size(), 1u);
    bytes.resize(4 + 10);
    DecodedTree cut = DecodeAs("DropDescription", bytes);
    EXPECT_EQ(Field(cut, "szMessage").warnings.size(), 2u);
}

TEST(DragDecoders, DragImageHeaderLayouts)
{
    Bytes header64;
    PutU32(header64, 2);
    PutU32(header64, 3);
    PutU32(header64, 1);
    PutU32(header64, 1);
    PutU32(header64, 0xABCD);
    PutU32(header64, 0);
    PutU32(header64, 0xFF00FF);
    PutU32(header64, 0);
    Bytes bytes = header64;
    bytes.resize(32 + 2 * 3 * 4);
    DecodedTree tree = DecodeAs("DragImageBits", bytes);
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "hbmpDragImage").size, 8u);
    EXPECT_EQ(Field(tree, "ピクセル").offset, 32u);

    Bytes bytes32(header64.begin(), header64.begin() + 16);
    PutU32(bytes32, 0xABCD);
    PutU32(bytes32, 0xFF00FF);
    bytes32.resize(24 + 24);
    DecodedTree tree32 = DecodeAs("DragImageBits", bytes32);
    EXPECT_EQ(Field(tree32, "crColorKey").offset, 20u);
    EXPECT_EQ(Field(tree32, "ピクセル").offset, 24u);

    bytes32.resize(40);
    EXPECT_NE(AllWarnings((DecodeAs("DragImageBits", bytes32))).find("入りきりません"), std::string::npos);
}

TEST(DragDecoders, LocaleFromTheTableOrTheLookup)
{
    DecodedTree japanese = DecodeAs("CF_LOCALE", Dword(0x0411));
    EXPECT_EQ(Field(japanese, "LCID").meaning, "ja-JP");
    EXPECT_EQ(Field(japanese, "ANSI コードページ").value, "932");
    EXPECT_EQ(CountWarnings(DecodeAs("CF_LOCALE", Dword(0x0C1A))), 1u);
    Bytes bytes = Dword(0x0C1A);
    DecodeInput input;
    input.data = bytes.data();
    input.size = bytes.size();
    input.locale = [](uint32_t) { return std::optional<LocaleFacts>(LocaleFacts{"sr-Cyrl-CS", 1251, 855}); };
    DecodedTree looked = RunDecoder(*FindDecoder("CF_LOCALE", ""), input);
    EXPECT_EQ(Field(looked, "OEM コードページ").value, "855");
}

}  // namespace
