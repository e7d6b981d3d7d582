// The hex page's find window (Ctrl+F): a pattern as text or hex bytes, the encodings a text
// is tried in, find next and previous. Modeless, owned by the main window; the query it
// edits is shared by every hex page, so F3 repeats it on another entry too.
#pragma once

#include "framework/Dialog.h"
#include "viewers/SnapshotFind.h"

#include <functional>

class CHexFindDialog : public fw::Dialog {
public:
    // `find(backward)` runs the query.
    explicit CHexFindDialog(std::function<void(bool backward)> find);

    // Shows the window (made on first use) with the query, the pattern selected.
    void Show(HWND owner, UINT codePage);

    // The query of the last find in any hex page.
    static FindQuery& LastQuery();
    // The query's controls (pattern, text or hex, encodings, case), which every find window
    // has under the same IDs, filled from the last query or read back into it.
    static void LoadQuery(const fw::Dialog& dialog);
    static void StoreQuery(const fw::Dialog& dialog);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void Load();
    void UpdateEncodings();

    std::function<void(bool)> m_find;
    UINT m_codePage = 0;
};

// The go-to window (Ctrl+G): an offset in hex or decimal.
class CHexGotoDialog : public fw::Dialog {
public:
    CHexGotoDialog();
    uint64_t m_offset = 0;

protected:
    void OnOK() override;
};
