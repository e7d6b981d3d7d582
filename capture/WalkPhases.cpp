#include "capture/WalkPhases.h"

#include "capture/CaptureSettings.h"
#include "capture/ContainerWalk.h"
#include "capture/MediumImport.h"
#include "capture/bytes/AbortText.h"

#include <climits>

bool StepItem(CCBDataCreateContext* context, const std::wstring& text)
{
    if (context->m_progress) context->m_progress->SetItemText(text);
    return context->PumpMessages() != FALSE;
}

std::shared_ptr<CCBData> MakePlaceholder(const wchar_t* type)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_type = type;
    entry->m_treeIcon = 0;
    entry->m_pendingWalk = 1;
    return entry;
}

std::shared_ptr<CCBData> MakeElementError(const wchar_t* text, const wchar_t* type, int treeIcon)
{
    auto entry = MakeErrorEntry(text);
    entry->m_type = type;
    entry->m_treeIcon = treeIcon;
    return entry;
}

void AppendChild(CCBDataArray& children, CCBDataCreateContext* context, std::shared_ptr<CCBData> child)
{
    context->m_collectedBytes = SaturatingAdd(context->m_collectedBytes, child->m_dataSize);
    children.push_back(std::move(child));
}

void DescendPlaceholders(CCBDataArray& children, CCBDataCreateContext* context,
                         const std::function<std::shared_ptr<CCBData>(CCBData& placeholder)>& enter)
{
    for (auto& child : children) {
        if (!child->m_pendingWalk) continue;
        const bool stopped = StepItem(context, child->m_name);
        const bool tooDeep = context->m_walkDepth >= kMaxWalkDepth;
        if (stopped || tooDeep || IsOverSizeLimit(CaptureSettings().m_subDirSizeLimit, context->m_collectedBytes)) {
            child->m_subFolder.Reset();
            child->m_subStorage.Reset();
            // The depth limit is no stop of the user's nor the size limit: it says so.
            child->m_properties.push_back(!stopped && tooDeep ? MakeTooDeepText() : context->GetAbortText());
            continue;
        }
        std::shared_ptr<CCBData> entered = enter(*child);
        entered->m_name = child->m_name;
        entered->m_displayName = child->m_displayName;
        child = std::move(entered);  // the placeholder goes, with whatever it held
    }
}

std::wstring AnsiToWide(const char* text, size_t size)
{
    if (size == 0 || size > INT_MAX) return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), wide.data(), length);
    return wide;
}
