#include "app/DropEntranceWnd.h"

#include "app/KaviloDoc.h"
#include "app/MainFrame.h"
#include "framework/WindowResources.h"

const fw::CRuntimeClass CDropEntranceWnd::classCDropEntranceWnd = {"CDropEntranceWnd", &fw::Window::classWindow};

DWORD CODT::OnDragEnter(HWND, COleDataObject* data, DWORD keyState, POINT point)
{
    return m_owner ? m_owner->OnDragEnter(data, keyState, point) : DROPEFFECT_NONE;
}

DWORD CODT::OnDragOver(HWND, COleDataObject* data, DWORD keyState, POINT point)
{
    return m_owner ? m_owner->OnDragOver(data, keyState, point) : DROPEFFECT_NONE;
}

DWORD CODT::OnDragScroll(HWND, DWORD keyState, POINT point)
{
    return m_owner ? m_owner->OnDragScroll(keyState, point) : DROPEFFECT_NONE;
}

bool CODT::OnDrop(HWND, COleDataObject* data, DWORD effect, POINT point)
{
    return m_owner && m_owner->OnDrop(data, effect, point);
}

bool CDropEntranceWnd::Create(HWND parent, UINT id, COLORREF background, const std::wstring& caption, bool chooseFormat)
{
    m_background = background;
    m_caption = caption;
    m_chooseFormat = chooseFormat;
    return fw::Window::Create(L"OrvettaDropEntrance", L"", WS_CHILD | WS_BORDER, 0, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), 0, nullptr, nullptr,
                              ::LoadCursorW(nullptr, IDC_ARROW));
}

CKaviloDoc* CDropEntranceWnd::GetDocument() const
{
    auto* frame = dynamic_cast<CMainFrame*>(fw::Window::FromHandle(::GetAncestor(m_hwnd, GA_ROOT)));
    fw::View* view = frame ? frame->GetActiveView() : nullptr;
    fw::Document* document = view ? view->GetDocument() : nullptr;
    if (!document || !document->IsKindOf(&CKaviloDoc::classCKaviloDoc)) return nullptr;
    return static_cast<CKaviloDoc*>(document);
}

// Any data is welcome, except while a long operation (which pumps messages) runs.
DWORD CDropEntranceWnd::OnDragEnter(COleDataObject*, DWORD, POINT)
{
    const CKaviloDoc* document = GetDocument();
    return document && document->IsBusy() ? DROPEFFECT_NONE : DROPEFFECT_COPY;
}
DWORD CDropEntranceWnd::OnDragOver(COleDataObject* data, DWORD keyState, POINT point)
{
    return OnDragEnter(data, keyState, point);
}
// Never scrolls, so the drag-over answer decides.
DWORD CDropEntranceWnd::OnDragScroll(DWORD, POINT)
{
    return DROPEFFECT_NONE;
}

bool CDropEntranceWnd::OnDrop(COleDataObject* data, DWORD, POINT)
{
    CKaviloDoc* document = GetDocument();
    const DWORD allowed = m_dropTarget ? m_dropTarget->GetAllowedEffects() : DROPEFFECT_NONE;
    return document && document->CaptureDrop(*data, m_chooseFormat, allowed);
}

LRESULT CDropEntranceWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_CREATE: {
            const int height = -::MulDiv(80, ::GetDeviceCaps(fw::WindowDC(nullptr).Get(), LOGPIXELSY), 720);
            m_font.Reset(::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, L"MS UI Gothic"));
            m_dropTarget = fw::MakeComObject<CODT>();
            if (m_dropTarget) {
                m_dropTarget->m_owner = this;
                m_dropTarget->Register(m_hwnd);
            }
            return 0;
        }
        case WM_DESTROY:
            if (m_dropTarget) {
                // A source may still hold the target: it must not reach this window any more.
                m_dropTarget->Revoke();
                m_dropTarget->m_owner = nullptr;
                m_dropTarget.Reset();
            }
            return DefaultProc(msg, wParam, lParam);
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint fills everything
        default:
            return DefaultProc(msg, wParam, lParam);
    }
}

void CDropEntranceWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hwnd, &ps);
    const int saved = ::SaveDC(dc);
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    ::SetBkColor(dc, m_background);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    if (m_font) ::SelectObject(dc, m_font.Get());
    ::SetTextColor(dc, RGB(0, 0, 0));
    RECT text = client;
    ::DrawTextW(dc, m_caption.c_str(), -1, &text, DT_CENTER | DT_NOPREFIX | DT_CALCRECT);
    const int dy = ((client.bottom - client.top) - (text.bottom - text.top)) / 2;
    const int dx = ((client.right - client.left) - (text.right - text.left)) / 2;
    ::OffsetRect(&text, dx, dy);
    ::DrawTextW(dc, m_caption.c_str(), -1, &text, DT_CENTER | DT_NOPREFIX);
    ::RestoreDC(dc, saved);
    ::EndPaint(m_hwnd, &ps);
}
