// The image page ("画像"): the entry's picture, made once when the page opens and drawn
// by the image window below a caption of its size, depth and the current zoom
// ("640×480  32ビット/ピクセル 60.42 %"). An entry without a picture, or one whose
// picture GDI+ cannot use, shows the empty tinted area under an empty caption.
#pragma once

#include "viewers/ImgWnd.h"
#include "viewers/KaviloPropertyPage.h"

#include <memory>
#include <string>

class CCBData;
namespace Gdiplus {
class Image;
}

class CImageViewDialog : public CKaviloPropertyPage {
public:
    // The entry must outlive the page (the viewer host removes its pages before a snapshot goes).
    explicit CImageViewDialog(CCBData* entry);

    // Writes "IMAGE" for the entry's view key.
    void SaveAsDefaultView() override;

    // The caption's fixed part (size and depth), without the zoom.
    const std::wstring& GetCaptionText() const { return m_caption; }
    // The picture shared with the image window; null when there is none.
    const std::shared_ptr<Gdiplus::Image>& GetImage() const { return m_image; }
    CImgWnd& GetImageWindow() { return m_imgWnd; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void MakeImage();
    void OnSize(int width, int height);

    CCBData* m_entry;
    std::wstring m_caption;
    std::shared_ptr<Gdiplus::Image> m_image;
    HWND m_frame = nullptr;  // borrowed: the template's placeholder static
    CImgWnd m_imgWnd;
    HWND m_captionStatic = nullptr;  // borrowed
};
