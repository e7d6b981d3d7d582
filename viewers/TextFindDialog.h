// The text page's find dialog (Ctrl+F): the text to look for and whether case is
// ignored. "次を検索" and "前を検索" both end it with IDOK; Backward() tells which.
#pragma once

#include "framework/Dialog.h"

#include <string>

class CTextFindDialog : public fw::Dialog {
public:
    CTextFindDialog(std::wstring pattern, bool ignoreCase);

    const std::wstring& Pattern() const { return m_pattern; }
    bool IgnoreCase() const { return m_ignoreCase; }
    bool Backward() const { return m_backward; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    void OnOK() override;

private:
    std::wstring m_pattern;
    bool m_ignoreCase;
    bool m_backward = false;
};
