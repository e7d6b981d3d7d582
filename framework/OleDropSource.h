// The drag source side of OLE drag and drop: a drop source that drops on the release of
// the button the drag started with, cancels on Esc or when the other button is pressed,
// and lets OLE show the standard cursors; and the modal drag loop around it.
#pragma once

#include "framework/ComObject.h"

#include <windows.h>
#include <ole2.h>

namespace fw {

class COleDropSource : public ComObject<IDropSource> {
public:
    // `button` is MK_LBUTTON or MK_RBUTTON: the button that started the drag.
    explicit COleDropSource(DWORD button = MK_LBUTTON) : m_button(button) {}

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    DWORD m_button;
};

// The result of one drag: the effect the target chose (DROPEFFECT_NONE when cancelled or
// refused) and DoDragDrop's own result.
struct DragResult {
    HRESULT hr = E_FAIL;
    DWORD effect = DROPEFFECT_NONE;
    bool Dropped() const { return hr == DRAGDROP_S_DROP && effect != DROPEFFECT_NONE; }
};

// Runs the drag loop with `data` until the drop or the cancel; `allowed` is what the
// source permits (copy, move, link). Returns when the target has taken the data.
DragResult DoDragDrop(IDataObject* data, DWORD allowed, DWORD button = MK_LBUTTON);

}  // namespace fw
