// The text page ("テキスト"): an entry's bytes decoded in the code page picked from a
// drop-down list, shown read-only, with a status line that tells whether the data ends
// at a NUL and which line ends it uses. Without a code page from the entry, the page
// guesses one from the bytes. Code pages above 1 go through the optional converter of
// "mlang.dll" when the system has it; everything else through MultiByteToWideChar.
#pragma once

#include "framework/Handles.h"
#include "viewers/CodePageList.h"
#include "viewers/KaviloPropertyPage.h"
#include "viewers/NoSelEdit.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CCBData;

class CTextViewDialog : public CKaviloPropertyPage {
public:
    // The entry must outlive the page; the viewer host drops its pages first.
    explicit CTextViewDialog(CCBData* entry);
    ~CTextViewDialog() override;

    // What the viewer host registers for view tab 1.
    static std::shared_ptr<CKaviloPropertyPage> CreateForEntry(CCBData* entry);

    // Writes "TEXT" for the shown entry's view key.
    void SaveAsDefaultView() override;

    // The guess for bytes that came without a code page, by the ANSI code page's
    // lead- and trail-byte tables; looks at no more than the first 0x4000 bytes.
    static int DetectCodePage(const uint8_t* data, size_t n);
    // Whether the double-byte characters of the bytes (by the ANSI code page's table)
    // are not valid code page 932 text.
    static bool IsBrokenShiftJis(const uint8_t* bytes, size_t count);
    // Whether the optional converter was found.
    static bool HasInternetConverter();

    int GetCurrentCodePage() const { return m_codePage; }
    const CodePageList& GetCodePageList() const { return m_codePages; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    HWND GetCombo() const;
    void FillCodePageCombo();
    // Decodes `data` (read from the entry's file when null) in the selected code page
    // and shows the text and the status line.
    void DecodeAndShow(std::vector<uint8_t>* data);
    void OnAddCodePage();
    void OnSize(int cx, int cy);

    CCBData* m_entry;
    fw::UniqueBrush m_windowBrush;  // the read-only edit's background
    int m_codePage = 0;
    CodePageList m_codePages;
    CNoSelEdit m_edit;
    fw::UniqueModule m_mlang;  // this page's reference to "mlang.dll"
};
