#include "framework/OleDropTarget.h"

#include "framework/ExceptionBarrier.h"

namespace fw {

COleDropTarget::~COleDropTarget()
{
    Revoke();
}

bool COleDropTarget::Register(HWND hwnd)
{
    if (FAILED(::RegisterDragDrop(hwnd, this))) return false;
    m_hwnd = hwnd;
    return true;
}

void COleDropTarget::Revoke()
{
    if (m_hwnd) ::RevokeDragDrop(m_hwnd);
    m_hwnd = nullptr;
    m_data.Release();
}

DWORD COleDropTarget::OnDragEnter(HWND, COleDataObject*, DWORD, POINT)
{
    return DROPEFFECT_NONE;
}
DWORD COleDropTarget::OnDragOver(HWND, COleDataObject*, DWORD, POINT)
{
    return DROPEFFECT_NONE;
}
DWORD COleDropTarget::OnDragScroll(HWND, DWORD, POINT)
{
    return DROPEFFECT_NONE;
}
bool COleDropTarget::OnDrop(HWND, COleDataObject*, DWORD, POINT)
{
    return false;
}

namespace {

// The result of a method whose handler threw: the drag is refused.
HRESULT Refuse(DWORD* effect)
{
    if (effect) *effect = DROPEFFECT_NONE;
    return ReportCaughtException() ? E_OUTOFMEMORY : E_UNEXPECTED;
}

}  // namespace

POINT COleDropTarget::ToClient(POINTL point) const
{
    POINT p = {point.x, point.y};
    if (m_hwnd) ::ScreenToClient(m_hwnd, &p);
    return p;
}

HRESULT COleDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect) return E_INVALIDARG;
    try {
        m_data.Attach(data);
        m_allowed = *effect;
        *effect = OnDragEnter(m_hwnd, &m_data, keyState, ToClient(point));
        return S_OK;
    } catch (...) {
        return Refuse(effect);
    }
}

HRESULT COleDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect) return E_INVALIDARG;
    try {
        const POINT p = ToClient(point);
        m_allowed = *effect;
        DWORD result = OnDragScroll(m_hwnd, keyState, p);
        if (result == DROPEFFECT_NONE) result = OnDragOver(m_hwnd, &m_data, keyState, p);
        *effect = result;
        return S_OK;
    } catch (...) {
        return Refuse(effect);
    }
}

HRESULT COleDropTarget::DragLeave()
{
    HRESULT hr = S_OK;
    try {
        OnDragLeave(m_hwnd);
    } catch (...) {
        hr = Refuse(nullptr);
    }
    m_data.Release();
    return hr;
}

HRESULT COleDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect) return E_INVALIDARG;
    HRESULT hr = S_OK;
    try {
        m_data.Attach(data);
        m_allowed = *effect;
        const POINT p = ToClient(point);
        const DWORD offered = OnDragOver(m_hwnd, &m_data, keyState, p);
        *effect = offered != DROPEFFECT_NONE && OnDrop(m_hwnd, &m_data, offered, p) ? offered : DROPEFFECT_NONE;
    } catch (...) {
        hr = Refuse(effect);
    }
    m_data.Release();
    return hr;
}

}  // namespace fw
