#include "tests/decoders/DecoderTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(TextDecoders, UrlStringsAndMozUrl)
{
    Bytes ansi;
    PutText(ansi, "https://example.org/");
    EXPECT_EQ(Field(DecodeAs("UniformResourceLocator", ansi), "文字列").warnings.size(), 1u);
    ansi.push_back(0);
    EXPECT_EQ(CountWarnings(DecodeAs("FileName", ansi)), 0u);

    Bytes moz;
    PutWide(moz, u"https://example.org/\n例のページ");
    DecodedTree tree = DecodeAs("text/x-moz-url", moz);
    EXPECT_EQ(Field(tree, "URL").value, "https://example.org/");
    EXPECT_EQ(Field(tree, "title").value, "例のページ");
    EXPECT_EQ(Field(tree, "title").offset, 42u);
}

TEST(TextDecoders, ObjectDescriptorStrings)
{
    Bytes bytes(52, 0);
    SetU32(bytes, 20, 1);
    SetU32(bytes, 44, 52);
    SetU32(bytes, 48, 900);
    PutWide(bytes, u"Document");
    PutU16(bytes, 0);
    SetU32(bytes, 0, static_cast<uint32_t>(bytes.size()));
    DecodedTree tree = DecodeAs("Object Descriptor", bytes);
    EXPECT_EQ(Field(tree, "dwFullUserTypeName").meaning, "Document");
    EXPECT_EQ(Field(tree, "dwDrawAspect").meaning, "DVASPECT_CONTENT");
    EXPECT_EQ(CountWarnings(tree), 1u);  // dwSrcOfCopy points outside
}

TEST(TextDecoders, RtfHeaderTablesAndBraces)
{
    Bytes rtf;
    PutText(rtf,
            "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil MS Gothic;}{\\f1\\froman Times;}}"
            "{\\colortbl ;\\red255\\green0\\blue0;}\\pard Hello\\par");
    DecodedTree open = DecodeAs("Rich Text Format", rtf);
    EXPECT_EQ(Field(open, "\\ansicpg").value, "932");
    EXPECT_EQ(Field(open, "fonttbl").value, "2 個");
    EXPECT_EQ(Field(open, "\\f1").value, "Times");
    EXPECT_EQ(Field(open, "colortbl").value, "2 色");
    EXPECT_NE(AllWarnings(open).find("1 個閉じていません"), std::string::npos);
    rtf.push_back('}');
    EXPECT_EQ(CountWarnings(DecodeAs("", rtf, ".rtf")), 0u);
}

Bytes PickleString(const std::u16string& text)
{
    Bytes b;
    PutU32(b, static_cast<uint32_t>(text.size()));
    PutWide(b, text);
    while (b.size() % 4) b.push_back(0);
    return b;
}

TEST(TextDecoders, ChromiumPickledPairs)
{
    Bytes payload;
    PutU32(payload, 2);
    for (const auto& s : {u"text/x-a", u"xyz", u"application/b", u"1"}) {
        const Bytes p = PickleString(s);
        payload.insert(payload.end(), p.begin(), p.end());
    }
    Bytes bytes;
    PutU32(bytes, static_cast<uint32_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    DecodedTree tree = DecodeAs("Chromium Web Custom MIME Data Format", bytes);
    EXPECT_EQ(AllWarnings(tree), "");
    EXPECT_EQ(Field(tree, "[1]").value, "application/b");
    SetU32(bytes, 8, 1000);  // the first type's length runs past the end
    EXPECT_NE(AllWarnings(DecodeAs("Chromium Web Custom MIME Data Format", bytes)).find("データの外"),
              std::string::npos);
}

TEST(DecoderRegistry, NamesExtensionsAndEveryDecoderOnHostileBytes)
{
    EXPECT_EQ(FindDecoder("html FORMAT", "")->name, std::string("HTML Format"));
    EXPECT_EQ(FindDecoder("CF_TEXT", ".png")->name, std::string("PNG"));
    EXPECT_EQ(FindDecoder("CF_TEXT", ".txt"), nullptr);
    // Patterns that make parsers loop or jump: every decoder ends, within its bounds.
    for (const Bytes& bytes : {Bytes(), Bytes(4096, 0xFF), Bytes(4096, 0), Bytes(4096, 0x01)})
        for (const DecoderInfo* decoder : AllDecoders()) {
            DecodeInput input;
            input.data = bytes.data();
            input.size = bytes.size();
            DecodedTree tree = RunDecoder(*decoder, input);
            AllWarnings(tree);
            EXPECT_EQ(tree.decoder, decoder->name);
        }
}

}  // namespace
