#include "viewers/TextViewDialog.h"

#include "capture/CBData.h"
#include "res/textview_resource.h"
#include "viewers/AddCodePageDialog.h"
#include "viewers/bytes/LineEnds.h"
#include "viewers/bytes/TextDecode.h"
#include "viewers/bytes/TextDetect.h"

#include <mbctype.h>
#include <uxtheme.h>

#include <algorithm>
#include <climits>
#include <new>

namespace {

using ConvertINetMultiByteToUnicodeFn = HRESULT(WINAPI*)(LPDWORD mode, DWORD encoding, LPCSTR source, LPINT sourceCount,
                                                         LPWSTR target, LPINT targetCount);

// The converter is process-wide; it stays valid while any page holds its reference
// to the library.
ConvertINetMultiByteToUnicodeFn g_convertINet = nullptr;
int g_mlangHolders = 0;

constexpr uint64_t kLargestShownSize = 0x7FFFFFFF;

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

// A failing conversion (a code page the system lacks, bytes it refuses) gives no text.
std::wstring ConvertMultiByte(int codePage, const uint8_t* bytes, size_t length)
{
    std::wstring text;
    if (length == 0 || length > INT_MAX) return text;
    const int count = static_cast<int>(length);
    const char* source = reinterpret_cast<const char*>(bytes);
    if (codePage > 1 && g_convertINet) {
        const int room = static_cast<int>(std::min<size_t>(length + 1024, INT_MAX));
        text.resize(static_cast<size_t>(room));
        DWORD mode = 0;
        INT sourceCount = count, targetCount = room;
        if (FAILED(g_convertINet(&mode, static_cast<DWORD>(codePage), source, &sourceCount, text.data(), &targetCount)))
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

    std::vector<uint8_t> data;
    const bool read = m_entry && m_entry->m_dataSize <= kLargestShownSize && m_entry->ReadData(data);
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

void CTextViewDialog::DecodeAndShow(std::vector<uint8_t>* data)
{
    std::vector<uint8_t> readNow;
    if (!data && m_entry && m_entry->m_dataSize <= kLargestShownSize && m_entry->ReadData(readNow)) data = &readNow;

    std::wstring text;
    bool nul = false;
    LineEndCounts counts;
    try {
        const LRESULT selected = ::SendMessageW(GetCombo(), CB_GETCURSEL, 0, 0);
        if (data && selected >= 0 && static_cast<size_t>(selected) < m_codePages.size()) {
            m_codePage = m_codePages[static_cast<size_t>(selected)]->m_codePage;
            if (m_codePage == kCodePageUtf16LE || m_codePage == kCodePageUtf16BE) {
                nul = DecodeUtf16(data->data(), data->size(), m_codePage, text);
            } else {
                const MultiByteInput input = PrepareMultiByteInput(data->data(), data->size(), m_codePage);
                nul = input.nul;
                text = ConvertMultiByte(m_codePage, data->data() + input.offset, input.length);
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
    SetDlgItemText(IDC_TEXT_STATUS, Widen(TextStatus(nul, counts)));
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
    return CKaviloPropertyPage::OnCommand(id, code);
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
}
