#include "app/KaviloView.h"

#include "app/KaviloDoc.h"
#include "capture/CBData.h"
#include "capture/FormatCatalogue.h"
#include "viewers/HexViewDialog.h"
#include "viewers/StructureViewDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

namespace {

std::map<int, CKaviloView::PageFactory>& Factories()
{
    static std::map<int, CKaviloView::PageFactory> factories;
    return factories;
}

}  // namespace

const fw::CRuntimeClass CKaviloView::classCKaviloView = {"CKaviloView", &fw::View::classView};

const fw::CRuntimeClass* CKaviloView::GetRuntimeClass() const
{
    return &classCKaviloView;
}

CKaviloView::CKaviloView()
{
    // First from the start, whenever the sheet's window is made.
    m_sheet.AddPage(&m_propertyPage);
}

CKaviloView::~CKaviloView()
{
    // The sheet only borrows the pages: it lets go of them before they go. With the
    // first page in front, no removal brings a page forward that was never made.
    m_sheet.SetActivePage(0);
    RemoveExtraPages();
    m_sheet.RemovePage(0);
}

bool CKaviloView::Create(HWND parent, UINT id)
{
    return fw::Window::Create(L"Orvetta.KaviloView", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), CS_DBLCLKS, nullptr, nullptr,
                              nullptr);
}

void CKaviloView::SetPageFactory(int viewTab, PageFactory factory)
{
    if (factory)
        Factories()[viewTab] = std::move(factory);
    else
        Factories().erase(viewTab);
}

CKaviloDoc* CKaviloView::GetKaviloDoc() const
{
    fw::Document* document = GetDocument();
    if (!document || !document->IsKindOf(&CKaviloDoc::classCKaviloDoc)) return nullptr;
    return static_cast<CKaviloDoc*>(document);
}

void CKaviloView::OnInitialUpdate()
{
    if (m_sheet.GetSafeHwnd() || !m_hwnd) return;
    fw::View::OnInitialUpdate();
    if (!m_sheet.Create(m_hwnd, WS_CHILD)) return;

    // Tabs never take the keyboard focus: it stays in the tree or the page.
    HWND tab = m_sheet.GetTabControl();
    const LONG style = ::GetWindowLongW(tab, GWL_STYLE);
    ::SetWindowLongW(tab, GWL_STYLE, (style & ~TCS_FOCUSONBUTTONDOWN) | TCS_FOCUSNEVER);

    RECT client, tabRect;
    ::GetClientRect(m_sheet.GetSafeHwnd(), &client);
    ::GetWindowRect(tab, &tabRect);
    ::MapWindowPoints(nullptr, m_sheet.GetSafeHwnd(), reinterpret_cast<POINT*>(&tabRect), 2);
    m_marginLeft = tabRect.left - client.left;
    m_marginTop = tabRect.top - client.top;
    m_marginRight = client.right - tabRect.right;
    m_marginBottom = client.bottom - tabRect.bottom;
    m_layoutReady = true;
    Layout();
}

void CKaviloView::Layout()
{
    HWND sheet = m_sheet.GetSafeHwnd();
    if (!m_layoutReady || !sheet) return;
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    ::SetWindowPos(sheet, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT sheetClient;
    ::GetClientRect(sheet, &sheetClient);
    const int width = std::max(0L, sheetClient.right - m_marginLeft - m_marginRight);
    const int height = std::max(0L, sheetClient.bottom - m_marginTop - m_marginBottom);
    ::SetWindowPos(m_sheet.GetTabControl(), nullptr, m_marginLeft, m_marginTop, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_sheet.LayoutPages();
    if (!(::GetWindowLongW(sheet, GWL_STYLE) & WS_VISIBLE)) ::ShowWindow(sheet, SW_SHOWNA);
}

void CKaviloView::RemoveExtraPages()
{
    while (m_sheet.GetPageCount() > 1) m_sheet.RemovePage(1);
    m_extraPages.clear();
}

std::shared_ptr<CKaviloPropertyPage> CKaviloView::AddExtraPage(int viewTab, CCBData* entry)
{
    const auto found = Factories().find(viewTab);
    if (found == Factories().end()) return nullptr;
    std::shared_ptr<CKaviloPropertyPage> page = found->second(entry);
    if (!page) return nullptr;
    m_extraPages.push_back(page);
    m_sheet.AddPage(page.get());
    return page;
}

void CKaviloView::ShowEntry(CCBData* entry)
{
    const int defaultTab = entry->GetDefaultViewTab();
    std::shared_ptr<CKaviloPropertyPage> hex, text;
    if (!entry->m_tempFile.empty()) {
        hex = AddExtraPage(ViewTab_Hex, entry);
        text = AddExtraPage(ViewTab_Text, entry);
    }
    std::shared_ptr<CKaviloPropertyPage> image = AddExtraPage(ViewTab_Image, entry);
    std::shared_ptr<CKaviloPropertyPage> structure = AddExtraPage(ViewTab_Structure, entry);
    LinkStructureToHex(structure.get(), hex.get());
    m_propertyPage.ShowEntry(entry);

    CKaviloPropertyPage* first = &m_propertyPage;
    if (defaultTab == ViewTab_Hex && hex) first = hex.get();
    if (defaultTab == ViewTab_Text && text) first = text.get();
    if (defaultTab == ViewTab_Image && image) first = image.get();
    if (defaultTab == ViewTab_Structure && structure) first = structure.get();
    // A page that cannot be made leaves the property page in front.
    if (!m_sheet.SetActivePage(first)) m_sheet.SetActivePage(0);
}

void CKaviloView::LinkStructureToHex(CKaviloPropertyPage* structurePage, CKaviloPropertyPage* hexPage)
{
    auto* structure = dynamic_cast<CStructureViewDialog*>(structurePage);
    auto* hex = dynamic_cast<CHexViewDialog*>(hexPage);
    if (!structure || !hex) return;
    // Both pages live until the next selection removes them together.
    structure->SetSelectBytesHandler([this, hex](uint64_t begin, uint64_t end, bool show) {
        hex->SelectBytes(begin, end);
        if (!show || !m_sheet.SetActivePage(hex)) return;
        if (HWND control = hex->GetHexView().GetSafeHwnd()) ::SetFocus(control);
    });
}

void CKaviloView::OnUpdate(fw::View*, LPARAM hint, void* object)
{
    if (hint & CKaviloDoc::HintShowKept) {
        RemoveExtraPages();
        const auto* kept = static_cast<const CKeptSnapshot*>(object);
        m_propertyPage.ShowOfferedFormats(kept->offered, CKaviloDoc::RootRows(kept->owner, kept->allowedEffects));
        return;
    }
    if (hint & (CKaviloDoc::HintSnapshotReplaced | CKaviloDoc::HintShowEntry)) RemoveExtraPages();
    if (hint & CKaviloDoc::HintSnapshotReplaced) m_propertyPage.ShowEntry(nullptr);
    if (!(hint & CKaviloDoc::HintShowEntry)) return;
    if (!object) {
        CKaviloDoc* document = GetKaviloDoc();
        if (document) {
            m_propertyPage.ShowOfferedFormats(document->GetOfferedFormats(), document->GetRootRows());
        } else {
            m_propertyPage.ShowOfferedFormats({});
        }
        return;
    }
    ShowEntry(static_cast<CCBData*>(object));
}

bool CKaviloView::ShowHexSelection(uint64_t offset, uint64_t length)
{
    for (const auto& page : m_extraPages) {
        auto* hex = dynamic_cast<CHexViewDialog*>(page.get());
        if (!hex || !m_sheet.SetActivePage(page.get())) continue;
        if (length == 0)
            hex->GetHexView().GoToOffset(offset);
        else
            hex->GetHexView().SelectBytes(offset, length);
        ::SetFocus(hex->GetHexView().GetSafeHwnd());
        return true;
    }
    return false;
}

CKaviloPropertyPage* CKaviloView::GetActivePage() const
{
    const fw::PropertyPage* active = m_sheet.GetActivePage();
    if (!active) return nullptr;
    if (active == &m_propertyPage) return const_cast<CPropertyViewDialog*>(&m_propertyPage);
    for (const auto& page : m_extraPages)
        if (page.get() == active) return page.get();
    return nullptr;
}

std::vector<std::wstring> CKaviloView::GetTabCaptions() const
{
    std::vector<std::wstring> captions;
    HWND tab = m_sheet.GetTabControl();
    if (!tab) return captions;
    const int count = static_cast<int>(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 256;
        if (::SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item))) captions.push_back(text);
    }
    return captions;
}

LRESULT CKaviloView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_SIZE: {
            const LRESULT result = DefaultProc(msg, wParam, lParam);
            Layout();
            return result;
        }
        case WM_SETFOCUS: {
            const LRESULT result = DefaultProc(msg, wParam, lParam);
            if (fw::PropertyPage* page = m_sheet.GetActivePage(); page && page->GetSafeHwnd())
                ::SetFocus(page->GetSafeHwnd());
            return result;
        }
        default:
            return fw::View::OnMessage(msg, wParam, lParam);
    }
}
