// Exceptions thrown by handlers stop at the framework's entry points: window procedure,
// dialog procedure and drop target.
#include "framework/Dialog.h"
#include "framework/ExceptionBarrier.h"
#include "framework/OleDropTarget.h"
#include "framework/Window.h"
#include "res/resource.h"
#include "tests/TestDataObject.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

constexpr UINT kThrowOutOfMemory = WM_APP + 1;
constexpr UINT kThrowOther = WM_APP + 2;
constexpr UINT kAnswer = WM_APP + 3;

int g_reports = 0;

class Reporter {
public:
    Reporter()
    {
        fw::SetOutOfMemoryReporter([] { ++g_reports; });
        g_reports = 0;
    }
    ~Reporter() { fw::SetOutOfMemoryReporter(nullptr); }
};

void Throw(UINT msg)
{
    if (msg == kThrowOutOfMemory) throw std::bad_alloc();
    if (msg == kThrowOther) throw std::runtime_error("handler failed");
}

class ThrowingWindow : public fw::Window {
protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        Throw(msg);
        if (msg == kAnswer) return 42;
        return DefaultProc(msg, wParam, lParam);
    }
};

class ThrowingDialog : public fw::Dialog {
public:
    ThrowingDialog() : fw::Dialog(IDD_COPYING) {}
    int m_answered = 0;

protected:
    bool OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) override
    {
        Throw(msg);
        if (msg != kAnswer) return false;
        ++m_answered;
        result = TRUE;
        return true;
    }
};

class ThrowingDropTarget : public fw::COleDropTarget {
public:
    UINT m_throw = 0;
    DWORD OnDragEnter(HWND, COleDataObject*, DWORD, POINT) override
    {
        Throw(m_throw);
        return DROPEFFECT_COPY;
    }
    DWORD OnDragOver(HWND, COleDataObject*, DWORD, POINT) override
    {
        Throw(m_throw);
        return DROPEFFECT_COPY;
    }
    bool OnDrop(HWND, COleDataObject*, DWORD, POINT) override
    {
        Throw(m_throw);
        return true;
    }
};

}  // namespace

TEST(ExceptionBarrier, WindowProcedureReportsOutOfMemoryAndSurvivesOtherExceptions)
{
    Reporter reporter;
    ThrowingWindow window;
    ASSERT_TRUE(window.Create(L"OrvettaThrowingWindow", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr, nullptr));
    HWND hwnd = window.GetSafeHwnd();
    EXPECT_EQ(::SendMessageW(hwnd, kThrowOutOfMemory, 0, 0), 0);
    EXPECT_EQ(g_reports, 1);
    EXPECT_EQ(::SendMessageW(hwnd, kThrowOther, 0, 0), 0);
    EXPECT_EQ(g_reports, 1);
    EXPECT_EQ(::SendMessageW(hwnd, kAnswer, 0, 0), 42);  // the window goes on working
}

TEST(ExceptionBarrier, DialogProcedureReportsOutOfMemoryAndSurvivesOtherExceptions)
{
    Reporter reporter;
    ThrowingDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HWND hwnd = dialog.GetSafeHwnd();
    EXPECT_EQ(::SendMessageW(hwnd, kThrowOutOfMemory, 0, 0), 0);
    EXPECT_EQ(g_reports, 1);
    EXPECT_EQ(::SendMessageW(hwnd, kThrowOther, 0, 0), 0);
    EXPECT_EQ(g_reports, 1);
    ::SendMessageW(hwnd, kAnswer, 0, 0);
    EXPECT_EQ(dialog.m_answered, 1);  // the dialog goes on working
}

TEST(ExceptionBarrier, DropTargetRefusesTheDragWhenAHandlerThrows)
{
    Reporter reporter;
    auto target = fw::MakeComObject<ThrowingDropTarget>();
    ASSERT_TRUE(target);
    testing_support::TestDataObject* source = testing_support::TestDataObject::Create();
    const POINTL point = {0, 0};
    DWORD effect = DROPEFFECT_COPY;

    target->m_throw = kThrowOutOfMemory;
    EXPECT_EQ(target->DragEnter(source, 0, point, &effect), E_OUTOFMEMORY);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(g_reports, 1);
    target->m_throw = kThrowOther;
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragOver(0, point, &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(source, 0, point, &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(g_reports, 1);
    // The target let go of the dropped object: only this test's reference is left.
    EXPECT_EQ(source->Release(), 0u);

    target->m_throw = 0;
    source = testing_support::TestDataObject::Create();
    EXPECT_EQ(target->DragEnter(source, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(target->DragLeave(), S_OK);
    EXPECT_EQ(source->Release(), 0u);
}
