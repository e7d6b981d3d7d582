// The viewer host: the right pane of the main window. A tab sheet fills it with the
// pages that suit the entry selected in the tree: always the property page, the hex
// and text pages when the entry holds copied bytes, and the image page; the page the
// user made the default for the entry's format opens first. The hex, text and image
// pages come from factories registered per view tab, so each plugs in on its own.
#pragma once

#include "viewers/KaviloPropertyPage.h"
#include "framework/Document.h"
#include "framework/TabSheet.h"
#include "viewers/PropertyViewDialog.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CCBData;
class CKaviloDoc;

class CKaviloView : public fw::View {
public:
    static const fw::CRuntimeClass classCKaviloView;
    const fw::CRuntimeClass* GetRuntimeClass() const override;

    CKaviloView();
    ~CKaviloView() override;

    // A WS_CHILD|WS_VISIBLE child of `parent` (the splitter's right pane).
    bool Create(HWND parent, UINT id);
    // Called once by the frame after the views exist: builds the sheet.
    void OnInitialUpdate() override;
    // Hints of CKaviloDoc: 1 snapshot replaced, 2 show `object` (a CCBData*, or null for
    // the snapshot's root).
    void OnUpdate(fw::View* sender, LPARAM hint, void* object) override;

    // The page in front, for the set-default command 32779; null when there is none.
    CKaviloPropertyPage* GetActivePage() const;
    // The permanent first page; the frame saves its column widths when it closes.
    CPropertyViewDialog& GetPropertyPage() { return m_propertyPage; }
    // The texts of the tabs, in order.
    std::vector<std::wstring> GetTabCaptions() const;
    // Brings the shown entry's HEX page to the front with bytes [offset, offset + length)
    // selected (with length 0, the caret at the offset) and the focus in it; false when the
    // entry has no HEX page.
    bool ShowHexSelection(uint64_t offset, uint64_t length);

    // The hex (0), text (1), image (2) and structure (4) pages plug in here; a factory
    // may return null for an entry the page does not suit.
    using PageFactory = std::function<std::shared_ptr<CKaviloPropertyPage>(CCBData* entry)>;
    static void SetPageFactory(int viewTab, PageFactory factory);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    CKaviloDoc* GetKaviloDoc() const;
    void Layout();
    void RemoveExtraPages();
    void ShowEntry(CCBData* entry);
    std::shared_ptr<CKaviloPropertyPage> AddExtraPage(int viewTab, CCBData* entry);
    // Selecting a field in the structure page selects its bytes in the hex page.
    void LinkStructureToHex(CKaviloPropertyPage* structurePage, CKaviloPropertyPage* hexPage);

    fw::TabSheet m_sheet;
    CPropertyViewDialog m_propertyPage;
    std::vector<std::shared_ptr<CKaviloPropertyPage>> m_extraPages;  // in tab order after the first
    // Distances between the sheet's client area and its tab control, measured once.
    int m_marginLeft = 0, m_marginTop = 0, m_marginRight = 0, m_marginBottom = 0;
    bool m_layoutReady = false;
};
