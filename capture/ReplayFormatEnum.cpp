#include "capture/ReplayFormatEnum.h"

HRESULT CReplayFormatEnum::Next(ULONG count, FORMATETC* out, ULONG* fetched)
{
    if (fetched) *fetched = 0;
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_position < m_formats->size()) out[n++] = (*m_formats)[m_position++];
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT CReplayFormatEnum::Skip(ULONG count)
{
    const size_t left = m_formats->size() - m_position;
    if (count > left) {
        m_position = m_formats->size();
        return S_FALSE;
    }
    m_position += count;
    return S_OK;
}

HRESULT CReplayFormatEnum::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT CReplayFormatEnum::Clone(IEnumFORMATETC** clone)
{
    if (!clone) return E_POINTER;
    *clone = fw::MakeComObject<CReplayFormatEnum>(m_formats, m_position).Detach();
    return *clone ? S_OK : E_OUTOFMEMORY;
}
