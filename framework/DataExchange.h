// Dialog data exchange: moves a value between a member and its control, in one
// direction (load: member -> control) or the other (save: control -> member). A save
// that finds an invalid text tells the user, puts the focus on the control and
// returns false, so that the dialog stays open.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// A signed decimal integer as typed: optional blanks, an optional sign, digits,
// optional blanks, and nothing else; values outside the int range are refused.
bool ParseInt(const std::wstring& text, int& value);

// An integer edit. On save, a text that is not an integer shows "整数を入力してください。",
// selects the text of the edit and focuses it.
bool ExchangeInt(HWND dialog, int id, int& value, bool save);

// A group of radio buttons from `firstId` up to the next control that starts a group.
// Load checks the value-th button and clears the others; save gives the index of the
// checked button, or -1 when none is.
bool ExchangeRadio(HWND dialog, int firstId, int& value, bool save);

}  // namespace fw
