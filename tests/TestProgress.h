// A capture progress for the tests: records the item texts and asks to stop once a
// chosen number of items has been shown (or never).
#pragma once

#include "capture/CaptureProgress.h"

#include <string>
#include <vector>

namespace testing_support {

class TestProgress : public ICaptureProgress {
public:
    explicit TestProgress(size_t stopAtItem = SIZE_MAX) : m_stopAtItem(stopAtItem) {}
    void Open() override { ++m_opened; }
    void Close() override { ++m_closed; }
    void SetItemText(const std::wstring& text) override
    {
        m_items.push_back(text);
        if (m_items.size() >= m_stopAtItem) m_stop = TRUE;
    }
    BOOL IsStopRequested() const override { return m_stop; }
    HWND GetDialogWindow() const override { return nullptr; }

    std::vector<std::wstring> m_items;
    size_t m_stopAtItem;
    BOOL m_stop = FALSE;
    int m_opened = 0, m_closed = 0;
};

}  // namespace testing_support
