// The "HEX" page: the bytes of one entry in the hex view control, read straight from the
// entry's temporary file line by line, with a choice of 16, 32 or 64 bytes per line that
// every hex page shares (the "HexViewWidth" setting).
#pragma once

#include "framework/Handles.h"
#include "viewers/HexViewCtrl.h"
#include "viewers/KaviloPropertyPage.h"
#include "viewers/NoSelEdit.h"

#include <memory>

class CCBData;
class CHexFindDialog;

class CHexViewDialog : public CKaviloPropertyPage {
public:
    // `entry` may be null; it and its temporary file must outlive the page.
    explicit CHexViewDialog(CCBData* entry);
    ~CHexViewDialog() override;

    // Writes "HEX" for the entry's view key.
    void SaveAsDefaultView() override;

    CHexViewCtrl& GetHexView() { return m_hexView; }
    // Selects bytes [begin, end) of the entry; before the page's window exists, once it is made.
    void SelectBytes(uint64_t begin, uint64_t end);
    // False when the entry's temporary file could not be opened (the page says so).
    bool HasBytes() const { return m_file.IsValid(); }

    // Ctrl+F: the find window. F3 / Shift+F3: the last query forward or backward from the
    // caret; the match is selected. False when nothing was found (said in a message box),
    // the pattern was bad, or the user stopped the search (the caret stays).
    void OpenFind();
    bool Find(bool backward);
    // Ctrl+G.
    void GoTo();
    CHexFindDialog* GetFindDialog() const { return m_findDialog.get(); }

    // The reader handed to the control: `page` is this page.
    static uint32_t HexPageReadProc(uint64_t offset, uint32_t count, void* destination, void* page, uintptr_t);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void OnSize(int width, int height);

    CCBData* m_entry;
    CHexViewCtrl m_hexView{16};
    fw::UniqueFont m_font;
    fw::UniqueFile m_file;  // read-only, shared for reading, for the page's life
    CNoSelEdit m_placeholder;
    std::unique_ptr<CHexFindDialog> m_findDialog;
    // A selection asked for before the control had its bytes.
    bool m_selectionPending = false;
    uint64_t m_pendingBegin = 0, m_pendingEnd = 0;
};
