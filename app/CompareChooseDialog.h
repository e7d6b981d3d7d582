// "比較する相手": the roots of the history a selected root can be compared with, each as
// the tree names it with when it was taken and by whom, and "ファイルを開く..." for a
// snapshot file instead. Enter or a double click compares with the selected root.
#pragma once

#include "framework/Dialog.h"

#include <cstddef>
#include <string>
#include <vector>

struct CompareCandidate {
    std::wstring title;  // as the tree shows the root
    std::wstring taken;  // when it was taken
    std::wstring owner;  // who put the data there, empty when not known
};

class CCompareChooseDialog : public fw::Dialog {
public:
    // DoModal's result when the user asked for a snapshot file instead of a root.
    static constexpr INT_PTR kChooseFile = 2000;

    // `preselected` starts selected (an index into `candidates`).
    CCompareChooseDialog(std::wstring titleA, std::vector<CompareCandidate> candidates, size_t preselected);

    // The candidate chosen, after IDOK.
    size_t GetChosen() const { return m_chosen; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnOK() override;

private:
    int Selected() const;

    std::wstring m_titleA;
    std::vector<CompareCandidate> m_candidates;
    size_t m_chosen;
};
