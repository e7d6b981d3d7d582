// An OLE drop target registered for one window. During a drag the dropped object is seen
// through a COleDataObject, and every event reaches a virtual with the point in the
// window's client coordinates. Over: the scroll handler is asked first; when it does not
// scroll (DROPEFFECT_NONE), the drag-over handler decides. Drop: the effect the drag-over
// handler gives is offered to OnDrop, which takes the drop or refuses it. Made with
// MakeComObject; OLE keeps a reference from Register to Revoke, which the owner calls
// before it goes. An exception from a handler refuses the drag instead of leaving.
#pragma once

#include "framework/ComObject.h"
#include "framework/OleDataObject.h"

#include <windows.h>
#include <ole2.h>

namespace fw {

class COleDropTarget : public ComObject<IDropTarget> {
public:
    bool Register(HWND hwnd);
    void Revoke();
    HWND GetWindow() const { return m_hwnd; }
    // The effects the source allows in the drag under way, as it last told them.
    DWORD GetAllowedEffects() const { return m_allowed; }

    virtual DWORD OnDragEnter(HWND hwnd, COleDataObject* data, DWORD keyState, POINT point);
    virtual DWORD OnDragOver(HWND hwnd, COleDataObject* data, DWORD keyState, POINT point);
    virtual DWORD OnDragScroll(HWND hwnd, DWORD keyState, POINT point);
    virtual bool OnDrop(HWND hwnd, COleDataObject* data, DWORD effect, POINT point);
    virtual void OnDragLeave(HWND) {}

    // IDropTarget.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

protected:
    COleDropTarget() = default;
    ~COleDropTarget() override;

private:
    POINT ToClient(POINTL point) const;
    HWND m_hwnd = nullptr;
    COleDataObject m_data;
    DWORD m_allowed = DROPEFFECT_NONE;
};

}  // namespace fw
