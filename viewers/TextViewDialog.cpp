#include "viewers/TextViewDialog.h"

#include "capture/CBData.h"
#include "framework/MessageBox.h"
#include "res/textview_resource.h"
#include "viewers/AddCodePageDialog.h"
#include "viewers/TextFindDialog.h"
#include "viewers/bytes/LineEnds.h"
#include "viewers/bytes/TextDecode.h"
#include "viewers/bytes/TextDetect.h"
#include "viewers/bytes/TextFind.h"
#include "viewers/bytes/TextSteps.h"

#include <mbctype.h>
#include <uxtheme.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <optional>

namespace {

using ConvertINetMultiByteToUnicodeFn = HRESULT(WINAPI*)(LPDWORD mode, DWORD encoding, LPCSTR source, LPINT sourceCount,
                                                         LPWSTR target, LPINT targetCount);

// The converter is process-wide; it stays valid while any page holds its reference
// to the library.
ConvertINetMultiByteToUnicodeFn g_convertINet = nullptr;
int g_mlangHolders = 0;

// What the last find looked for: F3 on any text page goes on with it.
std::wstring g_findPattern;
bool g_findIgnoreCase = false;

DoubleByteTable AnsiDoubleByteTable()
{
    // The C runtime's multi-byte tables follow the ANSI code page from start-up on.
    DoubleByteTable table;
    for (unsigned c = 0; c < 256; ++c) {
        table.lead[c] = _ismbblead(c) != 0;
        table.trail[c] = _ismbbtrail(c) != 0;
    }
    return table;
}

std::wstring Widen(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring WindowText(HWND hwnd)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Every UTF-16 unit mapped to its lower case by the system's tables (surrogates stay).
const char16_t* LowerCaseTable()
{
    static const std::u16string table = [] {
        std::wstring units(0x10000, L'\0');
        for (size_t c = 0; c < units.size(); ++c) units[c] = static_cast<wchar_t>(c);
        ::CharLowerBuffW(units.data(), 0xD800);
        ::CharLowerBuffW(units.data() + 0xE000, 0x2000);
        return std::u16string(units.begin(), units.end());
    }();
    return table.data();
}

// The lead bytes of a double-byte code page the system knows; nothing for others.
std::optional<DoubleByteTable> LeadByteTable(int codePage)
{
    CPINFO info = {};
    if (codePage < 0 || !::GetCPInfo(static_cast<UINT>(codePage), &info) || info.MaxCharSize != 2) return std::nullopt;
    DoubleByteTable table;
    for (unsigned c = 0; c < 256; ++c)
        table.lead[c] = ::IsDBCSLeadByteEx(static_cast<UINT>(codePage), static_cast<BYTE>(c)) != 0;
    return table;
}

// A failing conversion (a code page the system lacks, bytes it refuses) gives no text.
// `mode` carries the optional converter's state from one piece of a text to the next.
std::wstring ConvertMultiByte(int codePage, const uint8_t* bytes, size_t length, DWORD* mode = nullptr)
{
    std::wstring text;
    if (length == 0 || length > INT_MAX) return text;
    const int count = static_cast<int>(length);
    const char* source = reinterpret_cast<const char*>(bytes);
    if (codePage > 1 && g_convertINet) {
        const int room = static_cast<int>(std::min<size_t>(length + 1024, INT_MAX));
        text.resize(static_cast<size_t>(room));
        DWORD ownMode = 0;
        INT sourceCount = count, targetCount = room;
        if (FAILED(g_convertINet(mode ? mode : &ownMode, static_cast<DWORD>(codePage), source, &sourceCount,
                                 text.data(), &targetCount)))
            return std::wstring();
        text.resize(static_cast<size_t>(std::clamp(targetCount, 0, room)));
        return text;
    }
    const UINT cp = static_cast<UINT>(codePage);
    const int needed = ::MultiByteToWideChar(cp, 0, source, count, nullptr, 0);
    if (needed <= 0) return text;
    text.resize(static_cast<size_t>(needed));
    const int made = ::MultiByteToWideChar(cp, 0, source, count, text.data(), needed);
    if (made <= 0) return std::wstring();
    text.resize(static_cast<size_t>(made));
    return text;
}

}  // namespace

// The NUL and line-end report of a large entry, worked out from its file in steps of
// kScanStep bytes with the rules of DecodeAndShow: a character cut by a step's end is
// carried into the next step, and so is a CR whose LF may follow.
struct WholeEntryScan {
    fw::UniqueFile file;
    uint64_t size = 0;  // as the entry claims: a shorter file ends the scan where it ends
    uint64_t read = 0;
    int codePage = 0;
    std::optional<DoubleByteTable> leadBytes;
    std::vector<uint8_t> buffer;  // the carried bytes, then the step's
    size_t carried = 0;
    DWORD converterMode = 0;
    bool first = true;
    bool nul = false;
    bool failed = false;  // a conversion failed: no line ends, as for the text at once
    bool done = false;
    LineEndCounter lines;
    std::wstring text;

    void Step();
    void StepUtf16(const uint8_t* data, size_t n, bool atEnd);
    void StepMultiByte(const uint8_t* data, size_t n, bool atEnd);
    void Carry(size_t from, size_t n);
};

void WholeEntryScan::Step()
{
    if (done) return;
    const DWORD want = static_cast<DWORD>(std::min<uint64_t>(CTextViewDialog::kScanStep, size - read));
    buffer.resize(carried + want);
    DWORD got = 0;
    if (want != 0 && !::ReadFile(file.Get(), buffer.data() + carried, want, &got, nullptr)) got = 0;
    read += got;
    const bool atEnd = got < want || read >= size;
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE)
        StepUtf16(buffer.data(), carried + got, atEnd);
    else
        StepMultiByte(buffer.data(), carried + got, atEnd);
    first = false;
    if (atEnd) done = true;
}

void WholeEntryScan::StepUtf16(const uint8_t* data, size_t n, bool atEnd)
{
    size_t at = 0;
    if (first) {
        const std::optional<ByteOrderMark> mark = FindByteOrderMark(data, n);
        if (mark && mark->codePage == codePage) at = mark->length;
    }
    const size_t whole = WholeCharacterLength(data, n, codePage, nullptr);
    const bool bigEndian = codePage == kCodePageUtf16BE;
    text.clear();
    for (; at < whole; at += 2) {
        const wchar_t unit =
            static_cast<wchar_t>(bigEndian ? data[at] << 8 | data[at + 1] : data[at + 1] << 8 | data[at]);
        if (unit == 0) {
            nul = done = true;
            break;
        }
        text.push_back(unit);
    }
    lines.Add(text.data(), text.size());
    if (!done && !atEnd) Carry(whole, n);
}

void WholeEntryScan::StepMultiByte(const uint8_t* data, size_t n, bool atEnd)
{
    if (const void* zero = std::memchr(data, 0, n)) {
        n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data);
        nul = done = true;
    }
    size_t start = 0;
    if (first && codePage == kCodePageUtf8 && n >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        start = 3;
    const size_t whole = done || atEnd ? n
                                       : start + WholeCharacterLength(data + start, n - start, codePage,
                                                                      leadBytes ? &*leadBytes : nullptr);
    if (!failed && whole > start) {
        text = ConvertMultiByte(codePage, data + start, whole - start, &converterMode);
        if (text.empty())
            failed = true;
        else
            lines.Add(text.data(), text.size());
    }
    if (!done && !atEnd) Carry(whole, n);
}

void WholeEntryScan::Carry(size_t from, size_t n)
{
    carried = n - from;
    std::memmove(buffer.data(), buffer.data() + from, carried);
}

CTextViewDialog::CTextViewDialog(CCBData* entry) : CKaviloPropertyPage(IDD_TEXT_VIEW), m_entry(entry)
{
    m_mlang.Reset(::LoadLibraryW(L"mlang.dll"));
    if (m_mlang) {
        ++g_mlangHolders;
        g_convertINet = reinterpret_cast<ConvertINetMultiByteToUnicodeFn>(
            reinterpret_cast<void*>(::GetProcAddress(m_mlang.Get(), "ConvertINetMultiByteToUnicode")));
    }
}

CTextViewDialog::~CTextViewDialog()
{
    // The window goes before the library reference it may still use.
    DestroyWindow();
    if (m_mlang && --g_mlangHolders == 0) g_convertINet = nullptr;
}

std::shared_ptr<CKaviloPropertyPage> CTextViewDialog::CreateForEntry(CCBData* entry)
{
    return std::make_shared<CTextViewDialog>(entry);
}

bool CTextViewDialog::HasInternetConverter()
{
    return g_convertINet != nullptr;
}

void CTextViewDialog::SaveAsDefaultView()
{
    WriteDefaultView(m_entry, L"TEXT");
}

int CTextViewDialog::DetectCodePage(const uint8_t* data, size_t n)
{
    return ::DetectCodePage(data, n, AnsiDoubleByteTable(), &CTextViewDialog::IsBrokenShiftJis);
}

bool CTextViewDialog::IsBrokenShiftJis(const uint8_t* bytes, size_t count)
{
    const std::vector<uint8_t> characters = DoubleByteCharacters(bytes, count, AnsiDoubleByteTable());
    if (characters.empty() || characters.size() > INT_MAX - 1024) return false;
    std::vector<wchar_t> buffer(characters.size() + 1024);
    const int made =
        ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(characters.data()),
                              static_cast<int>(characters.size()), buffer.data(), static_cast<int>(buffer.size()));
    return made == 0 && ::GetLastError() == ERROR_NO_UNICODE_TRANSLATION;
}

HWND CTextViewDialog::GetCombo() const
{
    return GetDlgItem(IDC_TEXT_CODEPAGE);
}

BOOL CTextViewDialog::OnInitDialog()
{
    ::EnableThemeDialogTexture(GetSafeHwnd(), ETDT_ENABLETAB);
    m_windowBrush.Reset(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));
    m_edit.SubclassDlgItem(IDC_TEXT_EDIT, GetSafeHwnd());
    FitLabel();

    std::vector<uint8_t> data;
    const bool read = ReadShownBytes(data);
    if (read && !data.empty()) {
        m_codePage = m_entry->GetDefaultCodePage();
        if (m_codePage == kCodePageNone) m_codePage = DetectCodePage(data.data(), data.size());
    }
    FillCodePageCombo();
    DecodeAndShow(read ? &data : nullptr);
    return TRUE;
}

void CTextViewDialog::FillCodePageCombo()
{
    HWND combo = GetCombo();
    if (!combo) return;
    int wanted = 0;
    const LRESULT selected = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<size_t>(selected) < m_codePages.size())
        wanted = m_codePages[static_cast<size_t>(selected)]->m_codePage;
    else if (m_entry)
        wanted = m_codePage;

    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    BuildCodePageList(m_codePages, m_entry, wanted);
    for (const auto& item : m_codePages) {
        const LRESULT index = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item->m_name.c_str()));
        // Several items may have the wanted code page: the last one ends up selected.
        if (index >= 0 && item->m_codePage == wanted) ::SendMessageW(combo, CB_SETCURSEL, index, 0);
    }
}

bool CTextViewDialog::IsLarge() const
{
    return m_entry && m_entry->m_dataSize > kShownBytes;
}

bool CTextViewDialog::ReadShownBytes(std::vector<uint8_t>& out) const
{
    if (!m_entry) return false;
    if (!IsLarge()) return m_entry->ReadData(out);
    fw::UniqueFile file(::CreateFileW(m_entry->m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    out.resize(kShownBytes);
    DWORD got = 0;
    if (!::ReadFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr)) got = 0;
    out.resize(got);
    return true;
}

void CTextViewDialog::DecodeAndShow(std::vector<uint8_t>* data)
{
    m_scan.reset();
    m_scanTimer.Stop();
    m_shownBytes = 0;
    m_partShown = false;
    std::vector<uint8_t> readNow;
    if (!data && ReadShownBytes(readNow)) data = &readNow;

    std::wstring text;
    bool nul = false, decoded = false;
    size_t used = data ? data->size() : 0;
    LineEndCounts counts;
    try {
        const LRESULT selected = ::SendMessageW(GetCombo(), CB_GETCURSEL, 0, 0);
        if (data && selected >= 0 && static_cast<size_t>(selected) < m_codePages.size()) {
            decoded = true;
            m_codePage = m_codePages[static_cast<size_t>(selected)]->m_codePage;
            if (m_codePage == kCodePageUtf16LE || m_codePage == kCodePageUtf16BE) {
                nul = DecodeUtf16(data->data(), data->size(), m_codePage, text);
            } else {
                const MultiByteInput input = PrepareMultiByteInput(data->data(), data->size(), m_codePage);
                nul = input.nul;
                size_t length = input.length;
                if (IsLarge() && !nul) {
                    // Only the start is shown: it ends before a character its last bytes cut.
                    const std::optional<DoubleByteTable> lead = LeadByteTable(m_codePage);
                    length =
                        WholeCharacterLength(data->data() + input.offset, length, m_codePage, lead ? &*lead : nullptr);
                    used = input.offset + length;
                }
                text = ConvertMultiByte(m_codePage, data->data() + input.offset, length);
            }
        }
        counts = CountLineEnds(text.data(), text.size());
        // The edit control breaks lines at CR LF only.
        if (counts.NeedsRewrite()) text = RewriteLineEnds(text, counts);
    } catch (const std::bad_alloc&) {
        // Text too large for memory: shown as a conversion that gave nothing.
        text.clear();
        counts = LineEndCounts();
    }
    ::SetWindowTextW(GetDlgItem(IDC_TEXT_EDIT), text.c_str());

    // A text that ends at a NUL within the shown bytes is whole; otherwise the report
    // of a large entry covers its every byte, worked out in steps.
    if (IsLarge() && decoded && !nul) {
        m_partShown = true;
        m_shownBytes = used;
        auto scan = std::make_unique<WholeEntryScan>();
        scan->file.Reset(::CreateFileW(m_entry->m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (scan->file) {
            scan->size = m_entry->m_dataSize;
            scan->codePage = m_codePage;
            scan->leadBytes = LeadByteTable(m_codePage);
            m_scan = std::move(scan);
            // Timer messages come after input and painting: the window stays responsive.
            m_scanTimer.Start(GetSafeHwnd(), kScanTimer, USER_TIMER_MINIMUM);
            SetDlgItemText(IDC_TEXT_STATUS, Widen(PendingStatus(0, m_entry->m_dataSize) +
                                                  ShownPartNote(m_shownBytes, m_entry->m_dataSize)));
            return;
        }
    }
    ShowReport(nul, counts);
}

void CTextViewDialog::OnScanTimer()
{
    if (!m_scan) {
        m_scanTimer.Stop();
        return;
    }
    // About one slice of work per tick, so that input and painting get their turn.
    const ULONGLONG start = ::GetTickCount64();
    do m_scan->Step();
    while (!m_scan->done && ::GetTickCount64() - start < 50);
    if (!m_scan->done) {
        SetDlgItemText(IDC_TEXT_STATUS, Widen(PendingStatus(m_scan->read, m_scan->size) +
                                              ShownPartNote(m_shownBytes, m_entry->m_dataSize)));
        return;
    }
    const bool nul = m_scan->nul;
    const LineEndCounts counts = m_scan->failed ? LineEndCounts() : m_scan->lines.Counts();
    m_scan.reset();
    m_scanTimer.Stop();
    ShowReport(nul, counts);
}

void CTextViewDialog::ShowReport(bool nul, const LineEndCounts& counts)
{
    std::u16string status = TextStatus(nul, counts);
    if (m_partShown) status += ShownPartNote(m_shownBytes, m_entry->m_dataSize);
    SetDlgItemText(IDC_TEXT_STATUS, Widen(status));
}

bool CTextViewDialog::OnCommand(WORD id, WORD code)
{
    if (id == IDC_TEXT_CODEPAGE && code == CBN_SELCHANGE) {
        DecodeAndShow(nullptr);
        return true;
    }
    if (id == IDC_TEXT_ADD_CODEPAGE && code == BN_CLICKED) {
        OnAddCodePage();
        return true;
    }
    switch (id) {
        case ID_TEXT_FIND:
            OnFind();
            return true;
        case ID_TEXT_FIND_NEXT:
        case ID_TEXT_FIND_PREVIOUS:
            FindNext(id == ID_TEXT_FIND_NEXT);
            return true;
        default:
            return CKaviloPropertyPage::OnCommand(id, code);
    }
}

void CTextViewDialog::OnAddCodePage()
{
    CAddCodePageDialog dialog;
    if (dialog.DoModal(GetSafeHwnd()) != IDOK) return;
    FillCodePageCombo();
    DecodeAndShow(nullptr);
}

bool CTextViewDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (msg) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            // A read-only edit asks as a static would: it keeps the window colour, text
            // cells included, instead of the dialog's.
            HWND control = reinterpret_cast<HWND>(lParam);
            if (::GetDlgCtrlID(control) != IDC_TEXT_EDIT || !m_windowBrush) return false;
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
            result = reinterpret_cast<INT_PTR>(m_windowBrush.Get());
            return true;
        }
        case WM_SYSCOLORCHANGE:
            m_windowBrush.Reset(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));
            if (HWND edit = GetDlgItem(IDC_TEXT_EDIT)) ::InvalidateRect(edit, nullptr, TRUE);
            return false;  // the dialog's own processing too
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return false;
        case WM_SETFONT:
            // The dialog manager's own call comes before the controls exist; later ones
            // (another UI font) reach the controls, and the label fits again.
            if (!GetDlgItem(IDC_TEXT_CODEPAGE_LABEL)) return false;
            for (HWND child = ::GetWindow(GetSafeHwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
                ::SendMessageW(child, WM_SETFONT, wParam, lParam);
            FitLabel();
            return false;
        case WM_TIMER:
            if (wParam != kScanTimer) return false;
            OnScanTimer();
            result = 0;
            return true;
        default:
            return false;
    }
}

void CTextViewDialog::OnSize(int cx, int cy)
{
    HWND edit = GetDlgItem(IDC_TEXT_EDIT);
    if (!edit) return;
    RECT r;
    ::GetWindowRect(edit, &r);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
    ::MoveWindow(edit, r.left, r.top, cx - r.left, cy - r.top, TRUE);
    // The status line takes the rest of the first row: a large entry's note is long.
    if (HWND status = GetDlgItem(IDC_TEXT_STATUS)) {
        ::GetWindowRect(status, &r);
        ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
        ::MoveWindow(status, r.left, r.top, std::max<int>(cx - r.left, 0), r.bottom - r.top, TRUE);
    }
}

void CTextViewDialog::FitLabel()
{
    HWND label = GetDlgItem(IDC_TEXT_CODEPAGE_LABEL);
    if (!label) return;
    const std::wstring text = WindowText(label);
    SIZE extent = {};
    {
        fw::WindowDC dc(label);
        fw::SelectGuard font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
        if (!::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent)) return;
    }
    RECT r;
    ::GetClientRect(label, &r);
    const int grow = extent.cx - (r.right - r.left);
    if (grow <= 0) return;
    // A static breaks a text it cannot fit, and the rest falls below its one line: with
    // Japanese UI fonts six full-width characters are wider than 40 dialog units.
    ::GetWindowRect(label, &r);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
    ::MoveWindow(label, r.left, r.top, r.right - r.left + grow, r.bottom - r.top, TRUE);
    for (int id : {IDC_TEXT_CODEPAGE, IDC_TEXT_ADD_CODEPAGE, IDC_TEXT_STATUS}) {
        HWND control = GetDlgItem(id);
        if (!control) continue;
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&r), 2);
        // The status line keeps its right edge, at the page's.
        const int width = id == IDC_TEXT_STATUS ? std::max<int>(r.right - r.left - grow, 0) : r.right - r.left;
        ::MoveWindow(control, r.left + grow, r.top, width, r.bottom - r.top, TRUE);
    }
}

void CTextViewDialog::OnFind()
{
    CTextFindDialog dialog(g_findPattern, g_findIgnoreCase);
    if (dialog.DoModal(GetSafeHwnd()) != IDOK) return;
    g_findPattern = dialog.Pattern();
    g_findIgnoreCase = dialog.IgnoreCase();
    FindNext(!dialog.Backward());
}

void CTextViewDialog::FindNext(bool forward)
{
    if (g_findPattern.empty()) {
        OnFind();
        return;
    }
    HWND edit = GetDlgItem(IDC_TEXT_EDIT);
    if (!edit) return;
    const std::wstring text = WindowText(edit);
    DWORD selStart = 0, selEnd = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const char16_t* fold = g_findIgnoreCase ? LowerCaseTable() : nullptr;
    const auto find = [&](size_t from) {
        return FindInText(text.data(), text.size(), g_findPattern.data(), g_findPattern.size(), from, forward, fold);
    };
    std::optional<size_t> at = find(forward ? selEnd : selStart);
    if (!at) at = find(forward ? 0 : text.size());  // on from the other end
    if (!at) {
        std::wstring message = L"「" + g_findPattern + L"」は見つかりません。";
        if (m_partShown) message += L"\n検索したのは表示している先頭 " + Widen(SizeText(m_shownBytes)) + L" です。";
        fw::AfxMessageBox(message, MB_ICONINFORMATION);
        return;
    }
    ::SendMessageW(edit, EM_SETSEL, *at, *at + g_findPattern.size());
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    ::SetFocus(edit);
}
