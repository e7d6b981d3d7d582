// A page of a TabSheet: a dialog template of the executable shown as a modeless
// child in the sheet's tab display area. The template's frame styles (popup, caption,
// borders) are dropped when the window is made, so any dialog template can serve as a
// page. The tab text is the template's caption unless the page was given its own.
#pragma once

#include "framework/Dialog.h"

#include <string>

namespace fw {

class PropertyPage : public Dialog {
public:
    explicit PropertyPage(UINT templateId, std::wstring caption = std::wstring());

    // The text of the page's tab.
    std::wstring GetCaption() const;
    // Creates the hidden child window under `sheet`; false when the template is missing.
    bool CreatePage(HWND sheet);

    // The sheet calls these when the page becomes or stops being the visible one; a
    // false from OnKillActive keeps the page in front.
    virtual void OnSetActive() {}
    virtual bool OnKillActive() { return true; }

private:
    std::wstring m_caption;
};

}  // namespace fw
