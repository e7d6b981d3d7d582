#include "framework/MessageBox.h"

#include <gtest/gtest.h>

TEST(AppMessageBox, RecorderCapturesTextsAndTypesAndAnswers)
{
    fw::MessageBoxRecorder recorder(IDCANCEL);
    EXPECT_EQ(fw::AfxMessageBox(L"一時ファイルを読めません"), IDCANCEL);
    EXPECT_EQ(fw::AfxMessageBox(L"二つ目", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(recorder.Boxes().size(), 2u);
    EXPECT_EQ(recorder.Boxes()[0].text, L"一時ファイルを読めません");
    EXPECT_EQ(recorder.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(recorder.Boxes()[1].type, static_cast<UINT>(MB_OKCANCEL));
}

TEST(AppMessageBox, InnerRecorderTakesBoxesUntilItEnds)
{
    fw::MessageBoxRecorder outer;
    {
        fw::MessageBoxRecorder inner(IDNO);
        EXPECT_EQ(fw::AfxMessageBox(L"inner"), IDNO);
        EXPECT_EQ(inner.Texts(), std::vector<std::wstring>{L"inner"});
    }
    EXPECT_EQ(fw::AfxMessageBox(L"outer"), IDOK);
    EXPECT_EQ(outer.Texts(), std::vector<std::wstring>{L"outer"});
}

TEST(AppMessageBox, CaptionIsTheApplicationName)
{
    EXPECT_EQ(fw::GetAppName(), L"Orvetta");
}
