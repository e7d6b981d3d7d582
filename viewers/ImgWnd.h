// The image page's drawing area: the held picture shrunk to fit inside margins of 5
// pixels but never enlarged, drawn from the top-left corner on a tinted background.
// After every paint it sends the zoom text ("60.42 %", empty when nothing was drawn)
// to its parent with kZoomMessage; there is no scrolling and no mouse handling.
#pragma once

#include "framework/Window.h"

#include <memory>

namespace Gdiplus {
class Image;
}

class CImgWnd : public fw::Window {
public:
    // wParam 0, lParam a const wchar_t* valid during the call.
    static constexpr UINT kZoomMessage = WM_APP + 0x64;

    // A visible child of `parent` covering `rect` (parent client coordinates).
    bool Create(HWND parent, const RECT& rect, UINT id);

    // Shares the picture with the page; null shows the background only.
    void SetImage(std::shared_ptr<Gdiplus::Image> image);
    // The picture's own size in pixels, 0 when there is none or GDI+ cannot tell it.
    int GetImageWidth() const { return m_imageWidth; }
    int GetImageHeight() const { return m_imageHeight; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();

    std::shared_ptr<Gdiplus::Image> m_image;
    int m_marginX = 0, m_marginY = 0;
    int m_imageWidth = 0, m_imageHeight = 0;
    int m_clientWidth = 0, m_clientHeight = 0;
};
