// The dialog behind the text page's "追加" button: the user's code-page items, one
// "表示名=10進数" line each. OK stores them as the "CodePages" setting; a text with ";"
// in it is refused, since ";" separates the stored items.
#pragma once

#include "framework/Dialog.h"
#include "viewers/NoSelEdit.h"

class CAddCodePageDialog : public fw::Dialog {
public:
    CAddCodePageDialog();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CNoSelEdit m_edit;
};
