#include "viewers/PropertyRows.h"

#include "capture/CBData.h"

#include <gtest/gtest.h>

TEST(PropertyRows, EveryRowInOrderWhenEverythingIsKnown)
{
    CCBData entry;
    entry.m_fmt = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, 3, TYMED_HGLOBAL | TYMED_ISTREAM};
    entry.m_realTymed = TYMED_ISTREAM;
    entry.m_tempFile = L"C:\\x.cvtmp";  // never opened here
    entry.m_dataSize = 5000000000ull;
    entry.m_type = L"IStream";
    entry.m_name = L"a.txt";
    entry.m_displayName = L"エー";
    entry.m_properties = {L"エラー\tなにか", L"タブなし"};
    EXPECT_EQ(BuildEntryRows(entry), (std::vector<std::wstring>{
                                         L"フォーマット\tCF_UNICODETEXT (13)",
                                         L"Index\t3",
                                         L"サイズ\t5000000000",
                                         L"Aspect\tCONTENT ",
                                         L"Tymed\tHGLOBAL ISTREAM ",
                                         L"本当のTymed\tISTREAM ",
                                         L"タイプ\tIStream",
                                         L"名前\ta.txt",
                                         L"表示名\tエー",
                                         L"エラー\tなにか",
                                         L"タブなし",
                                     }));
    entry.m_tempFile.clear();
}

TEST(PropertyRows, RowsLeftOutWhenTheirValueIsAbsent)
{
    CCBData element;  // a storage element: format 0, index -1, no file, same medium as asked
    element.m_fmt.tymed = TYMED_ISTREAM;
    element.m_realTymed = TYMED_ISTREAM;
    element.m_dataSize = 12;
    EXPECT_EQ(BuildEntryRows(element), std::vector<std::wstring>{L"Tymed\tISTREAM "});
    CCBData index0;
    index0.m_fmt.lindex = 0;
    index0.m_realTymed = TYMED_HGLOBAL;  // nothing asked for: the real medium still shows
    EXPECT_EQ(BuildEntryRows(index0), (std::vector<std::wstring>{L"Index\t0", L"本当のTymed\tHGLOBAL "}));
}

TEST(PropertyRows, OfferedFormatsFirstNamedThenValueOnly)
{
    EXPECT_TRUE(BuildOfferedFormatRows({}).empty());
    EXPECT_EQ(BuildOfferedFormatRows({L"CF_TEXT", L"CF_LOCALE", L"\"HTML Format\""}),
              (std::vector<std::wstring>{L"フォーマット\tCF_TEXT", L"\tCF_LOCALE", L"\t\"HTML Format\""}));
}

TEST(PropertyRows, SplitAtTheFirstTabOnly)
{
    EXPECT_EQ(SplitRow(L"名前\ta\tb"), std::make_pair(std::wstring(L"名前"), std::wstring(L"a\tb")));
    EXPECT_EQ(SplitRow(L"タブなし"), std::make_pair(std::wstring(L"タブなし"), std::wstring()));
    EXPECT_EQ(SplitRow(L"\tvalue"), std::make_pair(std::wstring(), std::wstring(L"value")));
}
