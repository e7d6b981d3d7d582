#include "viewers/HexViewCtrl.h"

#include "framework/FileDialog.h"
#include "framework/MessageBox.h"
#include "tests/ControlReading.h"
#include "tests/ImportPatch.h"
#include "tests/TestProgress.h"
#include "tests/TestSupport.h"
#include "viewers/ViewerProgress.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::ClipboardText;
using testing_support::OpenClipboardPatiently;
using testing_support::PutClipboardText;

namespace {

// A synthetic source: byte k is k & 0xFF. Bytes from `available` on are not delivered,
// as from a truncated file.
struct Source {
    uint64_t size = 0;
    uint64_t available = UINT64_MAX;
    int calls = 0;
    int pieces = 0;  // reads of 1 MiB at a time, as copy and export make

    static uint32_t Read(uint64_t offset, uint32_t count, void* destination, void* context, uintptr_t)
    {
        auto* self = static_cast<Source*>(context);
        ++self->calls;
        if (count >= 0x100000) ++self->pieces;
        const uint32_t n =
            offset >= self->available ? 0 : static_cast<uint32_t>(std::min<uint64_t>(count, self->available - offset));
        auto* bytes = static_cast<uint8_t*>(destination);
        for (uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(offset + i);
        return n;
    }
};

void SetModifiers(bool control, bool shift)
{
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

// The clipboard's "BinaryData" block, or nothing.
std::vector<uint8_t> ClipboardBinaryData(bool* present)
{
    std::vector<uint8_t> bytes;
    *present = false;
    if (!OpenClipboardPatiently()) return bytes;
    if (HANDLE data = ::GetClipboardData(::RegisterClipboardFormatW(L"BinaryData"))) {
        fw::GlobalLockView lock(data);
        if (lock) {
            *present = true;
            bytes.assign(lock.As<uint8_t>(), lock.As<uint8_t>() + lock.Size());
        }
    }
    ::CloseClipboard();
    return bytes;
}

std::vector<uint8_t> ReadAll(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) return bytes;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) bytes.clear();
    bytes.resize(read);
    return bytes;
}

// The states of the context menu's items as the control shows it; the menu is closed
// again as soon as it opens.
struct MenuStates {
    UINT copy = 0, exportSelection = 0, selectAll = 0;
    bool shown = false;
};
MenuStates* g_menu = nullptr;

LRESULT CALLBACK WatchMenu(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_menu && message->message == WM_INITMENUPOPUP) {
        auto menu = reinterpret_cast<HMENU>(message->wParam);
        g_menu->copy = ::GetMenuState(menu, 57634, MF_BYCOMMAND) & MF_GRAYED;
        g_menu->exportSelection = ::GetMenuState(menu, 32793, MF_BYCOMMAND) & MF_GRAYED;
        g_menu->selectAll = ::GetMenuState(menu, 57642, MF_BYCOMMAND) & MF_GRAYED;
        g_menu->shown = true;
        ::EndMenu();
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

MenuStates OpenContextMenu(HWND control)
{
    MenuStates states;
    g_menu = &states;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &WatchMenu, nullptr, ::GetCurrentThreadId());
    RECT r;
    ::GetWindowRect(control, &r);
    ::SendMessageW(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(r.left + 30, r.top + 30));
    ::UnhookWindowsHookEx(hook);
    g_menu = nullptr;
    return states;
}

class HexViewCtrl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // One visible frame for the suite: showing a window costs seconds under Wine.
        s_frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                    640, 480, nullptr, nullptr, nullptr, nullptr);
        s_placeholder =
            ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 10, 20, 500, 300, s_frame, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(s_frame); }

    void SetUp() override
    {
        ASSERT_TRUE(m_ctrl.Create(s_frame, s_placeholder, 100));
        ::ShowWindow(m_ctrl.GetSafeHwnd(), SW_SHOW);
        SetModifiers(false, false);
    }
    void TearDown() override { SetModifiers(false, false); }

    void Show(uint64_t size, uint64_t available = UINT64_MAX)
    {
        m_source.size = size;
        m_source.available = available;
        m_ctrl.SetDataSource(&Source::Read, &m_source, 0, size);
    }
    void Key(UINT key, bool control = false, bool shift = false)
    {
        SetModifiers(control, shift);
        ::SendMessageW(m_ctrl.GetSafeHwnd(), WM_KEYDOWN, key, 0);
        SetModifiers(false, false);
    }
    void Command(UINT id) { ::SendMessageW(m_ctrl.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    LPARAM PointOf(uint64_t line, int column) const
    {
        const int x = m_ctrl.GetLeftMargin() + (column - m_ctrl.GetScrollColumn()) * m_ctrl.GetCharWidth();
        const int y =
            CHexViewCtrl::kTopMargin + static_cast<int>(line - m_ctrl.GetTopLine()) * m_ctrl.GetLineHeight() + 1;
        return MAKELPARAM(x, y);
    }

    static HWND s_frame, s_placeholder;
    CHexViewCtrl m_ctrl;
    Source m_source;
};
HWND HexViewCtrl::s_frame = nullptr;
HWND HexViewCtrl::s_placeholder = nullptr;

const std::wstring kLine0 = L"0000  00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f  ................";
const std::wstring kLine1Of20 = L"0010  10 11 12 13" + std::wstring(38, L' ') + L"....";

}  // namespace

TEST_F(HexViewCtrl, TakesThePlaceholdersRectangleAndAnEmptySourceOffersNothing)
{
    RECT r;
    ::GetWindowRect(m_ctrl.GetSafeHwnd(), &r);
    ::MapWindowPoints(nullptr, s_frame, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 500);

    Show(0);
    const MenuStates empty = OpenContextMenu(m_ctrl.GetSafeHwnd());
    ASSERT_TRUE(empty.shown);
    EXPECT_TRUE(empty.copy && empty.exportSelection && empty.selectAll);
    EXPECT_EQ(m_ctrl.GetLineCount(), 0u);
    EXPECT_FALSE(m_ctrl.CanCopy());
    EXPECT_FALSE(m_ctrl.CanExport());
    EXPECT_FALSE(m_ctrl.CanSelectAll());
    Key(VK_END, true);
    Command(57642);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{0, 0}));
    EXPECT_FALSE(m_ctrl.CanCopy());
    ::UpdateWindow(m_ctrl.GetSafeHwnd());
    EXPECT_EQ(m_source.calls, 0);  // only background, no reads
}

TEST_F(HexViewCtrl, SelectAllAndCopyGiveTheTextAndTheBytes)
{
    Show(20);
    PutClipboardText(L"before");
    Command(57642);  // as the context menu sends it
    EXPECT_EQ(m_ctrl.GetSelectionEnd(), (HexPos{2, 0}));
    EXPECT_TRUE(m_ctrl.CanExport());
    fw::MessageBoxRecorder boxes;
    Command(57634);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(ClipboardText(), kLine0 + L"\r\n" + kLine1Of20 + L"\r\n");
    bool present = false;
    const std::vector<uint8_t> bytes = ClipboardBinaryData(&present);
    ASSERT_TRUE(present);
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(bytes[0], 20);
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(bytes[4 + i], i);
}

TEST_F(HexViewCtrl, SelectionsWithoutBytesCopyTextOnly)
{
    Show(20);
    // The offset column alone, by keyboard: text, no "BinaryData", no message.
    Key(VK_HOME);
    for (int i = 0; i < 4; ++i) Key(VK_RIGHT, false, true);
    const MenuStates offsets = OpenContextMenu(m_ctrl.GetSafeHwnd());
    ASSERT_TRUE(offsets.shown);
    EXPECT_FALSE(offsets.copy);
    EXPECT_TRUE(offsets.exportSelection);
    EXPECT_FALSE(offsets.selectAll);
    fw::MessageBoxRecorder boxes;
    SetModifiers(true, false);
    ::SendMessageW(m_ctrl.GetSafeHwnd(), WM_KEYDOWN, 'C', 0);
    SetModifiers(false, false);
    EXPECT_EQ(ClipboardText(), L"0000");
    bool present = true;
    ClipboardBinaryData(&present);
    EXPECT_FALSE(present);
    EXPECT_TRUE(boxes.Texts().empty());

    // Columns 5 to 10 of one line: exactly 5 characters, no line break.
    m_ctrl.SetCaret(1, 10, false);
    m_ctrl.SetCaret(1, 5, true);
    Command(57634);
    EXPECT_EQ(ClipboardText(), L" 10 1");
    EXPECT_EQ(m_ctrl.GetSelectedByteRange().begin, 16u);
    EXPECT_EQ(m_ctrl.GetSelectedByteRange().end, 18u);  // an end inside a pair takes it
}

TEST_F(HexViewCtrl, BytesASourceCannotDeliverAreZerosAndAreNotHandedOut)
{
    Show(32);
    EXPECT_EQ(m_ctrl.FormatLine(0), kLine0);  // fills the line buffer
    m_source.available = 20;
    const std::wstring line1 = m_ctrl.FormatLine(1);
    EXPECT_EQ(line1.substr(0, 24), L"0010  10 11 12 13 00 00 ");
    EXPECT_EQ(line1.substr(55), L"................");

    PutClipboardText(L"kept");
    Command(57642);
    fw::MessageBoxRecorder boxes;
    Command(57634);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"ファイルを読み込めません。"});
    EXPECT_EQ(ClipboardText(), L"kept");

    testing_support::ScratchDir dir;
    fw::FileDialogAnswer answer(dir / L"part.bin");
    Command(32793);
    EXPECT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts().back(), L"ファイルを読み込めません。");
    EXPECT_FALSE(testing_support::FileExists(dir / L"part.bin"));
}

namespace {

// What the last progress window saw, kept when it goes.
struct ProgressSeen {
    size_t steps = 0;
    int opened = 0, closed = 0;
} g_seen;

// The progress window the control's long operations get: one that asks to stop after two steps.
struct StoppingProgress : testing_support::TestProgress {
    StoppingProgress() : TestProgress(2) {}
    ~StoppingProgress() override { g_seen = {m_items.size(), m_opened, m_closed}; }
    static std::unique_ptr<ICaptureProgress> Make(const std::wstring&) { return std::make_unique<StoppingProgress>(); }
};

struct ProgressInstalled {
    ProgressInstalled()
    {
        CViewerOperation::SetDelayForTests(0);
        SetViewerProgressMaker(&StoppingProgress::Make);
    }
    ~ProgressInstalled()
    {
        SetViewerProgressMaker(nullptr);
        CViewerOperation::SetDelayForTests(300);
    }
};

}  // namespace

// Copy and export of a large selection step through the progress window 1 MiB at a time;
// Stop leaves the clipboard as it was and no file behind.
TEST_F(HexViewCtrl, StoppedCopyAndExportLeaveNothingBehind)
{
    Show(64 * 0x100000);
    Command(57642);
    ProgressInstalled installed;
    PutClipboardText(L"kept");
    fw::MessageBoxRecorder boxes;
    Command(57634);
    EXPECT_EQ(g_seen.steps, 2u);
    EXPECT_EQ(g_seen.opened, 1);
    EXPECT_EQ(g_seen.closed, 1);
    EXPECT_EQ(m_source.pieces, 2);  // two pieces read, then it stopped
    EXPECT_EQ(ClipboardText(), L"kept");

    testing_support::ScratchDir dir;
    fw::FileDialogAnswer answer(dir / L"stopped.bin");
    m_source.pieces = 0;
    g_seen = {};
    Command(32793);
    EXPECT_EQ(g_seen.steps, 2u);
    EXPECT_EQ(m_source.pieces, 2);
    EXPECT_FALSE(testing_support::FileExists(dir / L"stopped.bin"));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(HexViewCtrl, ASelectionBeyondFourGibibytesIsNotCopiedAndSaysSo)
{
    const uint64_t size = 0x100000000ull + 16;
    Show(size);
    Command(57642);
    ASSERT_GT(m_ctrl.GetSelectedByteRange().Length(), 0xFFFFFFFFull);
    // Its text alone needs more than 17 GiB: on a machine with that much free memory the
    // text block would be made, which is not what this case looks at.
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    ::GlobalMemoryStatusEx(&memory);
    if (memory.ullAvailPhys > 8 * size) GTEST_SKIP() << "enough memory for the text of 4 GiB";
    PutClipboardText(L"kept");
    fw::MessageBoxRecorder boxes;
    const ULONGLONG start = ::GetTickCount64();
    Command(57634);
    EXPECT_LT(::GetTickCount64() - start, 2000u) << "no attempt to read 4 GiB";
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"メモリ不足です。"});
    EXPECT_EQ(ClipboardText(), L"kept");
    EXPECT_EQ(m_source.calls, 0);
}

namespace {

using WriteFileFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
WriteFileFunction g_writeFile = nullptr;
int g_writes = 0;

// WriteFile on a disk that fills up after the first call.
BOOL WINAPI DiskFullAfterOneWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED overlapped)
{
    if (++g_writes == 1) return g_writeFile(file, data, size, done, overlapped);
    if (done) *done = 0;
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

}  // namespace

TEST_F(HexViewCtrl, ExportWritesExactlyTheSelectedBytes)
{
    Show(3 * 0x100000 + 5);        // more than one 1 MiB piece
    m_ctrl.SetCaret(0, 7, false);  // inside the first pair: from byte 0
    Key(VK_END, true, true);
    testing_support::ScratchDir dir;
    fw::FileDialogAnswer answer(dir / L"out.bin");
    fw::MessageBoxRecorder boxes;
    Command(32793);
    EXPECT_TRUE(boxes.Texts().empty());
    ASSERT_EQ(answer.Requests().size(), 1u);
    EXPECT_TRUE(answer.Requests()[0].save);
    const std::vector<uint8_t> bytes = ReadAll(dir / L"out.bin");
    ASSERT_EQ(bytes.size(), 3u * 0x100000 + 5);
    bool same = true;
    for (size_t i = 0; i < bytes.size(); ++i) same = same && bytes[i] == static_cast<uint8_t>(i);
    EXPECT_TRUE(same);

    // A path that cannot be created is reported and nothing is written.
    answer.SetPath(dir / L"missing\\out.bin");
    Command(32793);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{L"ファイルに書き込めません"});

    // The disk fills up after the first piece: reported, and the partial file is removed.
    answer.SetPath(dir / L"full.bin");
    g_writes = 0;
    {
        testing_support::ImportPatch patch("kernel32.dll", "WriteFile",
                                           reinterpret_cast<void*>(&DiskFullAfterOneWrite));
        ASSERT_TRUE(patch.Applied());
        g_writeFile = reinterpret_cast<WriteFileFunction>(patch.Original());
        Command(32793);
    }
    EXPECT_EQ(g_writes, 2);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{L"ファイルに書き込めません", L"ファイルに書き込めません"}));
    EXPECT_FALSE(testing_support::FileExists(dir / L"full.bin"));
}

TEST_F(HexViewCtrl, ScrollRangeFitsAtAndAroundEveryPowerOfTwo)
{
    // At 16 bytes a line, 32, 64, 128 and 256 GiB are exactly 2^31 ... 2^34 lines.
    for (int shift = 35; shift <= 38; ++shift) {
        for (const long long delta : {-32ll, -16ll, -1ll, 0ll, 1ll, 16ll, 17ll}) {
            const uint64_t size = (1ull << shift) + static_cast<uint64_t>(delta);
            Show(size);
            SCROLLINFO info = {};
            info.cbSize = sizeof info;
            info.fMask = SIF_RANGE | SIF_PAGE;
            ::GetScrollInfo(m_ctrl.GetSafeHwnd(), SB_VERT, &info);
            EXPECT_EQ(static_cast<uint64_t>(info.nMax), m_ctrl.GetLineCount() / m_ctrl.GetScrollScale()) << size;
            EXPECT_GT(info.nMax, 0x3FFFFFFF) << size;
        }
    }
}

TEST_F(HexViewCtrl, SixtyFourGibibytesScrollToTheirLastLine)
{
    const uint64_t size = 64ull << 30;
    Show(size);
    ASSERT_GT(m_ctrl.GetVisibleLines(), 0);
    EXPECT_EQ(m_ctrl.GetOffsetDigits(), 16);
    EXPECT_GT(m_ctrl.GetLineCount(), 0x7FFFFFFFu);
    EXPECT_GT(m_ctrl.GetScrollScale(), 1u);

    // Ctrl+End reaches the empty line after the data.
    Key(VK_END, true);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{m_ctrl.GetLineCount(), 0}));
    EXPECT_EQ(m_ctrl.GetTopLine(), m_ctrl.GetMaxTopLine());
    Key(VK_HOME, true);
    EXPECT_EQ(m_ctrl.GetTopLine(), 0u);

    // The thumb's last place is the last top line, although positions are scaled.
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_ctrl.GetSafeHwnd(), SB_VERT, &info);
    // A range that overflowed comes back empty or negative: the bar must span the lines.
    EXPECT_EQ(static_cast<uint64_t>(info.nMax), m_ctrl.GetLineCount() / m_ctrl.GetScrollScale());
    EXPECT_GT(info.nMax, 0x3FFFFFFF);
    info.fMask = SIF_POS;
    info.nPos = info.nMax - static_cast<int>(info.nPage) + 1;
    ::SetScrollInfo(m_ctrl.GetSafeHwnd(), SB_VERT, &info, FALSE);
    ::SendMessageW(m_ctrl.GetSafeHwnd(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    EXPECT_EQ(m_ctrl.GetTopLine(), m_ctrl.GetMaxTopLine());
    const std::wstring last = m_ctrl.FormatLine(m_ctrl.GetLineCount() - 1);
    EXPECT_EQ(last.substr(0, 16), L"0000000ffffffff0");

    // Painting reads one line per row, wherever the view is.
    m_source.calls = 0;
    ::InvalidateRect(m_ctrl.GetSafeHwnd(), nullptr, FALSE);
    ::UpdateWindow(m_ctrl.GetSafeHwnd());
    EXPECT_GE(m_source.calls, m_ctrl.GetVisibleLines());
    EXPECT_LE(m_source.calls, m_ctrl.GetVisibleLines() + 2);
}

TEST_F(HexViewCtrl, KeysMoveTheCaretAcrossLinesAndPages)
{
    Show(16 * 100 + 5);
    Key(VK_RIGHT);
    Key(VK_END);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{0, 71}));
    Key(VK_RIGHT);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{1, 0}));
    Key(VK_LEFT);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{0, 71}));
    Key(VK_RIGHT, true);  // word right at the end of a line goes to the next one
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{1, 0}));
    Key(VK_RIGHT, true);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{1, 6}));

    // The short last line limits the column; the empty line after it has width 0.
    m_ctrl.SetCaret(99, 70, false);
    Key(VK_DOWN);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{100, 60}));
    Key(VK_DOWN);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{101, 0}));
    Key(VK_DOWN);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{101, 0}));

    // Page down from the top moves view and caret by one page, Shift extends.
    Key(VK_HOME, true);
    const int visible = m_ctrl.GetVisibleLines();
    ASSERT_GT(visible, 2);
    m_ctrl.SetCaret(2, 3, false);
    SetModifiers(false, true);
    ::SendMessageW(m_ctrl.GetSafeHwnd(), WM_KEYDOWN, VK_NEXT, 0);
    SetModifiers(false, false);
    EXPECT_EQ(m_ctrl.GetTopLine(), static_cast<uint64_t>(visible));
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{static_cast<uint64_t>(visible) + 2, 3}));
    EXPECT_EQ(m_ctrl.GetSelectionStart(), (HexPos{2, 3}));
    Key(VK_PRIOR);
    EXPECT_EQ(m_ctrl.GetTopLine(), 0u);
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{2, 3}));
}

TEST_F(HexViewCtrl, MouseSelectsSnapsAndScrollsWhileHeldBelowTheWindow)
{
    Show(16 * 80);
    HWND hwnd = m_ctrl.GetSafeHwnd();
    // A click just right of a character's middle snaps to the next boundary.
    LPARAM at = PointOf(1, 8);
    ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON,
                   MAKELPARAM(LOWORD(at) - m_ctrl.GetCharWidth() / 2 + 1, HIWORD(at)));
    EXPECT_EQ(m_ctrl.GetCaretPos(), (HexPos{1, 8}));
    EXPECT_TRUE(m_ctrl.IsDragging());
    EXPECT_EQ(::GetFocus(), hwnd);

    // Held below the window: every tick scrolls a step, until the end.
    RECT client;
    ::GetClientRect(hwnd, &client);
    // The pointer itself goes there too, so that the moves the system reports agree.
    POINT below = {20, client.bottom + 5};
    ::ClientToScreen(hwnd, &below);
    ::SetCursorPos(below.x, below.y);
    ::SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, client.bottom + 5));
    const uint64_t afterMove = m_ctrl.GetTopLine();
    EXPECT_GT(afterMove, 0u);
    // The real timer ticks too.
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    while (m_ctrl.GetTopLine() == afterMove && ::GetTickCount64() < deadline) testing_support::PumpMessagesFor(20);
    EXPECT_GT(m_ctrl.GetTopLine(), afterMove);
    int ticks = 0;
    while (m_ctrl.GetTopLine() < m_ctrl.GetMaxTopLine() && ticks < 1000) {
        const uint64_t before = m_ctrl.GetTopLine();
        ::SendMessageW(hwnd, WM_TIMER, CHexViewCtrl::kDragTimer, 0);
        ASSERT_GT(m_ctrl.GetTopLine(), before);
        ++ticks;
    }
    EXPECT_EQ(m_ctrl.GetTopLine(), m_ctrl.GetMaxTopLine());
    EXPECT_EQ(m_ctrl.GetCaretPos().line, 80u);
    EXPECT_EQ(m_ctrl.GetSelectionStart(), (HexPos{1, 8}));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(20, client.bottom + 5));
    EXPECT_FALSE(m_ctrl.IsDragging());
    EXPECT_NE(::GetCapture(), hwnd);

    // The wheel moves three lines a notch and leaves the caret.
    const HexPos caret = m_ctrl.GetCaretPos();
    ::SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(m_ctrl.GetTopLine(), m_ctrl.GetMaxTopLine() - 3);
    EXPECT_EQ(m_ctrl.GetCaretPos(), caret);

    // A double click selects the pair under the pointer and the space after it.
    Key(VK_HOME, true);
    at = PointOf(0, 10);  // the second digit of byte 1
    ::SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_EQ(m_ctrl.GetSelectionStart(), (HexPos{0, 9}));
    EXPECT_EQ(m_ctrl.GetSelectionEnd(), (HexPos{0, 12}));
    EXPECT_EQ(m_ctrl.GetSelectedByteRange().begin, 1u);
    EXPECT_EQ(m_ctrl.GetSelectedByteRange().end, 2u);
    // The first digit of a pair is the same pair, not the one before.
    ::SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, PointOf(0, 9));
    EXPECT_EQ(m_ctrl.GetSelectionStart(), (HexPos{0, 9}));
    EXPECT_EQ(m_ctrl.GetSelectedByteRange().begin, 1u);
    ::SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, PointOf(0, 6));
    EXPECT_EQ(m_ctrl.GetSelectionStart(), (HexPos{0, 6}));
    EXPECT_EQ(m_ctrl.GetSelectedByteRange().begin, 0u);
}
