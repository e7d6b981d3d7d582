// A data object seen from the receiving side: the clipboard's (through OleGetClipboard)
// or one handed over by a drop. Holds one reference on the IDataObject while attached.
#pragma once

#include "framework/Handles.h"

#include <windows.h>
#include <objidl.h>

#include <vector>

class COleDataObject {
public:
    COleDataObject() = default;
    COleDataObject(const COleDataObject&) = delete;
    COleDataObject& operator=(const COleDataObject&) = delete;
    ~COleDataObject() { Release(); }

    // Attaches the clipboard's data object; false when the clipboard cannot be read.
    bool AttachClipboard();
    // Attaches an existing object and takes a reference on it.
    void Attach(IDataObject* object);
    void Release();
    IDataObject* GetIDataObject() const { return m_object.Get(); }
    bool IsAttached() const { return m_object != nullptr; }

    // Starts enumerating the offered format descriptions (waiting briefly while another
    // program holds the clipboard); GetNextFormat then yields them one by one. Target
    // devices of the descriptions are owned by this object until it is released, so that
    // the descriptions can be handed back to the source's GetData; the program keeps the
    // pointers only as values and never dereferences them.
    void BeginEnumFormats();
    bool GetNextFormat(FORMATETC* fmt);

    // Asks for the data of one description, waiting briefly while another program holds
    // the clipboard. The medium belongs to the caller, who releases it with ReleaseStgMedium.
    bool GetData(CLIPFORMAT format, STGMEDIUM* medium, const FORMATETC* fmt = nullptr);

private:
    fw::ComPtr<IDataObject> m_object;
    fw::ComPtr<IEnumFORMATETC> m_enum;
    std::vector<DVTARGETDEVICE*> m_targetDevices;
};
