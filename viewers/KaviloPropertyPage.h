// The base of the viewer pages (properties, hex, text, image): a page of the viewer
// host's sheet that can make itself the page opened first for entries like the one it
// shows. Header-only on purpose: the pages live in viewers/, which links below app/.
#pragma once

#include "capture/CBData.h"
#include "framework/Profile.h"
#include "framework/PropertyPage.h"

#include <string>

class CKaviloPropertyPage : public fw::PropertyPage {
public:
    explicit CKaviloPropertyPage(UINT templateId, std::wstring caption = std::wstring())
        : fw::PropertyPage(templateId, std::move(caption))
    {
    }

    // Makes this page the one opened first for every entry with the shown entry's view
    // key (command 32779). A page without an entry writes nothing.
    virtual void SaveAsDefaultView() {}

protected:
    // The per-key choice that CCBData::GetDefaultViewTab reads back.
    static void WriteDefaultView(const CCBData* entry, const wchar_t* keyword)
    {
        if (entry) fw::WriteProfileString(L"FormatsDefaultViewTab", entry->GetViewKey(), keyword);
    }
};
