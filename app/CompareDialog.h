// The comparison of two snapshots as a list: each entry's path, whether it is the same,
// only in A, only in B or changed, both sizes and, for changed ones, the first differing
// offset and the count of differing bytes.
#pragma once

#include "capture/bytes/SnapshotCompare.h"
#include "framework/Dialog.h"

#include <array>
#include <string>
#include <vector>

// The list's rows: 形式, 比較, サイズ A, サイズ B, 最初の違い, 違うバイト数.
std::vector<std::array<std::wstring, 6>> BuildCompareRows(const CompareResult& result);

class CCompareDialog : public fw::Dialog {
public:
    CCompareDialog(const CompareResult& result, std::wstring titleA, std::wstring titleB);

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Layout();
    const CompareResult& m_result;
    std::wstring m_titleA, m_titleB;
};
