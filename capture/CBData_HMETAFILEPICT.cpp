#include "capture/CBData_HMETAFILEPICT.h"

#include "capture/GdiplusInclude.h"
#include "capture/TempStore.h"

const fw::CRuntimeClass CCBData_HMETAFILEPICT::classCCBData_HMETAFILEPICT = {"CCBData_HMETAFILEPICT",
                                                                             &CCBData_GDI::classCCBData_GDI};

CCBData_HMETAFILEPICT::CCBData_HMETAFILEPICT() {}

CCBData_HMETAFILEPICT::~CCBData_HMETAFILEPICT() {}

std::shared_ptr<Gdiplus::Image> CCBData_HMETAFILEPICT::CreateGdiImage()
{
    if (!m_hMetaFile) return nullptr;
    // No placeable header; the block's mapping mode and extents are not passed on.
    return std::make_shared<Gdiplus::Metafile>(m_hMetaFile.Get(), nullptr, FALSE);
}

std::shared_ptr<CCBData> CCBData_HMETAFILEPICT::Import(HGLOBAL delivered)
{
    auto entry = std::make_shared<CCBData_HMETAFILEPICT>();
    entry->ImportMetaFilePict(delivered);
    return entry;
}

void CCBData_HMETAFILEPICT::ImportMetaFilePict(HGLOBAL delivered)
{
    // Duplicating the block also copies the metafile it names; both are ours from here.
    if (delivered) KeepMetaFilePict(static_cast<HGLOBAL>(::OleDuplicateData(delivered, CF_METAFILEPICT, 0)));
}

void CCBData_HMETAFILEPICT::KeepMetaFilePict(HGLOBAL duplicate)
{
    m_hMetaFilePict.Reset(duplicate);
    fw::GlobalLockView block(m_hMetaFilePict.Get());
    if (!block || block.Size() < sizeof(METAFILEPICT)) return;
    const HMETAFILE metaFile = block.As<METAFILEPICT>()->hMF;
    if (!metaFile) return;
    m_hMetaFile.Reset(metaFile);
    m_dataSize = block.Size();

    m_tempFile = CreateTempFile();
    if (m_tempFile.empty()) return;
    bool written = false;
    {
        fw::UniqueFile file(::CreateFileW(m_tempFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        written = file && m_dataSize <= MAXDWORD &&
                  ::WriteFile(file.Get(), block.Data(), static_cast<DWORD>(m_dataSize), &done, nullptr) &&
                  done == m_dataSize;
    }
    // A copy that failed keeps the measured size but no file, like any other entry.
    if (!written) {
        ::DeleteFileW(m_tempFile.c_str());
        m_tempFile.clear();
    }
}
