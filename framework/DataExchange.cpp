#include "framework/DataExchange.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"

#include <climits>
#include <cwctype>
#include <vector>

namespace fw {
namespace {

bool IsRadioButton(HWND control)
{
    return (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

}  // namespace

bool ParseInt(const std::wstring& text, int& value)
{
    size_t at = 0;
    while (at < text.size() && std::iswspace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    const size_t firstDigit = at;
    long long magnitude = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (at == firstDigit) return false;
    while (at < text.size() && std::iswspace(text[at])) ++at;
    if (at != text.size()) return false;
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) return false;
    value = static_cast<int>(signedValue);
    return true;
}

bool ExchangeInt(HWND dialog, int id, int& value, bool save)
{
    HWND edit = ::GetDlgItem(dialog, id);
    if (!edit) return false;
    if (!save) {
        ::SetWindowTextW(edit, Format(L"%d", value).c_str());
        return true;
    }
    std::vector<wchar_t> buffer(::GetWindowTextLengthW(edit) + 1, L'\0');
    const int length = ::GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
    int parsed = 0;
    if (!ParseInt(std::wstring(buffer.data(), length), parsed)) {
        AfxMessageBox(L"整数を入力してください。");
        ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return false;
    }
    value = parsed;
    return true;
}

bool ExchangeRadio(HWND dialog, int firstId, int& value, bool save)
{
    HWND button = ::GetDlgItem(dialog, firstId);
    if (!button || !IsRadioButton(button)) return false;
    if (save) value = -1;
    for (int index = 0; button && IsRadioButton(button); ++index) {
        if (save) {
            if (::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        button = ::GetWindow(button, GW_HWNDNEXT);
        if (button && (::GetWindowLongW(button, GWL_STYLE) & WS_GROUP)) break;
    }
    return true;
}

}  // namespace fw
