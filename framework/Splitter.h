// A static splitter of one row and two columns: two pane windows side by side with a bar
// between them that the mouse drags. It reflects WM_NOTIFY to the pane that sent it and
// moves the focus between the panes (next and previous pane).
#pragma once

#include "framework/Window.h"

namespace fw {

class Splitter : public Window {
public:
    bool Create(HWND parent, UINT id);
    // The panes are children of the splitter, created by the caller with GetSafeHwnd() as parent.
    void SetPanes(HWND left, HWND right) { m_panes[0] = left, m_panes[1] = right; }
    HWND GetPane(int column) const { return column == 0 || column == 1 ? m_panes[column] : nullptr; }
    void SetColumnWidth(int width);
    // The current width of the left column.
    int GetColumnWidth() const { return m_leftWidth; }
    void ActivateNextPane(bool previous);
    void RecalcLayout();

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr int kBarWidth = 6;
    HWND m_panes[2] = {nullptr, nullptr};
    int m_leftWidth = 200;
    bool m_dragging = false;
};

}  // namespace fw
