// Open and Save As of the main window, driven in-process through the frame's commands
// with the file dialogs answered by the test.
#include "app/KaviloApp.h"
#include "capture/CBData.h"
#include "framework/FileDialog.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"
#include "res/resource.h"
#include "tests/TestDataObject.h"
#include "tests/app/AppFixture.h"
#include "tests/TestSupport.h"
#include "viewers/PropertyRows.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <functional>

using namespace testing_support;

namespace {

// Each item of the tree, depth first: its text, its icon and the rows its entry shows.
void ReadTree(HWND tree, HTREEITEM item, std::vector<std::wstring>& out)
{
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        wchar_t text[512] = {};
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 512;
        TreeView_GetItem(tree, &tv);
        out.push_back(std::wstring(text) + L" [" + std::to_wstring(tv.iImage) + L"]");
        if (auto* entry = reinterpret_cast<CCBData*>(tv.lParam))
            for (const std::wstring& row : BuildEntryRows(*entry)) out.push_back(L"  " + row);
        ReadTree(tree, TreeView_GetChild(tree, item), out);
    }
}

class SnapshotCommands : public AppFixture {
protected:
    std::vector<std::wstring> Tree()
    {
        std::vector<std::wstring> out;
        HWND tree = m_frame->GetLeftView().GetSafeHwnd();
        ReadTree(tree, TreeView_GetRoot(tree), out);
        return out;
    }
    void PasteSomething()
    {
        TestDataObject* object = TestDataObject::Create();
        object->Offer(Fmt(CF_UNICODETEXT), GlobalMedium({'o', 0, 'k', 0, 0, 0}));
        object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Refused")), FailingMedium());
        object->Offer(Fmt(::RegisterClipboardFormatW(L"Orvetta Stream"), TYMED_ISTREAM), StreamMedium({1, 2, 3}));
        ASSERT_EQ(SetOleClipboard(object), S_OK);
        object->Release();
        Command(ID_EDIT_PASTE);
    }

    ScratchDir m_files;
};

}  // namespace

TEST_F(SnapshotCommands, MenuAndAcceleratorsOfTheFileCommands)
{
    HMENU menu = ::GetMenu(m_frame->GetSafeHwnd());
    HMENU file = ::GetSubMenu(menu, 0);
    ASSERT_TRUE(file);
    wchar_t text[64] = {};
    ::GetMenuStringW(file, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"開く(&O)...\tCtrl+O");
    EXPECT_EQ(::GetMenuItemID(file, 0), static_cast<UINT>(ID_FILE_OPEN));
    ::GetMenuStringW(file, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"名前を付けて保存(&A)...\tCtrl+S");
    EXPECT_EQ(::GetMenuItemID(file, 1), static_cast<UINT>(ID_FILE_SAVE_AS));
    EXPECT_EQ(::GetMenuItemID(file, ::GetMenuItemCount(file) - 1), static_cast<UINT>(ID_APP_EXIT));

    HACCEL table = ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ACCEL keys[16] = {};
    const int count = ::CopyAcceleratorTableW(table, keys, 16);
    auto commandOf = [&](WORD key) {
        for (int i = 0; i < count; ++i)
            if (keys[i].key == key && (keys[i].fVirt & FCONTROL) && (keys[i].fVirt & FVIRTKEY)) return keys[i].cmd;
        return WORD(0);
    };
    EXPECT_EQ(commandOf('O'), ID_FILE_OPEN);
    EXPECT_EQ(commandOf('S'), ID_FILE_SAVE_AS);

    // Nothing captured yet: there is nothing to save.
    fw::FileDialogAnswer answer(m_files / L"never.kavilo");
    Command(ID_FILE_SAVE_AS);
    EXPECT_TRUE(answer.Requests().empty());
}

// Capture, save, quit, start again, open: the same tree with the same rows, and the caption
// names the file. A file that cannot be read leaves everything as it was.
TEST_F(SnapshotCommands, SavedSnapshotOpensInTheNextRunAsItWas)
{
    PasteSomething();
    const std::wstring title = m_app->GetDocument()->GetTitle();
    const std::vector<std::wstring> pasted = Tree();
    ASSERT_GE(pasted.size(), 4u);

    const std::wstring path = m_files / L"bug 1234.kavilo";
    {
        fw::FileDialogAnswer answer(path);
        Command(ID_FILE_SAVE_AS);
        ASSERT_EQ(answer.Requests().size(), 1u);
        const fw::FileDialogRequest& request = answer.Requests()[0];
        EXPECT_TRUE(request.save);
        ASSERT_EQ(request.types.size(), 1u);
        EXPECT_EQ(request.types[0].name, L"Orvetta スナップショット (*.kavilo)");
        EXPECT_EQ(request.types[0].pattern, L"*.kavilo");
        EXPECT_EQ(request.defaultExtension, L"kavilo");
        EXPECT_EQ(request.fileName, title + L".kavilo");
    }
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), L"bug 1234.kavilo - Orvetta");
    EXPECT_TRUE(m_boxes.Texts().empty());

    Quit();
    Start();
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), L"無題 - Orvetta");
    {
        fw::FileDialogAnswer answer(path);
        Command(ID_FILE_OPEN);
        ASSERT_EQ(answer.Requests().size(), 1u);
        EXPECT_FALSE(answer.Requests()[0].save);
    }
    EXPECT_EQ(Tree(), pasted);
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), L"bug 1234.kavilo - Orvetta");
    EXPECT_EQ(m_app->GetDocument()->GetTitle(), title);

    // Save As again offers the file's own name.
    {
        fw::FileDialogAnswer cancel;
        Command(ID_FILE_SAVE_AS);
        ASSERT_EQ(cancel.Requests().size(), 1u);
        EXPECT_EQ(cancel.Requests()[0].fileName, L"bug 1234.kavilo");
    }

    ASSERT_TRUE(WriteBytes(m_files / L"broken.kavilo", {'n', 'o'}));
    {
        fw::FileDialogAnswer answer(m_files / L"broken.kavilo");
        Command(ID_FILE_OPEN);
    }
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0].rfind(L"スナップショットを読み込めません。\r\n", 0), 0u);
    EXPECT_EQ(Tree(), pasted);
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), L"bug 1234.kavilo - Orvetta");

    // A new capture is no longer the file's.
    PasteSomething();
    EXPECT_EQ(WindowText(m_frame->GetSafeHwnd()), m_app->GetDocument()->GetTitle() + L" - Orvetta");
}
