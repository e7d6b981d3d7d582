// FileContents: each file of a file group, fetched by its position in the paired
// descriptor and named after it.
#include "capture/CBDataArray.h"

#include "capture/CBData.h"
#include "capture/CBDataCreateContext.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/CaptureSettings.h"
#include "capture/FileContentsPass.h"
#include "capture/FormatCatalogue.h"
#include "capture/MediumImport.h"
#include "capture/RegisteredFormats.h"

void CCBDataArray::ImportFileContents(CCBDataCreateContext* context, const std::vector<std::wstring>& fileNames,
                                      const FORMATETC& fileContents)
{
    for (size_t i = 0; i < fileNames.size(); ++i) {
        if (context->m_progress) context->m_progress->SetItemText(fileNames[i]);
        if (context->PumpMessages()) return;
        if (context->m_entryCount >= CaptureSettings().m_maxEntries) {
            context->m_leftOutItems += fileNames.size() - i;
            return;
        }
        FORMATETC fmt = fileContents;
        fmt.lindex = static_cast<LONG>(i);
        // Each file counts alone against the size limit.
        context->m_collectedBytes = 0;
        ++context->m_entryCount;
        std::shared_ptr<CCBData> child = ImportMedium(context, fmt);
        child->m_name = fileNames[i];
        push_back(std::move(child));
    }
}

void ImportFileContentsPass(CCBDataArray& snapshot, CCBDataCreateContext& context)
{
    const UINT fileContents = FileContentsFormat();
    const UINT wideDescriptor = FileGroupDescriptorWFormat();
    const UINT ansiDescriptor = FileGroupDescriptorFormat();
    for (const auto& entry : snapshot) {
        if (entry->m_fmt.cfFormat != fileContents) continue;
        if (context.m_progress) context.m_progress->SetItemText(GetFormatEtcText(entry->m_fmt));
        if (context.PumpMessages()) return;
        // The last descriptor of the same aspect, the wide one preferred.
        CCBData_FileDescriptor* wide = nullptr;
        CCBData_FileDescriptor* ansi = nullptr;
        for (const auto& candidate : snapshot) {
            if (candidate->m_fmt.dwAspect != entry->m_fmt.dwAspect) continue;
            if (!candidate->IsKindOf(&CCBData_FileDescriptor::classCCBData_FileDescriptor)) continue;
            auto* descriptor = static_cast<CCBData_FileDescriptor*>(candidate.get());
            if (candidate->m_fmt.cfFormat == wideDescriptor) wide = descriptor;
            if (candidate->m_fmt.cfFormat == ansiDescriptor) ansi = descriptor;
        }
        CCBData_FileDescriptor* descriptor = wide ? wide : ansi;
        if (!descriptor) continue;
        entry->m_children = std::make_shared<CCBDataArray>();
        context.BeginFormat();
        entry->m_children->ImportFileContents(&context, descriptor->FileNames, entry->m_fmt);
        const std::wstring bound = context.GetEntryBoundText();
        if (!bound.empty()) entry->m_properties.push_back(bound);
    }
}
