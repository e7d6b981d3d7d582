// The structure page ("構造"): the entry's bytes decoded field by field, as a tree-list of
// 項目 / オフセット / サイズ / 値 with the warnings below the fields they concern and
// counted above the list. Selecting a field asks the host to select its bytes in the hex
// page; Enter (or "HEX で表示") also brings that page forward. The rows are a flat list
// of what is open, shown by an owner-data list view, so a field with 100,000 children
// opens at once; children of large arrays are made only when opened.
#pragma once

#include "capture/EntryDecoder.h"
#include "viewers/KaviloPropertyPage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CCBData;

class CStructureViewDialog : public CKaviloPropertyPage {
public:
    // The entry must outlive the page.
    explicit CStructureViewDialog(CCBData* entry);

    // A page for entries whose format or stored file has a decoder; null for the others.
    static std::shared_ptr<CKaviloPropertyPage> CreateForEntry(CCBData* entry);

    // Writes "STRUCTURE" for the entry's view key.
    void SaveAsDefaultView() override;

    // Told the bytes [begin, end) of the field selected; `show` asks for the hex page in front.
    using SelectBytesHandler = std::function<void(uint64_t begin, uint64_t end, bool show)>;
    void SetSelectBytesHandler(SelectBytesHandler handler) { m_selectBytes = std::move(handler); }

    // What the page shows, for tests: the summary above the list and the rows' texts.
    std::wstring GetSummaryText() const;
    int GetRowCount() const { return static_cast<int>(m_rows.size()); }
    std::wstring GetRowText(int row, int column) const;
    // Opens or closes the row's children; false when it has none.
    bool ToggleRow(int row);
    // Selects the row (and tells the handler); -1 selects none.
    void SelectRow(int row);
    // The text the copy commands put on the clipboard.
    std::wstring CopyText(bool all) const;
    const DecodedTree* GetTree() const { return m_decoding ? &m_decoding->tree : nullptr; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnOK() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    struct Row {
        DecodedField* field;  // null for a warning about the whole block
        int depth;
        int warning;  // -1: the field itself; else the index of its warning (or the block's)
        bool open;
    };
    void AppendFieldRows(std::vector<Row>& rows, DecodedField& field, int depth, bool openSmall);
    void Open(int row);
    void Close(int row);
    void Refill(int keepSelected);
    void ShowSelected(bool show);
    void ShowContextMenu();
    void Copy(bool all);
    void OnSize(int width, int height);
    HWND GetList() const;
    int GetSelectedRow() const;

    CCBData* m_entry;
    std::unique_ptr<EntryDecoding> m_decoding;
    std::vector<Row> m_rows;
    SelectBytesHandler m_selectBytes;
    mutable std::wstring m_textBuffer;  // the display text handed to the list view
};
