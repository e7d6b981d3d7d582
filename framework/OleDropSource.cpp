#include "framework/OleDropSource.h"

namespace fw {

HRESULT COleDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    const DWORD other = m_button == MK_LBUTTON ? MK_RBUTTON : MK_LBUTTON;
    if (escapePressed || (keyState & other)) return DRAGDROP_S_CANCEL;
    if (!(keyState & m_button)) return DRAGDROP_S_DROP;
    return S_OK;
}

DragResult DoDragDrop(IDataObject* data, DWORD allowed, DWORD button)
{
    DragResult result;
    ComPtr<IDropSource> source = MakeComObject<COleDropSource>(button);
    if (!data || !source) return result;
    result.hr = ::DoDragDrop(data, source.Get(), allowed, &result.effect);
    if (result.hr != DRAGDROP_S_DROP) result.effect = DROPEFFECT_NONE;
    return result;
}

}  // namespace fw
