// The text page ("テキスト"): an entry's bytes decoded in the code page picked from a
// drop-down list, shown read-only, with a status line that tells whether the data ends
// at a NUL and which line ends it uses. Without a code page from the entry, the page
// guesses one from the bytes. Code pages above 1 go through the optional converter of
// "mlang.dll" when the system has it; everything else through MultiByteToWideChar.
// An entry larger than kShownBytes shows only its first kShownBytes (the status line
// says so), while the NUL and line-end report still covers the whole entry: it is
// worked out in 1 MiB steps on a timer, so the window stays responsive whatever the size.
// Ctrl+F, F3 and Shift+F3 find text in what is shown.
#pragma once

#include "framework/Handles.h"
#include "viewers/CodePageList.h"
#include "viewers/KaviloPropertyPage.h"
#include "framework/WindowResources.h"
#include "viewers/TextPageEdit.h"
#include "viewers/bytes/LineEnds.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCBData;
struct WholeEntryScan;

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

    // Entries up to this size are decoded and shown whole; of larger ones, the edit
    // control gets this much (an edit fed megabytes takes seconds to tens of seconds).
    static constexpr uint64_t kShownBytes = 128 * 1024;
    // The whole-entry report of a large entry is worked out in steps of this size.
    static constexpr uint32_t kScanStep = 1024 * 1024;

    int GetCurrentCodePage() const { return m_codePage; }
    // Whether the NUL and line-end report of a large entry is still being worked out.
    bool IsReportPending() const { return m_scan != nullptr; }
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
    // The first kShownBytes of a large entry, or all of a small one, as ReadData reads.
    bool ReadShownBytes(std::vector<uint8_t>& out) const;
    bool IsLarge() const;
    void OnScanTimer();
    void ShowReport(bool nul, const LineEndCounts& counts);
    void OnAddCodePage();
    void OnSize(int cx, int cy);
    // Widens the code-page label to its text in the page's font, moving what follows.
    void FitLabel();
    void OnFind();
    void FindNext(bool forward);

    static constexpr UINT_PTR kScanTimer = 1;
    CCBData* m_entry;
    fw::UniqueBrush m_windowBrush;  // the read-only edit's background
    int m_codePage = 0;
    CodePageList m_codePages;
    CTextPageEdit m_edit;
    fw::UniqueModule m_mlang;                // this page's reference to "mlang.dll"
    std::unique_ptr<WholeEntryScan> m_scan;  // while the report of a large entry is pending
    fw::Timer m_scanTimer;
    bool m_partShown = false;   // only the start of a large entry is shown
    uint64_t m_shownBytes = 0;  // then the bytes behind the shown text
};
