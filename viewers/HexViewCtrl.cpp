#include "viewers/HexViewCtrl.h"

#include "viewers/bytes/HexByteSelection.h"

#include "framework/Clipboard.h"
#include "framework/FileDialog.h"
#include "framework/MessageBox.h"
#include "framework/PaintDC.h"
#include "res/find_resource.h"
#include "res/hexview_resource.h"
#include "viewers/ViewerProgress.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <new>
#include <tuple>

namespace {

constexpr uint32_t kStep = 0x100000;  // export and copy read 1 MiB at a time
constexpr UINT kGlobalFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

UINT BinaryDataFormat()
{
    static const UINT format = ::RegisterClipboardFormatW(L"BinaryData");
    return format;
}

// Large blocks are only tried when the memory is there: an allocation that succeeds on
// an overcommitted system would otherwise page the machine to a halt while it is filled.
bool MemoryAvailableFor(uint64_t bytes)
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return true;
    return bytes <= status.ullAvailPhys;
}

SCROLLINFO ScrollInfo(UINT mask)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = mask;
    return info;
}

bool ShiftHeld()
{
    return ::GetKeyState(VK_SHIFT) < 0;
}
bool ControlHeld()
{
    return ::GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

// Makes the control's reads steps of `operation` while it lives.
class CHexViewCtrl::OperationScope {
public:
    OperationScope(CHexViewCtrl& control, CViewerOperation& operation, uint64_t total) : m_control(control)
    {
        m_control.m_operation = &operation;
        m_control.m_operationDone = 0;
        m_control.m_operationTotal = total;
    }
    ~OperationScope() { m_control.m_operation = nullptr; }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    CHexViewCtrl& m_control;
};

const fw::CRuntimeClass CHexViewCtrl::classCHexViewCtrl = {"CHexViewCtrl", &fw::Window::classWindow};

CHexViewCtrl::CHexViewCtrl(int bytesPerLine) : m_bytesPerLine(std::clamp(bytesPerLine, 1, kHexMaxBytesPerLine))
{
    m_lineBuffer.assign(static_cast<size_t>(m_bytesPerLine), 0);
    m_lineText.assign(static_cast<size_t>(HexFullLineWidth(16, m_bytesPerLine)), L' ');
}

CHexViewCtrl::~CHexViewCtrl()
{
    // The caret and the timer belong to the window: they go before it does.
    m_dragTimer.Stop();
    m_caretOwner.Destroy();
}

bool CHexViewCtrl::Create(HWND parent, HWND placeholder, UINT id)
{
    return CreateAtPlaceholder(L"OrvettaHexView", parent, placeholder, id,
                               WS_CHILD | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_GROUP | WS_TABSTOP, CS_DBLCLKS,
                               ::LoadCursorW(nullptr, IDC_IBEAM));
}

void CHexViewCtrl::SetBytesPerLine(int bytesPerLine)
{
    m_bytesPerLine = std::clamp(bytesPerLine, 1, kHexMaxBytesPerLine);
    m_lineBuffer.assign(static_cast<size_t>(m_bytesPerLine), 0);
    m_lineText.assign(static_cast<size_t>(HexFullLineWidth(16, m_bytesPerLine)), L' ');
    m_spacing.assign(m_lineText.size(), m_charWidth);
    m_caret = m_anchor = m_selStart = m_selEnd = HexPos{};
    m_topLine = 0;
    m_scrollColumn = 0;
    if (m_hwnd) {
        RecalcLayout();
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
        UpdateCaretPos();
    }
}

void CHexViewCtrl::SetDataSource(HexReadProc reader, void* context1, uintptr_t context2, uint64_t dataSize)
{
    m_reader = reader;
    m_context1 = context1;
    m_context2 = context2;
    m_dataSize = dataSize;
    m_topLine = 0;
    m_scrollColumn = 0;
    if (m_hwnd) {
        RecalcLayout();
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
    } else {
        m_lineCount = HexLineCount(m_dataSize, m_bytesPerLine);
        m_offsetDigits = HexOffsetDigits(m_dataSize);
    }
    SetCaret(0, 0, false);
}

int CHexViewCtrl::OnCreate()
{
    m_font = fw::CreatePointFont(90, L"ＭＳ ゴシック");
    {
        fw::WindowDC dc(m_hwnd);
        fw::SelectGuard select(dc.Get(),
                               m_font ? static_cast<HGDIOBJ>(m_font.Get()) : ::GetStockObject(SYSTEM_FIXED_FONT));
        TEXTMETRICW metrics = {};
        if (::GetTextMetricsW(dc.Get(), &metrics)) {
            m_charWidth = std::max(1, static_cast<int>(metrics.tmAveCharWidth));
            m_charHeight = std::max(1, static_cast<int>(metrics.tmHeight));
        }
    }
    m_lineHeight = m_charHeight;
    m_leftMargin = (m_charWidth + 1) / 2;
    m_caretWidth = 1;
    m_spacing.assign(m_lineText.size(), m_charWidth);
    LoadColors();
    RecalcLayout();
    return 0;
}

void CHexViewCtrl::LoadColors()
{
    m_backColor = ::GetSysColor(COLOR_WINDOW);
    m_textColor = ::GetSysColor(COLOR_WINDOWTEXT);
    m_textBackColor = ::GetSysColor(COLOR_WINDOW);
    m_selTextColor = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_selBackColor = ::GetSysColor(COLOR_HIGHLIGHT);
    m_backBrush.Reset(::CreateSolidBrush(m_backColor));
}

void CHexViewCtrl::RecalcLayout()
{
    RECT client = {};
    if (m_hwnd) ::GetClientRect(m_hwnd, &client);
    m_lineCount = HexLineCount(m_dataSize, m_bytesPerLine);
    m_visibleLines = std::max(0, static_cast<int>(client.bottom - 2 * kTopMargin) / m_charHeight);
    m_maxTopLine = HexMaxTopLine(m_lineCount, m_visibleLines);
    m_topLine = std::min(m_topLine, m_maxTopLine);
    m_scrollScale = HexScrollScale(m_lineCount);

    SCROLLINFO vertical = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
    vertical.nMin = 0;
    vertical.nMax = static_cast<int>(m_lineCount / m_scrollScale);
    vertical.nPage = static_cast<UINT>(static_cast<uint64_t>(m_visibleLines) / m_scrollScale);
    vertical.nPos = static_cast<int>(m_topLine / m_scrollScale);
    if (m_hwnd) ::SetScrollInfo(m_hwnd, SB_VERT, &vertical, TRUE);

    m_offsetDigits = HexOffsetDigits(m_dataSize);
    m_maxLineWidth = LineWidth(0);
    m_visibleColumns = std::max(0, static_cast<int>(client.right - 2 * m_leftMargin) / m_charWidth);
    m_maxScrollColumn = std::max(0, m_maxLineWidth - m_visibleColumns);
    m_scrollColumn = std::min(m_scrollColumn, m_maxScrollColumn);

    SCROLLINFO horizontal = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
    horizontal.nMin = 0;
    horizontal.nMax = m_maxLineWidth - 1;
    horizontal.nPage = static_cast<UINT>(m_visibleColumns);
    horizontal.nPos = m_scrollColumn;
    if (m_hwnd) ::SetScrollInfo(m_hwnd, SB_HORZ, &horizontal, TRUE);
}

bool CHexViewCtrl::ReadBytes(uint64_t offset, uint64_t count, uint8_t* destination) const
{
    bool complete = true;
    while (count > 0) {
        const auto piece = static_cast<uint32_t>(std::min<uint64_t>(count, kStep));
        const uint32_t delivered =
            m_reader ? std::min(m_reader(offset, piece, destination, m_context1, m_context2), piece) : 0;
        if (delivered < piece) {
            // Bytes the source did not give are shown as zero, never as what the buffer held.
            std::memset(destination + delivered, 0, piece - delivered);
            complete = false;
        }
        offset += piece;
        destination += piece;
        count -= piece;
        if (m_operation) {
            m_operationDone += piece;
            if (!m_operation->Step(m_operationDone, m_operationTotal)) return false;
        }
    }
    return complete;
}

uint64_t CHexViewCtrl::OffsetAt(HexPos pos) const
{
    return HexSelectedByteRange(m_dataSize, m_bytesPerLine, pos, pos).begin;
}

void CHexViewCtrl::SelectBytes(uint64_t offset, uint64_t length)
{
    if (offset >= m_dataSize || length == 0) return;
    length = std::min(length, m_dataSize - offset);
    const auto perLine = static_cast<uint64_t>(m_bytesPerLine);
    const int hexStart = m_offsetDigits + 2;
    const uint64_t last = offset + length - 1;
    SetCaret(offset / perLine, hexStart + 3 * static_cast<int>(offset % perLine), false);
    // The end column lies on the last byte's second digit, past it: the byte is included.
    SetCaret(last / perLine, hexStart + 3 * static_cast<int>(last % perLine) + 2, true);
    EnsureCaretVisible();
    if (m_hwnd) ::UpdateWindow(m_hwnd);
}

void CHexViewCtrl::GoToOffset(uint64_t offset)
{
    offset = std::min(offset, m_dataSize);
    const auto perLine = static_cast<uint64_t>(m_bytesPerLine);
    if (offset == m_dataSize && offset % perLine == 0)
        SetCaret(m_lineCount, 0, false);
    else
        SetCaret(offset / perLine, m_offsetDigits + 2 + 3 * static_cast<int>(offset % perLine), false);
    EnsureCaretVisible();
    if (m_hwnd) ::UpdateWindow(m_hwnd);
}

uint64_t CHexViewCtrl::GetFindStart(bool backward) const
{
    const HexByteRange selected = GetSelectedByteRange();
    if (!selected.Empty()) return backward ? selected.begin : selected.begin + 1;
    return OffsetAt(m_caret);
}

int CHexViewCtrl::ReadAndFormatLine(uint64_t line)
{
    const int n = HexBytesOnLine(m_dataSize, m_bytesPerLine, line);
    if (n == 0) return 0;
    const uint64_t offset = line * static_cast<uint64_t>(m_bytesPerLine);
    const uint32_t delivered =
        m_reader ? std::min(m_reader(offset, static_cast<uint32_t>(n), m_lineBuffer.data(), m_context1, m_context2),
                            static_cast<uint32_t>(n))
                 : 0;
    std::fill(m_lineBuffer.begin() + delivered, m_lineBuffer.end(), 0);
    return FormatHexLine(offset, m_offsetDigits, m_bytesPerLine, m_lineBuffer.data(), n, m_lineText.data());
}

std::wstring CHexViewCtrl::FormatLine(uint64_t line)
{
    const int width = ReadAndFormatLine(line);
    return std::wstring(m_lineText.data(), static_cast<size_t>(width));
}

void CHexViewCtrl::FillBackground(HDC dc, const RECT& r) const
{
    if (r.right > r.left && r.bottom > r.top) ::FillRect(dc, &r, m_backBrush.Get());
}

void CHexViewCtrl::OnPaint()
{
    fw::PaintDC paint(m_hwnd);
    HDC dc = paint.Get();
    fw::SelectGuard select(dc, m_font.Get());
    RECT clip = {};
    ::GetClipBox(dc, &clip);
    // Floor division: the row above the top line reaches into the top margin.
    const int from = clip.top - kTopMargin;
    int k = from >= 0 ? from / m_lineHeight : -((-from + m_lineHeight - 1) / m_lineHeight);
    int y = kTopMargin + k * m_lineHeight;
    for (; y <= clip.bottom; ++k, y += m_lineHeight) {
        const bool valid = k >= 0 || static_cast<uint64_t>(-static_cast<long long>(k)) <= m_topLine;
        const uint64_t line = m_topLine + static_cast<uint64_t>(static_cast<long long>(k));
        if (valid && line >= m_lineCount) break;
        DrawLine(dc, valid, line, y, clip);
    }
    FillBackground(dc, RECT{clip.left, std::max(y, static_cast<int>(clip.top)), clip.right, clip.bottom});
}

void CHexViewCtrl::DrawRun(HDC dc, int x, int y, int from, int to, bool selected)
{
    if (to <= from) return;
    ::SetTextColor(dc, selected ? m_selTextColor : m_textColor);
    ::SetBkColor(dc, selected ? m_selBackColor : m_textBackColor);
    const RECT band = {x + from * m_charWidth, y, x + to * m_charWidth, y + m_lineHeight};
    ::ExtTextOutW(dc, band.left, y, ETO_OPAQUE, &band, m_lineText.data() + from, static_cast<UINT>(to - from),
                  m_spacing.data());
}

void CHexViewCtrl::DrawLine(HDC dc, bool valid, uint64_t line, int y, const RECT& clip)
{
    if (!valid || line >= m_lineCount) {
        FillBackground(dc, RECT{clip.left, y, clip.right, y + m_lineHeight});
        return;
    }
    const int width = ReadAndFormatLine(line);
    const int margin = -m_scrollColumn * m_charWidth;
    FillBackground(dc, RECT{margin, y, margin + m_leftMargin, y + m_lineHeight});
    ::SetBkMode(dc, OPAQUE);
    const int x = m_leftMargin - m_scrollColumn * m_charWidth;
    HexColumnSpan selected;
    if (m_hasFocus) selected = HexSelectedColumns(width, line, m_selStart, m_selEnd);
    if (selected.Empty()) {
        DrawRun(dc, x, y, 0, width, false);
    } else {
        DrawRun(dc, x, y, 0, selected.from, false);
        DrawRun(dc, x, y, selected.from, selected.to, true);
        DrawRun(dc, x, y, selected.to, width, false);
    }
    FillBackground(dc, RECT{x + width * m_charWidth, y, clip.right, y + m_lineHeight});
}

void CHexViewCtrl::UpdateCaretPos()
{
    if (!m_hasFocus || !m_caretOwner.Exists()) return;
    const bool inView =
        m_caret.line + 1 >= m_topLine && m_caret.line <= m_topLine + static_cast<uint64_t>(m_visibleLines) + 1;
    if (!inView) {
        m_caretOwner.Hide();
        return;
    }
    const long long d = static_cast<long long>(m_caret.line - m_topLine);  // -1 wraps back here
    m_caretOwner.SetPos(m_leftMargin + (m_caret.column - m_scrollColumn) * m_charWidth - 1,
                        kTopMargin + static_cast<int>(d) * m_lineHeight);
    m_caretOwner.Show();
}

void CHexViewCtrl::SetTopLine(uint64_t line, bool updateBar)
{
    if (line != m_topLine) {
        const uint64_t distance = line > m_topLine ? line - m_topLine : m_topLine - line;
        if (distance < static_cast<uint64_t>(m_visibleLines)) {
            const int rows = static_cast<int>(distance);
            ::ScrollWindow(m_hwnd, 0, (line > m_topLine ? -rows : rows) * m_lineHeight, nullptr, nullptr);
        } else {
            ::InvalidateRect(m_hwnd, nullptr, FALSE);
        }
        m_topLine = line;
        UpdateCaretPos();
    }
    if (updateBar) {
        SCROLLINFO info = ScrollInfo(SIF_POS);
        info.nPos = static_cast<int>(line / m_scrollScale);
        ::SetScrollInfo(m_hwnd, SB_VERT, &info, TRUE);
    }
}

void CHexViewCtrl::SetScrollColumn(int column, bool updateBar)
{
    if (column != m_scrollColumn) {
        const int distance = std::abs(column - m_scrollColumn);
        if (distance < m_visibleColumns)
            ::ScrollWindow(m_hwnd, (m_scrollColumn - column) * m_charWidth, 0, nullptr, nullptr);
        else
            ::InvalidateRect(m_hwnd, nullptr, FALSE);
        m_scrollColumn = column;
        UpdateCaretPos();
    }
    if (updateBar) {
        SCROLLINFO info = ScrollInfo(SIF_POS);
        info.nPos = column;
        ::SetScrollInfo(m_hwnd, SB_HORZ, &info, TRUE);
    }
}

void CHexViewCtrl::OnVScroll(int code)
{
    uint64_t top = m_topLine;
    const auto visible = static_cast<uint64_t>(m_visibleLines);
    switch (code) {
        case SB_LINEUP:
            top = top > 0 ? top - 1 : 0;
            break;
        case SB_LINEDOWN:
            top = std::min(top + 1, m_maxTopLine);
            break;
        case SB_PAGEUP:
            top = top > visible ? top - visible : 0;
            break;
        case SB_PAGEDOWN:
            top = std::min(top + visible, m_maxTopLine);
            break;
        case SB_TOP:
            top = 0;
            break;
        case SB_BOTTOM:
            top = m_maxTopLine;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info = ScrollInfo(SIF_TRACKPOS | SIF_RANGE | SIF_PAGE);
            ::GetScrollInfo(m_hwnd, SB_VERT, &info);
            const auto track = static_cast<uint64_t>(std::max(info.nTrackPos, 0));
            // Scaled positions round down: the thumb's last place stands for the last top line.
            const uint64_t last =
                static_cast<uint64_t>(std::max(info.nMax, 0)) -
                std::min<uint64_t>(static_cast<uint64_t>(std::max(info.nMax, 0)), info.nPage > 0 ? info.nPage - 1 : 0);
            top = track >= last ? m_maxTopLine : std::min(track * m_scrollScale, m_maxTopLine);
            break;
        }
        default:
            return;
    }
    const bool moved = top != m_topLine;
    if (moved || code == SB_THUMBPOSITION) SetTopLine(top, code != SB_THUMBTRACK);
    if (moved) ::UpdateWindow(m_hwnd);
}

void CHexViewCtrl::OnHScroll(int code)
{
    int column = m_scrollColumn;
    switch (code) {
        case SB_LINELEFT:
            column = std::max(column - 1, 0);
            break;
        case SB_LINERIGHT:
            column = std::min(column + 1, m_maxScrollColumn);
            break;
        case SB_PAGELEFT:
            column = std::max(column - 8, 0);
            break;
        case SB_PAGERIGHT:
            column = std::min(column + 8, m_maxScrollColumn);
            break;
        case SB_LEFT:
            column = 0;
            break;
        case SB_RIGHT:
            column = m_maxScrollColumn;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info = ScrollInfo(SIF_TRACKPOS);
            ::GetScrollInfo(m_hwnd, SB_HORZ, &info);
            column = std::clamp(info.nTrackPos, 0, m_maxScrollColumn);
            break;
        }
        default:
            return;
    }
    const bool moved = column != m_scrollColumn;
    if (moved || code == SB_THUMBPOSITION) SetScrollColumn(column, code != SB_THUMBTRACK);
    if (moved) ::UpdateWindow(m_hwnd);
}

void CHexViewCtrl::InvalidateLines(uint64_t first, uint64_t last)
{
    // Only rows top - 1 ... top + visible + 1 can be on the screen.
    const uint64_t lowest = m_topLine > 0 ? m_topLine - 1 : 0;
    const uint64_t highest = m_topLine + static_cast<uint64_t>(m_visibleLines) + 1;
    first = std::max(first, lowest);
    last = std::min(last, highest);
    if (first > last) return;
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    const long long top = static_cast<long long>(first) - static_cast<long long>(m_topLine);
    const long long bottom = static_cast<long long>(last) - static_cast<long long>(m_topLine) + 1;
    RECT band = {0, kTopMargin + static_cast<int>(top) * m_lineHeight, client.right,
                 kTopMargin + static_cast<int>(bottom) * m_lineHeight};
    ::InvalidateRect(m_hwnd, &band, TRUE);
}

void CHexViewCtrl::SetCaret(uint64_t line, int column, bool extend)
{
    const HexPos oldStart = m_selStart, oldEnd = m_selEnd;
    m_caret = HexPos{line, column};
    if (!extend) m_anchor = m_caret;
    std::tie(m_selStart, m_selEnd) = NormaliseHexSelection(m_anchor, m_caret);
    if (m_hwnd && (!(oldStart == oldEnd) || !(m_selStart == m_selEnd)))
        InvalidateLines(std::min(oldStart.line, m_selStart.line), std::max(oldEnd.line, m_selEnd.line));
    UpdateCaretPos();
}

void CHexViewCtrl::SelectByteRange(uint64_t begin, uint64_t end)
{
    const auto [start, stop] = HexPositionsOfBytes(m_dataSize, m_bytesPerLine, begin, end);
    // The anchor goes after the last byte and the caret to the first, which is what comes into view.
    SetCaret(stop.line, stop.column, false);
    SetCaret(start.line, start.column, true);
    EnsureCaretVisible();
}

void CHexViewCtrl::EnsureCaretVisible()
{
    const auto visible = static_cast<uint64_t>(std::max(m_visibleLines, 1));
    uint64_t top = m_topLine;
    if (m_caret.line < m_topLine)
        top = m_caret.line;
    else if (m_caret.line >= m_topLine + visible)
        top = m_caret.line - visible + 1;
    const int columns = std::max(m_visibleColumns, 1);
    int column = m_scrollColumn;
    if (m_caret.column < m_scrollColumn)
        column = m_caret.column;
    else if (m_caret.column >= m_scrollColumn + columns)
        column = m_caret.column - columns + 1;

    const bool lineMoved = top != m_topLine, columnMoved = column != m_scrollColumn;
    if (lineMoved && !columnMoved) {
        SetTopLine(top, true);
    } else if (columnMoved && !lineMoved) {
        SetScrollColumn(column, true);
    } else if (lineMoved && columnMoved) {
        m_topLine = top;
        m_scrollColumn = column;
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
        SCROLLINFO info = ScrollInfo(SIF_POS);
        info.nPos = static_cast<int>(top / m_scrollScale);
        ::SetScrollInfo(m_hwnd, SB_VERT, &info, TRUE);
        info.nPos = column;
        ::SetScrollInfo(m_hwnd, SB_HORZ, &info, TRUE);
        UpdateCaretPos();
    }
}

void CHexViewCtrl::MoveCaret(uint64_t line, int column, bool extend)
{
    SetCaret(line, column, extend);
    EnsureCaretVisible();
    if (m_hwnd) ::UpdateWindow(m_hwnd);
}

void CHexViewCtrl::WordLeft(bool extend)
{
    HexPos pos = m_caret;
    if (pos.column > 0) {
        pos.column = HexWordLeftColumn(FormatLine(pos.line), pos.column);
    } else if (pos.line > 0) {
        --pos.line;
        pos.column = LineWidth(pos.line);
    } else {
        return;
    }
    MoveCaret(pos.line, pos.column, extend);
}

void CHexViewCtrl::WordRight(bool extend)
{
    HexPos pos = m_caret;
    const int width = LineWidth(pos.line);
    if (pos.column < width) {
        pos.column = HexWordRightColumn(FormatLine(pos.line), pos.column);
    } else if (pos.line < m_lineCount) {
        ++pos.line;
        pos.column = 0;
    } else {
        return;
    }
    MoveCaret(pos.line, pos.column, extend);
}

void CHexViewCtrl::OnKeyDown(UINT key)
{
    const bool extend = ShiftHeld(), control = ControlHeld();
    if (control && (key == 'C' || key == VK_INSERT)) {
        Copy();
        return;
    }
    if (control && key == 'A') {
        SelectAll();
        return;
    }
    // The page runs the finds; the keys reach it through the control.
    const UINT command = control && key == 'F'   ? ID_HEX_FIND
                         : control && key == 'G' ? ID_HEX_GOTO
                         : key == VK_F3          ? (extend ? ID_HEX_FIND_PREVIOUS : ID_HEX_FIND_NEXT)
                                                 : 0;
    if (command) {
        if (HWND parent = ::GetParent(m_hwnd)) ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return;
    }
    const HexPos pos = m_caret;
    switch (key) {
        case VK_LEFT:
            if (control)
                WordLeft(extend);
            else if (pos.column > 0)
                MoveCaret(pos.line, pos.column - 1, extend);
            else if (pos.line > 0)
                MoveCaret(pos.line - 1, LineWidth(pos.line - 1), extend);
            break;
        case VK_RIGHT:
            if (control)
                WordRight(extend);
            else if (pos.column < LineWidth(pos.line))
                MoveCaret(pos.line, pos.column + 1, extend);
            else if (pos.line < m_lineCount)
                MoveCaret(pos.line + 1, 0, extend);
            break;
        case VK_UP:
            if (!control && pos.line > 0)
                MoveCaret(pos.line - 1, std::min(pos.column, LineWidth(pos.line - 1)), extend);
            break;
        case VK_DOWN:
            if (!control && pos.line < m_lineCount)
                MoveCaret(pos.line + 1, std::min(pos.column, LineWidth(pos.line + 1)), extend);
            break;
        case VK_HOME:
            if (control) {
                if (!(pos == HexPos{})) MoveCaret(0, 0, extend);
            } else if (pos.column != 0) {
                MoveCaret(pos.line, 0, extend);
            }
            break;
        case VK_END:
            if (control) {
                if (!(pos == HexPos{m_lineCount, 0})) MoveCaret(m_lineCount, 0, extend);
            } else if (pos.column != LineWidth(pos.line)) {
                MoveCaret(pos.line, LineWidth(pos.line), extend);
            }
            break;
        case VK_PRIOR:
            PageUp();
            break;
        case VK_NEXT:
            PageDown();
            break;
        default:
            break;
    }
}

void CHexViewCtrl::PageUp()
{
    if (m_topLine == 0) return;
    const auto visible = static_cast<uint64_t>(m_visibleLines);
    uint64_t step = std::min(m_topLine, visible);
    if (step == 0) step = 1;
    const uint64_t top = m_topLine - step;
    uint64_t line = m_caret.line > step ? m_caret.line - step : 0;
    line = std::max(line, top);
    if (line >= top + visible) line = top + visible > 0 ? top + visible - 1 : 0;
    const int column = std::min(m_caret.column, LineWidth(line));
    SetTopLine(top, true);
    MoveCaret(line, column, ShiftHeld());
}

void CHexViewCtrl::PageDown()
{
    if (m_topLine >= m_maxTopLine) return;
    const auto visible = static_cast<uint64_t>(m_visibleLines);
    uint64_t step = std::min(m_maxTopLine - m_topLine, visible);
    if (step == 0) step = 1;
    const uint64_t top = m_topLine + step;
    uint64_t line = std::min(m_caret.line + step, m_lineCount);
    line = std::max(line, top);
    if (line >= top + visible) line = top + visible > 0 ? top + visible - 1 : 0;
    const int column = std::min(m_caret.column, LineWidth(line));
    SetTopLine(top, true);
    MoveCaret(line, column, ShiftHeld());
}

HexPos CHexViewCtrl::PositionAt(int x, int y, bool snap) const
{
    const uint64_t line = HexLineAtY(m_topLine, y, kTopMargin, m_charHeight, m_lineCount);
    return HexPos{line, HexColumnAtX(m_scrollColumn, x, m_leftMargin, m_charWidth, snap, LineWidth(line))};
}

void CHexViewCtrl::OnLButtonDown(int x, int y, bool shift)
{
    ::SetFocus(m_hwnd);
    const HexPos pos = PositionAt(x, y, true);
    MoveCaret(pos.line, pos.column, shift);
    ::SetCapture(m_hwnd);
    m_dragTimer.Start(m_hwnd, kDragTimer, 100);
    m_lastMouse = POINT{x, y};
    m_dragging = true;
}

void CHexViewCtrl::OnDragTo(POINT point)
{
    const HexPos pos = PositionAt(point.x, point.y, true);
    MoveCaret(pos.line, pos.column, true);
    m_lastMouse = point;
}

void CHexViewCtrl::EndDrag()
{
    if (!m_dragging) return;
    m_dragging = false;
    if (::GetCapture() == m_hwnd) ::ReleaseCapture();
    m_dragTimer.Stop();
}

void CHexViewCtrl::OnLButtonDblClk(int x, int y)
{
    const HexPos pos = PositionAt(x, y, false);
    const HexColumnSpan word = HexWordAtColumn(FormatLine(pos.line), pos.column);
    SetCaret(pos.line, word.from, false);
    if (!word.Empty()) SetCaret(pos.line, word.to, true);
    EnsureCaretVisible();
    ::UpdateWindow(m_hwnd);
}

void CHexViewCtrl::OnMouseWheel(int delta)
{
    const long long step = delta / -40;
    uint64_t top = m_topLine;
    if (step < 0)
        top = static_cast<uint64_t>(-step) > top ? 0 : top - static_cast<uint64_t>(-step);
    else
        top = std::min(top + static_cast<uint64_t>(step), m_maxTopLine);
    if (top != m_topLine) SetTopLine(top, true);
}

void CHexViewCtrl::OnContextMenu(int x, int y)
{
    fw::UniqueMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_HEX_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return;
    auto state = [](bool enabled) { return MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED); };
    ::EnableMenuItem(popup, ID_HEX_COPY, state(CanCopy()));
    ::EnableMenuItem(popup, ID_HEX_EXPORT_SELECTION, state(CanExport()));
    ::EnableMenuItem(popup, ID_HEX_SELECT_ALL, state(CanSelectAll()));
    if (x == -1 && y == -1) {
        // From the keyboard: at the caret.
        POINT at = {m_leftMargin + (m_caret.column - m_scrollColumn) * m_charWidth,
                    kTopMargin + static_cast<int>(m_caret.line - m_topLine + 1) * m_lineHeight};
        ::ClientToScreen(m_hwnd, &at);
        x = at.x;
        y = at.y;
    }
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, x, y, 0, m_hwnd, nullptr);
}

HexByteRange CHexViewCtrl::GetSelectedByteRange() const
{
    return HexSelectedByteRange(m_dataSize, m_bytesPerLine, m_selStart, m_selEnd);
}

void CHexViewCtrl::SelectAll()
{
    SetCaret(0, 0, false);
    SetCaret(m_lineCount, 0, true);
}

bool CHexViewCtrl::WriteSelectionText(wchar_t* out)
{
    // Lines are read in batches of about 1 MiB, so that a long selection costs few reads.
    const uint64_t linesPerBatch = std::max<uint64_t>(1, kStep / static_cast<uint64_t>(m_bytesPerLine));
    std::vector<uint8_t> batch;
    bool complete = true;
    const uint64_t lastDataLine = std::min(m_selEnd.line, m_lineCount > 0 ? m_lineCount - 1 : 0);
    // The end line may be the last 64-bit index: the loop ends on reaching it, not after.
    for (uint64_t first = m_selStart.line;;) {
        const uint64_t count =
            first < m_lineCount ? std::min(linesPerBatch, lastDataLine - first + 1) : 1;  // 1: the empty line
        const uint64_t offset = first * static_cast<uint64_t>(m_bytesPerLine);
        const uint64_t bytes =
            first < m_lineCount ? std::min(count * static_cast<uint64_t>(m_bytesPerLine), m_dataSize - offset) : 0;
        batch.resize(static_cast<size_t>(bytes));
        if (bytes && !ReadBytes(offset, bytes, batch.data())) complete = false;
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t line = first + i;
            const int n = HexBytesOnLine(m_dataSize, m_bytesPerLine, line);
            const int width =
                n ? FormatHexLine(line * static_cast<uint64_t>(m_bytesPerLine), m_offsetDigits, m_bytesPerLine,
                                  batch.data() + i * static_cast<uint64_t>(m_bytesPerLine), n, m_lineText.data())
                  : 0;
            const HexColumnSpan span = HexSelectedColumns(width, line, m_selStart, m_selEnd);
            if (!span.Empty()) {
                std::memcpy(out, m_lineText.data() + span.from,
                            static_cast<size_t>(span.to - span.from) * sizeof(wchar_t));
                out += span.to - span.from;
            }
            if (line < m_selEnd.line) {
                *out++ = L'\r';
                *out++ = L'\n';
            }
        }
        if (first + (count - 1) >= m_selEnd.line) break;
        first += count;
    }
    *out = L'\0';
    return complete;
}

void CHexViewCtrl::Copy()
{
    if (m_selStart == m_selEnd) return;
    const HexByteRange range = GetSelectedByteRange();
    bool outOfMemory = false, readFailed = false;
    std::vector<fw::ClipboardBlock> blocks;
    // The bytes are read twice: once for "BinaryData", once for the text.
    CViewerOperation operation(L"コピーしています...");
    OperationScope scope(*this, operation, 2 * range.Length());

    if (!range.Empty()) {
        const uint64_t length = range.Length();
        fw::UniqueGlobal memory;
        if (length <= 0xFFFFFFFFull && MemoryAvailableFor(length + 4))
            memory.Reset(::GlobalAlloc(kGlobalFlags, static_cast<SIZE_T>(length + 4)));
        fw::GlobalLockView lock(memory.Get());
        if (!lock) {
            outOfMemory = true;
        } else {
            auto* p = lock.As<uint8_t>();
            const auto count = static_cast<uint32_t>(length);
            for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(count >> (8 * i));
            if (!ReadBytes(range.begin, length, p + 4)) readFailed = true;
        }
        if (lock) blocks.push_back({BinaryDataFormat(), std::move(memory)});
    }

    if (!readFailed) {
        const uint64_t chars = HexSelectionTextLength(m_dataSize, m_bytesPerLine, m_selStart, m_selEnd);
        fw::UniqueGlobal memory;
        if (chars < UINT64_MAX / 4 && MemoryAvailableFor((chars + 1) * sizeof(wchar_t)))
            memory.Reset(::GlobalAlloc(kGlobalFlags, static_cast<SIZE_T>((chars + 1) * sizeof(wchar_t))));
        if (fw::GlobalLockView lock(memory.Get()); !lock) {
            outOfMemory = true;
        } else if (!WriteSelectionText(lock.As<wchar_t>())) {
            readFailed = true;
        }
        if (memory && !readFailed) blocks.push_back({CF_UNICODETEXT, std::move(memory)});
    }

    // Stopped: the clipboard keeps what it had; the blocks made so far are freed.
    if (operation.Stopped()) return;
    // Zeros standing in for bytes that could not be read are not data: nothing is copied.
    if (readFailed) {
        fw::AfxMessageBox(L"ファイルを読み込めません。");
        return;
    }
    if (!blocks.empty() && !fw::PutOnClipboard(m_hwnd, blocks))
        fw::AfxMessageBox(L"クリップボードにコピーできません。");
    if (outOfMemory) fw::AfxMessageBox(L"メモリ不足です。");
}

void CHexViewCtrl::ExportSelection()
{
    const HexByteRange range = GetSelectedByteRange();
    if (range.Empty()) return;
    fw::FileDialogRequest request;
    request.save = true;
    std::wstring path;
    if (!fw::ChooseSaveFile(m_hwnd, request, path)) return;

    bool written = false, readFailed = false;
    CViewerOperation operation(L"ファイルへ出力しています...");
    {
        OperationScope scope(*this, operation, range.Length());
        fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            fw::AfxMessageBox(L"ファイルに書き込めません");
            return;
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(range.Length(), kStep)));
        uint64_t offset = range.begin;
        written = true;
        while (offset < range.end) {
            const auto piece = static_cast<DWORD>(std::min<uint64_t>(range.end - offset, kStep));
            if (!ReadBytes(offset, piece, buffer.data())) {
                readFailed = true;
                break;
            }
            DWORD done = 0;
            if (!::WriteFile(file.Get(), buffer.data(), piece, &done, nullptr) || done != piece) {
                written = false;
                break;
            }
            offset += piece;
        }
    }
    if (written && !readFailed) return;
    // A file that does not hold exactly the selected bytes is not left behind.
    ::DeleteFileW(path.c_str());
    if (operation.Stopped()) return;
    fw::AfxMessageBox(readFailed ? L"ファイルを読み込めません。" : L"ファイルに書き込めません");
}

bool CHexViewCtrl::OnCommand(UINT id)
{
    switch (id) {
        case ID_HEX_COPY:
            Copy();
            return true;
        case ID_HEX_SELECT_ALL:
            SelectAll();
            return true;
        case ID_HEX_EXPORT_SELECTION:
            ExportSelection();
            return true;
        default:
            return false;
    }
}

void CHexViewCtrl::OnSetFocus()
{
    m_caretOwner.Create(m_hwnd, m_caretWidth, m_charHeight);
    m_hasFocus = true;
    ::InvalidateRect(m_hwnd, nullptr, FALSE);
    UpdateCaretPos();
}

void CHexViewCtrl::OnKillFocus()
{
    m_hasFocus = false;
    ::InvalidateRect(m_hwnd, nullptr, FALSE);
    m_caretOwner.Destroy();
}

LRESULT CHexViewCtrl::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // No exception leaves the window procedure; the one to expect is a failed allocation.
    try {
        switch (msg) {
            case WM_CREATE:
                return OnCreate();
            case WM_PAINT:
                OnPaint();
                return 0;
            case WM_ERASEBKGND:
                return 1;  // painting covers every pixel
            case WM_SIZE:
                RecalcLayout();
                ::InvalidateRect(m_hwnd, nullptr, FALSE);
                UpdateCaretPos();
                return 0;
            case WM_SYSCOLORCHANGE:
                LoadColors();
                ::InvalidateRect(m_hwnd, nullptr, FALSE);
                return 0;
            case WM_VSCROLL:
                OnVScroll(LOWORD(wParam));
                return 0;
            case WM_HSCROLL:
                OnHScroll(LOWORD(wParam));
                return 0;
            case WM_SETFOCUS:
                OnSetFocus();
                return 0;
            case WM_KILLFOCUS:
                OnKillFocus();
                return 0;
            case WM_GETDLGCODE:
                return DLGC_WANTARROWS;
            case WM_KEYDOWN:
                OnKeyDown(static_cast<UINT>(wParam));
                return 0;
            case WM_LBUTTONDOWN:
                OnLButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_SHIFT) != 0);
                return 0;
            case WM_MOUSEMOVE:
                if (m_dragging) OnDragTo(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            case WM_TIMER:
                if (wParam == kDragTimer && m_dragging) OnDragTo(m_lastMouse);
                return 0;
            case WM_LBUTTONUP:
            case WM_CANCELMODE:
                EndDrag();
                return msg == WM_CANCELMODE ? DefaultProc(msg, wParam, lParam) : 0;
            case WM_CAPTURECHANGED:
                // Another window took the mouse: the drag is over.
                if (reinterpret_cast<HWND>(lParam) != m_hwnd) EndDrag();
                return 0;
            case WM_LBUTTONDBLCLK:
                OnLButtonDblClk(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
                return 0;
            case WM_RBUTTONDOWN:
                ::SetFocus(m_hwnd);
                return DefaultProc(msg, wParam, lParam);
            case WM_MOUSEWHEEL:
                OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
                return 0;
            case WM_CONTEXTMENU:
                OnContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
                return 0;
            case WM_COMMAND:
                if (OnCommand(LOWORD(wParam))) return 0;
                break;
            default:
                break;
        }
    } catch (const std::bad_alloc&) {
        fw::AfxMessageBox(L"メモリ不足です。");
        return 0;
    }
    return DefaultProc(msg, wParam, lParam);
}
