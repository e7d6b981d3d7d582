#include "viewers/ImageViewDialog.h"

#include "capture/CBData.h"
#include "capture/GdiplusInclude.h"
#include "res/imageview_resource.h"

#include <new>

namespace {

constexpr UINT kImageWindowId = 100;

}  // namespace

CImageViewDialog::CImageViewDialog(CCBData* entry) : CKaviloPropertyPage(IDD_IMAGE_VIEW), m_entry(entry) {}

void CImageViewDialog::SaveAsDefaultView()
{
    WriteDefaultView(m_entry, L"IMAGE");
}

void CImageViewDialog::MakeImage()
{
    int width = 0, height = 0, bitsPerPixel = 0;
    try {
        m_image = m_entry->CreateImage(width, height, bitsPerPixel);
    } catch (const std::bad_alloc&) {
        m_image.reset();
    }
    if (!m_image) return;
    // An image object GDI+ failed to build tells no size: it is no picture, so it gets no caption either.
    if (m_image->GetWidth() == 0 || m_image->GetHeight() == 0) {
        m_image.reset();
        return;
    }
    // A negative height (top-down DIB rows) is no size to show.
    if (width <= 0 || height <= 0) return;
    m_caption = std::to_wstring(static_cast<unsigned>(width)) + L"×" + std::to_wstring(static_cast<unsigned>(height));
    if (bitsPerPixel != 0)
        m_caption += L"  " + std::to_wstring(static_cast<unsigned>(bitsPerPixel)) + L"ビット/ピクセル";
}

BOOL CImageViewDialog::OnInitDialog()
{
    CKaviloPropertyPage::OnInitDialog();
    m_frame = GetDlgItem(IDC_IMAGE_FRAME);
    m_captionStatic = GetDlgItem(IDC_IMAGE_CAPTION);
    if (m_entry) MakeImage();
    ::SetWindowTextW(m_captionStatic, m_caption.c_str());

    RECT rect = {};
    if (m_frame) {
        ::GetWindowRect(m_frame, &rect);
        ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
    }
    if (m_imgWnd.Create(GetSafeHwnd(), rect, kImageWindowId)) m_imgWnd.SetImage(m_image);
    if (m_frame) ::ShowWindow(m_frame, SW_HIDE);
    return TRUE;
}

void CImageViewDialog::OnSize(int width, int height)
{
    HWND window = m_imgWnd.GetSafeHwnd();
    if (!window) return;
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
    ::MoveWindow(window, rect.left, rect.top, width - rect.left, height - rect.top, TRUE);
}

bool CImageViewDialog::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& result)
{
    switch (msg) {
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return false;  // the dialog's own processing too
        case CImgWnd::kZoomMessage: {
            const auto* zoom = reinterpret_cast<const wchar_t*>(lParam);
            try {
                const std::wstring shown = m_caption + L" " + (zoom ? zoom : L"");
                ::SetWindowTextW(m_captionStatic, shown.c_str());
            } catch (const std::bad_alloc&) {
                // The caption keeps its last text.
            }
            // The message's result is 0; TRUE only tells the dialog manager it was handled.
            ::SetWindowLongPtrW(GetSafeHwnd(), DWLP_MSGRESULT, 0);
            result = TRUE;
            return true;
        }
        default:
            return false;
    }
}
