// The tests' driver of modal windows ends a modal loop whose window it never found.
#include "framework/Dialog.h"
#include "res/resource.h"
#include "tests/ModalScript.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

TEST(ModalScript, FailsTheTestAndClosesTheDialogWhenItsWindowNeverAppears)
{
    INT_PTR result = 0;
    bool ran = true;
    EXPECT_NONFATAL_FAILURE(
        {
            testing_support::ModalScript script([] { return HWND{}; }, [](HWND) {}, std::chrono::milliseconds(300));
            fw::Dialog dialog(IDD_COPYING);
            result = dialog.DoModal(nullptr);
            ran = script.Ran();
        },
        "did not appear in time");
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(ran);
}
