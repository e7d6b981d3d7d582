#include "framework/OleDataObject.h"

#include "framework/Clipboard.h"

#include <ole2.h>

bool COleDataObject::AttachClipboard()
{
    Release();
    const HRESULT hr =
        fw::RetryWhileClipboardHeld([this] { return ::OleGetClipboard(m_object.ReleaseAndGetAddressOf()); });
    return SUCCEEDED(hr) && m_object;
}

void COleDataObject::Attach(IDataObject* object)
{
    Release();
    m_object = object;
}

void COleDataObject::Release()
{
    m_enum.Reset();
    m_object.Reset();
    for (DVTARGETDEVICE* device : m_targetDevices) ::CoTaskMemFree(device);
    m_targetDevices.clear();
}

void COleDataObject::BeginEnumFormats()
{
    m_enum.Reset();
    if (!m_object) return;
    fw::RetryWhileClipboardHeld(
        [this] { return m_object->EnumFormatEtc(DATADIR_GET, m_enum.ReleaseAndGetAddressOf()); });
}

bool COleDataObject::GetNextFormat(FORMATETC* fmt)
{
    if (!m_enum) return false;
    ULONG fetched = 0;
    if (m_enum->Next(1, fmt, &fetched) != S_OK || fetched != 1) return false;
    if (fmt->ptd) m_targetDevices.push_back(fmt->ptd);
    return true;
}

bool COleDataObject::GetData(CLIPFORMAT format, STGMEDIUM* medium, const FORMATETC* fmt)
{
    ::ZeroMemory(medium, sizeof *medium);
    if (!m_object) return false;
    FORMATETC asked = {
        format, nullptr, DVASPECT_CONTENT, -1,
        TYMED_HGLOBAL | TYMED_FILE | TYMED_ISTREAM | TYMED_ISTORAGE | TYMED_GDI | TYMED_MFPICT | TYMED_ENHMF};
    if (fmt) {
        asked = *fmt;
        asked.cfFormat = format;
    }
    const HRESULT hr = fw::RetryWhileClipboardHeld([&] {
        ::ZeroMemory(medium, sizeof *medium);
        return m_object->GetData(&asked, medium);
    });
    if (FAILED(hr)) {
        ::ZeroMemory(medium, sizeof *medium);
        return false;
    }
    return true;
}
