// The hex dump control: shows a byte source of any size (up to 2^64 - 1 bytes) as lines of
// offset, hex pairs and printable characters. It never holds the data: each painted row
// is read through the owner's reader into one reused line buffer. It keeps a caret and a
// stream selection over the displayed characters, scrolls with 64-bit lines (the bars'
// positions are scaled to fit 32 bits), and copies the selection as text and as
// "BinaryData", or writes the selected bytes to a file.
#pragma once

#include "framework/CustomControl.h"
#include "framework/Handles.h"
#include "framework/WindowResources.h"
#include "viewers/bytes/ByteSearch.h"
#include "viewers/bytes/HexLayout.h"

#include <cstdint>
#include <string>
#include <vector>

// Fills `destination` with up to `count` bytes of the source from `offset` and returns
// how many it delivered; fewer than asked means the source could not give the rest
// (a truncated or vanished file). The contexts are handed back as they were given.
using HexReadProc = uint32_t (*)(uint64_t offset, uint32_t count, void* destination, void* context1,
                                 uintptr_t context2);

class CViewerOperation;

class CHexViewCtrl : public fw::CustomControl {
public:
    static const fw::CRuntimeClass classCHexViewCtrl;
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCHexViewCtrl; }

    static constexpr UINT_PTR kDragTimer = 100;
    static constexpr int kTopMargin = 2;

    explicit CHexViewCtrl(int bytesPerLine = 16);
    ~CHexViewCtrl() override;

    // Creates the window under `parent` at the rectangle of `placeholder`.
    bool Create(HWND parent, HWND placeholder, UINT id);

    // Caret, anchor and both scroll positions go back to the start.
    void SetBytesPerLine(int bytesPerLine);
    void SetDataSource(HexReadProc reader, void* context1, uintptr_t context2, uint64_t dataSize);

    void SetTopLine(uint64_t line, bool updateBar);
    void SetScrollColumn(int column, bool updateBar);
    void UpdateCaretPos();
    // Moves the caret; without `extend` the anchor moves with it.
    void SetCaret(uint64_t line, int column, bool extend);
    void EnsureCaretVisible();
    void WordLeft(bool extend);
    void WordRight(bool extend);
    HexByteRange GetSelectedByteRange() const;
    // Selects bytes [offset, offset + length) as hex pairs and scrolls them into view.
    void SelectBytes(uint64_t offset, uint64_t length);
    // Puts the caret on the pair of the byte at `offset` (limited to the data's end).
    void GoToOffset(uint64_t offset);
    // Where a find starts: forward, just after the selection's first byte (so a repeated
    // find moves on) or at the caret's byte; backward, before either of them.
    uint64_t GetFindStart(bool backward) const;
    ByteSource GetByteSource() const { return ByteSource{m_reader, m_context1, m_context2, m_dataSize}; }
    // Selects bytes [begin, end) of the hex pairs, the caret at the first, and scrolls it into view.
    void SelectByteRange(uint64_t begin, uint64_t end);

    // The text of `line` as it is painted (read through the source).
    std::wstring FormatLine(uint64_t line);

    // The context menu's commands and their enabling.
    void Copy();
    void SelectAll();
    void ExportSelection();
    bool CanCopy() const { return !(m_selStart == m_selEnd); }
    bool CanExport() const { return !GetSelectedByteRange().Empty(); }
    bool CanSelectAll() const { return m_lineCount != 0; }

    uint64_t GetDataSize() const { return m_dataSize; }
    int GetBytesPerLine() const { return m_bytesPerLine; }
    uint64_t GetLineCount() const { return m_lineCount; }
    uint64_t GetTopLine() const { return m_topLine; }
    uint64_t GetMaxTopLine() const { return m_maxTopLine; }
    uint64_t GetScrollScale() const { return m_scrollScale; }
    int GetVisibleLines() const { return m_visibleLines; }
    int GetScrollColumn() const { return m_scrollColumn; }
    int GetMaxScrollColumn() const { return m_maxScrollColumn; }
    int GetOffsetDigits() const { return m_offsetDigits; }
    int GetCharWidth() const { return m_charWidth; }
    int GetLineHeight() const { return m_lineHeight; }
    int GetLeftMargin() const { return m_leftMargin; }
    HexPos GetCaretPos() const { return m_caret; }
    HexPos GetSelectionStart() const { return m_selStart; }
    HexPos GetSelectionEnd() const { return m_selEnd; }
    bool IsDragging() const { return m_dragging; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int OnCreate();
    void LoadColors();
    void RecalcLayout();
    void OnPaint();
    void DrawLine(HDC dc, bool valid, uint64_t line, int y, const RECT& clip);
    void DrawRun(HDC dc, int x, int y, int from, int to, bool selected);
    void FillBackground(HDC dc, const RECT& r) const;
    void OnVScroll(int code);
    void OnHScroll(int code);
    void OnSetFocus();
    void OnKillFocus();
    void OnKeyDown(UINT key);
    void PageUp();
    void PageDown();
    void MoveCaret(uint64_t line, int column, bool extend);
    HexPos PositionAt(int x, int y, bool snap) const;
    void OnLButtonDown(int x, int y, bool shift);
    void OnDragTo(POINT point);
    void EndDrag();
    void OnLButtonDblClk(int x, int y);
    void OnMouseWheel(int delta);
    void OnContextMenu(int x, int y);
    bool OnCommand(UINT id);
    void InvalidateLines(uint64_t first, uint64_t last);
    int LineWidth(uint64_t line) const { return HexLineWidth(m_dataSize, m_bytesPerLine, line); }

    // Reads `count` bytes from `offset`; what the source did not deliver is zero. False
    // when it fell short.
    // With an operation running, each 1 MiB piece is a step of it; false also once stopped.
    bool ReadBytes(uint64_t offset, uint64_t count, uint8_t* destination) const;
    // The byte offset at a position: the pair under it, as a selection's start maps.
    uint64_t OffsetAt(HexPos pos) const;
    // Formats `line` into m_lineText from m_lineBuffer; returns its width.
    int ReadAndFormatLine(uint64_t line);
    // The copied text into `out` (HexSelectionTextLength characters); false when a read fell short.
    bool WriteSelectionText(wchar_t* out);

    HexReadProc m_reader = nullptr;
    void* m_context1 = nullptr;
    uintptr_t m_context2 = 0;
    uint64_t m_dataSize = 0;

    class OperationScope;
    // Copy and export of a large selection, while they run.
    CViewerOperation* m_operation = nullptr;
    mutable uint64_t m_operationDone = 0;
    uint64_t m_operationTotal = 0;

    int m_bytesPerLine;
    std::vector<uint8_t> m_lineBuffer;
    std::vector<wchar_t> m_lineText;
    std::vector<int> m_spacing;  // every character advances by exactly one character width

    fw::UniqueFont m_font;
    int m_charWidth = 8;
    int m_charHeight = 16;
    int m_lineHeight = 16;
    int m_leftMargin = 4;
    int m_caretWidth = 1;

    COLORREF m_backColor = 0, m_textColor = 0, m_textBackColor = 0, m_selTextColor = 0, m_selBackColor = 0;
    fw::UniqueBrush m_backBrush;

    uint64_t m_lineCount = 0;
    int m_visibleLines = 0;
    uint64_t m_maxTopLine = 0;
    uint64_t m_scrollScale = 1;
    int m_offsetDigits = 4;
    int m_maxLineWidth = 0;
    int m_visibleColumns = 0;
    int m_maxScrollColumn = 0;

    uint64_t m_topLine = 0;
    int m_scrollColumn = 0;

    HexPos m_caret, m_anchor, m_selStart, m_selEnd;

    bool m_hasFocus = false;
    bool m_dragging = false;
    POINT m_lastMouse = {};
    fw::Caret m_caretOwner;
    fw::Timer m_dragTimer;
};
