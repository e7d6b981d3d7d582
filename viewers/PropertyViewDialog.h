// The property page: what is known about the selected entry (or, for the snapshot's
// root, the formats the data object offered) as name/value rows of a two-column list.
// Rows can be selected and copied to the clipboard as text from a context menu.
#pragma once

#include "viewers/KaviloPropertyPage.h"

#include <string>
#include <utility>
#include <vector>

class CCBData;

class CPropertyViewDialog : public CKaviloPropertyPage {
public:
    CPropertyViewDialog();

    // Lists the entry's rows; null empties the list. The entry must outlive its display:
    // the viewer host shows null (or another entry) before a snapshot goes.
    void ShowEntry(CCBData* entry);
    // Lists the offered formats; no entry is shown afterwards.
    void ShowOfferedFormats(const std::vector<std::wstring>& offeredTexts,
                            const std::vector<std::wstring>& moreRows = {});
    CCBData* GetShownEntry() const { return m_entry; }

    // The widths of columns 0 and 1 in pixels; 0 while the page has no window.
    std::pair<int, int> GetColumnWidths() const;

    // Writes "PROPERTY" for the shown entry's view key.
    void SaveAsDefaultView() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    LRESULT OnNotify(NMHDR* header) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    HWND GetList() const;
    void FillList();
    void ShowContextMenu();
    void CopyRows(bool names, bool values);
    void SelectAll();
    void OnSize(int width, int height);

    CCBData* m_entry = nullptr;
    int m_aveCharWidth = 0;
    std::vector<std::wstring> m_rows;  // what the list shows, kept for a window made later
};
