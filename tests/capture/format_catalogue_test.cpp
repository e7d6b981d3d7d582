#include "capture/FormatCatalogue.h"

#include <gtest/gtest.h>

namespace {

std::pair<std::wstring, BOOL> NameOf(UINT format)
{
    std::wstring name = L"junk";
    BOOL registered = 2;
    GetFormatName(format, name, registered);
    return {name, registered};
}

FORMATETC Fmt(UINT format, DWORD aspect)
{
    FORMATETC fmt = {static_cast<CLIPFORMAT>(format), nullptr, aspect, -1, TYMED_HGLOBAL};
    return fmt;
}

}  // namespace

TEST(FormatCatalogue, PredefinedFormatsAndRanges)
{
    EXPECT_EQ(NameOf(1), std::make_pair(std::wstring(L"CF_TEXT"), FALSE));
    EXPECT_EQ(NameOf(17).first, L"CF_DIBV5");
    EXPECT_EQ(NameOf(0x8E).first, L"CF_DSPENHMETAFILE");
    EXPECT_EQ(NameOf(0x200), std::make_pair(std::wstring(L"CF_PRIVATEFIRST+0"), FALSE));
    EXPECT_EQ(NameOf(0x2FF).first, L"CF_PRIVATEFIRST+255");
    EXPECT_EQ(NameOf(0x300).first, L"CF_GDIOBJFIRST+0");
    EXPECT_EQ(NameOf(0x305).first, L"CF_GDIOBJFIRST+5");
    EXPECT_EQ(NameOf(0x3FF), std::make_pair(std::wstring(L"CF_GDIOBJFIRST+255"), FALSE));
}

TEST(FormatCatalogue, UnregisteredNumbersShowInDecimal)
{
    EXPECT_EQ(NameOf(18), std::make_pair(std::wstring(L"18"), FALSE));
    EXPECT_EQ(NameOf(0x84), std::make_pair(std::wstring(L"132"), FALSE));
    EXPECT_EQ(NameOf(0).first, L"0");
}

TEST(FormatCatalogue, RegisteredNamesAreShellConstantsOrQuoted)
{
    const UINT descriptorW = ::RegisterClipboardFormatW(L"FileGroupDescriptorW");
    EXPECT_EQ(NameOf(descriptorW), std::make_pair(std::wstring(L"CFSTR_FILEDESCRIPTORW"), TRUE));
    EXPECT_EQ(NameOf(::RegisterClipboardFormatW(L"Shell IDList Array")).first, L"CFSTR_SHELLIDLIST");
    EXPECT_EQ(NameOf(::RegisterClipboardFormatW(L"UniformResourceLocator")).first, L"CFSTR_SHELLURL");
    EXPECT_EQ(NameOf(::RegisterClipboardFormatW(L"HTML Format")),
              std::make_pair(std::wstring(L"\"HTML Format\""), TRUE));
    // Quotation marks inside a name are not escaped; the whole name is quoted once more.
    EXPECT_EQ(NameOf(::RegisterClipboardFormatW(L"say \"hi\"")).first, L"\"say \"hi\"\"");
    EXPECT_EQ(NameOf(::RegisterClipboardFormatW(L"日本語の形式")).first, L"\"日本語の形式\"");
}

TEST(FormatCatalogue, ShellConstantLookupIsCaseSensitive)
{
    // The system's format names are case-insensitive: the first spelling registered is
    // the one it returns. The table lookup must use that spelling exactly.
    const UINT format = ::RegisterClipboardFormatW(L"MOUNTEDVOLUME");
    wchar_t spelling[256] = {};
    ASSERT_GT(::GetClipboardFormatNameW(format, spelling, 256), 0);
    if (std::wstring(spelling) == L"MountedVolume") {
        EXPECT_EQ(NameOf(format).first, L"CFSTR_MOUNTEDVOLUME");
    } else {
        EXPECT_EQ(NameOf(format).first, L"\"" + std::wstring(spelling) + L"\"");
    }
}

TEST(FormatCatalogue, FormatEtcTextAddsAspectWordsAboveContent)
{
    EXPECT_EQ(GetFormatEtcText(Fmt(CF_TEXT, 0)), L"CF_TEXT");
    EXPECT_EQ(GetFormatEtcText(Fmt(CF_TEXT, DVASPECT_CONTENT)), L"CF_TEXT");
    EXPECT_EQ(GetFormatEtcText(Fmt(CF_TEXT, DVASPECT_THUMBNAIL)), L"CF_TEXT THUMBNAIL ");
    EXPECT_EQ(GetFormatEtcText(Fmt(CF_BITMAP, 0x20)), L"CF_BITMAP 0x20? ");
    EXPECT_EQ(GetFormatEtcText(Fmt(CF_ENHMETAFILE, 5)), L"CF_ENHMETAFILE CONTENT ICON ");
}

TEST(FormatCatalogue, ViewKeyComparisonIgnoresCaseAndFallsBackToOrdinal)
{
    EXPECT_EQ(CompareViewKeys(L".PNG", L".png"), 0);
    EXPECT_EQ(CompareViewKeys(L"\"TEXT/html\"", L"\"text/HTML\""), 0);
    EXPECT_LT(CompareViewKeys(L".bmp", L".png"), 0);
    EXPECT_GT(CompareViewKeys(L".png", L".BMP"), 0);
    EXPECT_NE(CompareViewKeys(L".png", L".png "), 0);
    EXPECT_NE(CompareViewKeys(L"", L".png"), 0);
}

TEST(FormatCatalogue, DefaultViewTabsIgnoreCaseAndCodePagesDoNot)
{
    EXPECT_EQ(FindFormatDefaultViewTab(L".JPG"), std::optional<int>(ViewTab_Image));
    EXPECT_EQ(FindFormatDefaultViewTab(L".png"), std::optional<int>(ViewTab_Image));
    EXPECT_EQ(FindFormatDefaultViewTab(L"\"html format\""), std::optional<int>(ViewTab_Text));
    EXPECT_EQ(FindFormatDefaultViewTab(L"cfstr_shellurl"), std::optional<int>(ViewTab_Text));
    EXPECT_EQ(FindFormatDefaultViewTab(L".txt"), std::nullopt);
    EXPECT_EQ(FindFormatDefaultViewTab(L"\"PNG"), std::nullopt);

    EXPECT_EQ(FindFormatDefaultCodePage(L".JPG"), std::nullopt);
    EXPECT_EQ(FindFormatDefaultCodePage(L"\"HTML Format\""), std::optional<int>(65001));
    EXPECT_EQ(FindFormatDefaultCodePage(L"\"html format\""), std::nullopt);
    EXPECT_EQ(FindFormatDefaultCodePage(L"CFSTR_FILENAMEA"), std::optional<int>(0));
    EXPECT_EQ(FindFormatDefaultCodePage(L"CFSTR_INETURLW"), std::optional<int>(-1));
}

TEST(FormatCatalogue, ViewTabWords)
{
    EXPECT_EQ(ViewTabFromName(L"HEX"), std::optional<int>(0));
    EXPECT_EQ(ViewTabFromName(L"PROPERTY"), std::optional<int>(3));
    EXPECT_EQ(ViewTabFromName(L"hex"), std::nullopt);
    EXPECT_EQ(ViewTabName(ViewTab_Image), L"IMAGE");
    EXPECT_EQ(ViewTabName(4), L"");
}
