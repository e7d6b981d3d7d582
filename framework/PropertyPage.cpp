#include "framework/PropertyPage.h"

#include <cstring>
#include <vector>

namespace fw {
namespace {

// A copy of a dialog template resource, read and adjusted in place. Both layouts are
// handled: DLGTEMPLATEEX (version 1, signature 0xFFFF) and the older DLGTEMPLATE.
class TemplateCopy {
public:
    explicit TemplateCopy(UINT id)
    {
        HMODULE module = ::GetModuleHandleW(nullptr);
        HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
        if (!info) return;
        HGLOBAL loaded = ::LoadResource(module, info);
        const void* data = loaded ? ::LockResource(loaded) : nullptr;
        const DWORD size = ::SizeofResource(module, info);
        if (!data || size < 18) return;
        // DWORD storage keeps the template aligned as CreateDialogIndirect needs.
        m_words.resize((size + 3) / 4);
        std::memcpy(m_words.data(), data, size);
        m_size = size;
        const WORD* w = Words();
        m_extended = size >= 26 && w[0] == 1 && w[1] == 0xFFFF;
    }

    bool IsValid() const { return m_size != 0; }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

    DWORD& Style() { return Dword(m_extended ? 12 : 0); }
    DWORD& ExStyle() { return Dword(m_extended ? 8 : 4); }

    std::wstring Caption() const
    {
        size_t at = (m_extended ? 26 : 18) / 2;  // in WORDs, after the fixed header
        if (!SkipStringOrOrdinal(at) || !SkipStringOrOrdinal(at)) return std::wstring();  // menu, class
        std::wstring caption;
        for (; at < m_size / 2; ++at) {
            if (Words()[at] == 0) return caption;
            caption.push_back(static_cast<wchar_t>(Words()[at]));
        }
        return std::wstring();  // unterminated
    }

private:
    const WORD* Words() const { return reinterpret_cast<const WORD*>(m_words.data()); }
    DWORD& Dword(size_t offset) { return *reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(m_words.data()) + offset); }

    bool SkipStringOrOrdinal(size_t& at) const
    {
        const size_t count = m_size / 2;
        if (at >= count) return false;
        if (Words()[at] == 0) {
            at += 1;
            return true;
        }
        if (Words()[at] == 0xFFFF) {
            at += 2;
            return at <= count;
        }
        while (at < count && Words()[at] != 0) ++at;
        if (at >= count) return false;
        at += 1;
        return true;
    }

    std::vector<DWORD> m_words;
    DWORD m_size = 0;
    bool m_extended = false;
};

}  // namespace

PropertyPage::PropertyPage(UINT templateId, std::wstring caption) : Dialog(templateId), m_caption(std::move(caption)) {}

std::wstring PropertyPage::GetCaption() const
{
    if (!m_caption.empty()) return m_caption;
    return TemplateCopy(GetTemplateId()).Caption();
}

bool PropertyPage::CreatePage(HWND sheet)
{
    if (GetSafeHwnd()) return true;
    TemplateCopy copy(GetTemplateId());
    if (!copy.IsValid()) return false;
    // A page is a control-like child: no frame of its own, hidden until the sheet
    // shows it, and part of the sheet's keyboard navigation.
    constexpr DWORD frameStyles = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                                  WS_VISIBLE | WS_DISABLED | DS_MODALFRAME | DS_SYSMODAL;
    copy.Style() = (copy.Style() & ~frameStyles) | WS_CHILD | DS_CONTROL;
    copy.ExStyle() = (copy.ExStyle() & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE |
                                         WS_EX_APPWINDOW | WS_EX_TOOLWINDOW)) |
                     WS_EX_CONTROLPARENT;
    if (!CreateModelessIndirect(sheet, copy.Get())) return false;
    if (!m_caption.empty()) ::SetWindowTextW(GetSafeHwnd(), m_caption.c_str());
    return true;
}

}  // namespace fw
