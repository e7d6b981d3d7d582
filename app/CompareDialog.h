// The comparison of two snapshots as a list: each entry's path, whether it is the same,
// only in A, only in B or changed, both sizes and, for changed ones, the first differing
// offset and the count of differing bytes.
#pragma once

#include "capture/bytes/SnapshotCompare.h"
#include "framework/Dialog.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The list's rows: 形式, 比較, サイズ A, サイズ B, 最初の違い, 違うバイト数.
std::vector<std::array<std::wstring, 6>> BuildCompareRows(const CompareResult& result);

// Where a side of a row is shown: the byte at the first difference of a changed pair (at
// offset 0 otherwise). When one side's bytes are the other's beginning, the longer side
// shows its surplus selected and the shorter one its end, with nothing selected (length 0).
struct CompareShowRange {
    uint64_t offset = 0;
    uint64_t length = 1;
};
CompareShowRange CompareShowAt(const CompareItem& item, bool sideB);

// Shows a node's entry (its source) in the main window's HEX page with `length` bytes from
// the offset selected, or with the caret at the offset when `length` is 0; false when it cannot.
using CompareShowEntry = std::function<bool(const void* source, uint64_t offset, uint64_t length)>;

// "A を HEX で表示" (also Enter and a double click) and "B を HEX で表示" (also Shift with a
// double click) show the selected row's entry of that side behind the dialog, which stays
// open so that both sides can be looked at in turn. A side without a way to show it (a
// snapshot read from a file for the comparison only) has its button disabled.
class CCompareDialog : public fw::Dialog {
public:
    CCompareDialog(const CompareResult& result, std::wstring titleA, std::wstring titleB, CompareShowEntry showA = {},
                   CompareShowEntry showB = {});

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnOK() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Layout();
    const CompareItem* SelectedItem() const;
    void UpdateButtons();
    void Show(bool sideB);
    const CompareResult& m_result;
    std::wstring m_titleA, m_titleB;
    CompareShowEntry m_showA, m_showB;
};
