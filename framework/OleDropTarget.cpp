#include "framework/OleDropTarget.h"

namespace fw {

COleDropTarget::~COleDropTarget() { Revoke(); }

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

DWORD COleDropTarget::OnDragEnter(HWND, COleDataObject*, DWORD, POINT) { return DROPEFFECT_NONE; }
DWORD COleDropTarget::OnDragOver(HWND, COleDataObject*, DWORD, POINT) { return DROPEFFECT_NONE; }
DWORD COleDropTarget::OnDragScroll(HWND, DWORD, POINT) { return DROPEFFECT_NONE; }
bool COleDropTarget::OnDrop(HWND, COleDataObject*, DWORD, POINT) { return false; }

HRESULT COleDropTarget::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDropTarget) return E_NOINTERFACE;
    *ppv = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
}

ULONG COleDropTarget::AddRef() { return ::InterlockedIncrement(&m_refs); }
ULONG COleDropTarget::Release() { return ::InterlockedDecrement(&m_refs); }

POINT COleDropTarget::ToClient(POINTL point) const
{
    POINT p = {point.x, point.y};
    if (m_hwnd) ::ScreenToClient(m_hwnd, &p);
    return p;
}

HRESULT COleDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect) return E_INVALIDARG;
    m_data.Attach(data);
    *effect = OnDragEnter(m_hwnd, &m_data, keyState, ToClient(point));
    return S_OK;
}

HRESULT COleDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect) return E_INVALIDARG;
    const POINT p = ToClient(point);
    DWORD result = OnDragScroll(m_hwnd, keyState, p);
    if (result == DROPEFFECT_NONE) result = OnDragOver(m_hwnd, &m_data, keyState, p);
    *effect = result;
    return S_OK;
}

HRESULT COleDropTarget::DragLeave()
{
    OnDragLeave(m_hwnd);
    m_data.Release();
    return S_OK;
}

HRESULT COleDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    if (!effect) return E_INVALIDARG;
    m_data.Attach(data);
    const POINT p = ToClient(point);
    const DWORD offered = OnDragOver(m_hwnd, &m_data, keyState, p);
    *effect = offered != DROPEFFECT_NONE && OnDrop(m_hwnd, &m_data, offered, p) ? offered : DROPEFFECT_NONE;
    m_data.Release();
    return S_OK;
}

}  // namespace fw
