#include "viewers/ImgWnd.h"

#include "capture/GdiplusInclude.h"
#include "framework/Format.h"
#include "framework/PaintDC.h"

#include <algorithm>
#include <climits>
#include <string>
#include <new>

namespace {

constexpr int kMargin = 5;
constexpr Gdiplus::ARGB kBackground = 0xFFEEF2FA;

// min(1, available width / image width, available height / image height), in single
// precision as it is drawn; 0 when nothing fits (nothing is drawn then).
float FitScale(int availableWidth, int availableHeight, int imageWidth, int imageHeight)
{
    if (availableWidth <= 0 || availableHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return 0.0f;
    const float across = static_cast<float>(availableWidth) / static_cast<float>(imageWidth);
    const float down = static_cast<float>(availableHeight) / static_cast<float>(imageHeight);
    return std::min({1.0f, across, down});
}

}  // namespace

bool CImgWnd::Create(HWND parent, const RECT& rect, UINT id)
{
    return fw::Window::Create(L"Orvetta.ImgWnd", L"", WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), CS_DBLCLKS, nullptr, nullptr,
                              ::LoadCursorW(nullptr, IDC_ARROW));
}

void CImgWnd::SetImage(std::shared_ptr<Gdiplus::Image> image)
{
    m_image = std::move(image);
    // The wrapper returns 0 when GDI+ cannot tell the size (an image it failed to build).
    m_imageWidth = m_image ? static_cast<int>(std::min<UINT>(m_image->GetWidth(), INT_MAX)) : 0;
    m_imageHeight = m_image ? static_cast<int>(std::min<UINT>(m_image->GetHeight(), INT_MAX)) : 0;
    if (m_hwnd) ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

LRESULT CImgWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_CREATE: {
            const LRESULT result = DefaultProc(msg, wParam, lParam);
            m_marginX = m_marginY = kMargin;
            // WM_SIZE follows, but the size is known already should anything paint first.
            RECT client = {};
            ::GetClientRect(m_hwnd, &client);
            m_clientWidth = client.right;
            m_clientHeight = client.bottom;
            return result;
        }
        case WM_SIZE:
            m_clientWidth = LOWORD(lParam);
            m_clientHeight = HIWORD(lParam);
            ::InvalidateRect(m_hwnd, nullptr, TRUE);
            return 0;
        case WM_PAINT:
            OnPaint();
            return 0;
        default:
            return DefaultProc(msg, wParam, lParam);
    }
}

void CImgWnd::OnPaint()
{
    fw::PaintDC paint(m_hwnd);
    try {
        Gdiplus::Graphics graphics(paint.Get());
        graphics.Clear(Gdiplus::Color(kBackground));
        std::wstring zoom;
        const float scale =
            FitScale(m_clientWidth - 2 * m_marginX, m_clientHeight - 2 * m_marginY, m_imageWidth, m_imageHeight);
        if (m_image && scale > 0.0f) {
            // Pixel centres sit on whole coordinates: the half-pixel shift of both
            // rectangles keeps the picture's edges on the margins' pixel edges.
            const Gdiplus::RectF target(
                static_cast<Gdiplus::REAL>(m_marginX) - 0.5f, static_cast<Gdiplus::REAL>(m_marginY) - 0.5f,
                static_cast<Gdiplus::REAL>(m_imageWidth) * scale, static_cast<Gdiplus::REAL>(m_imageHeight) * scale);
            graphics.DrawImage(m_image.get(), target, -0.5f, -0.5f, static_cast<Gdiplus::REAL>(m_imageWidth),
                               static_cast<Gdiplus::REAL>(m_imageHeight), Gdiplus::UnitPixel, nullptr);
            zoom = fw::Format(L"%.2f %%", static_cast<double>(scale * 100.0f));
        }
        ::SendMessageW(::GetParent(m_hwnd), kZoomMessage, 0, reinterpret_cast<LPARAM>(zoom.c_str()));
    } catch (const std::bad_alloc&) {
        // Without memory for the zoom text the picture is already on screen; the caption keeps its last text.
    }
}
