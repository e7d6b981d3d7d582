// The fixture of the in-process window tests: the application started on a fresh
// registry key with its temporary folder in a scratch folder, message boxes recorded,
// and commands sent to the main window as the menu sends them.
#pragma once

#include "app/KaviloApp.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::DeleteAppRegistryKey();
        ASSERT_TRUE(fw::WriteProfileString(L"Settings", L"TemporaryFolder", m_base.Path()));
        Start();
    }
    void TearDown() override
    {
        ::OleSetClipboard(nullptr);
        Quit();
        fw::DeleteAppRegistryKey();
    }
    // Starts the application again (after Quit), on the settings the last run left.
    void Start()
    {
        m_app = std::make_unique<CKaviloApp>();
        ASSERT_TRUE(m_app->InitInstance());
        m_frame = m_app->GetMainFrame();
        PumpPending();
    }
    void Quit()
    {
        if (m_app) m_app->ExitInstance();
        m_app.reset();
        m_frame = nullptr;
    }
    void Command(UINT id)
    {
        ::SendMessageW(m_frame->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        PumpPending();
    }
    // Drags `object` onto a drop area (all formats, or the one that asks for a format) and
    // drops it there, as a source allowing `allowed` would; the effect the drop answered.
    DWORD DropOnArea(IDataObject* object, bool chooseFormat = false, DWORD allowed = DROPEFFECT_COPY)
    {
        IDropTarget* target = m_frame->GetDropArea(chooseFormat).GetDropTarget();
        DWORD effect = allowed;
        POINTL point = {0, 0};
        target->DragEnter(object, MK_LBUTTON, point, &effect);
        if (effect == DROPEFFECT_NONE) {
            target->DragLeave();
            return effect;
        }
        effect = allowed;
        target->Drop(object, 0, point, &effect);
        return effect;
    }

    fw::MessageBoxRecorder m_boxes;
    ScratchDir m_base;
    std::unique_ptr<CKaviloApp> m_app;
    CMainFrame* m_frame = nullptr;
};

}  // namespace testing_support
