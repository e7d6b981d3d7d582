// The text page's read-only edit: the selection behaviour of CNoSelEdit, and the find
// keys, which it hands to the page as commands (Ctrl+F ID_TEXT_FIND, F3
// ID_TEXT_FIND_NEXT, Shift+F3 ID_TEXT_FIND_PREVIOUS).
#pragma once

#include "viewers/NoSelEdit.h"

class CTextPageEdit : public CNoSelEdit {
protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
