#include "capture/WalkPhases.h"

#include "capture/CaptureSettings.h"
#include "capture/ContainerWalk.h"
#include "capture/MediumImport.h"
#include "capture/bytes/AbortText.h"
#include "capture/bytes/EntryBound.h"

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
    ++context->m_entryCount;
}

bool AtEntryBound(const CCBDataCreateContext* context)
{
    return context->m_entryCount >= CaptureSettings().m_maxEntries;
}

void LeaveOut(CCBDataCreateContext* context, uint64_t items, bool atLeast)
{
    context->m_leftOutItems = SaturatingAdd(context->m_leftOutItems, items);
    if (atLeast) context->m_leftOutAtLeast = true;
}

void LeaveOutRest(CCBDataCreateContext* context, const std::function<bool()>& next)
{
    const uint64_t cap = CaptureSettings().m_maxEntries;
    uint64_t rest = 1;  // the item in hand
    bool ended = false;
    while (rest < cap) {
        // A source that never ends its enumeration still lets the user stop.
        if (rest % 4096 == 0 && context->PumpMessages()) break;
        if (!next()) {
            ended = true;
            break;
        }
        ++rest;
    }
    LeaveOut(context, rest, !ended);
}

void DescendPlaceholders(CCBDataArray& children, CCBDataCreateContext* context,
                         const std::function<std::shared_ptr<CCBData>(CCBData& placeholder)>& enter)
{
    for (auto& child : children) {
        if (!child->m_pendingWalk) continue;
        const bool stopped = StepItem(context, child->m_name);
        const bool bound = AtEntryBound(context);
        const bool tooDeep = context->m_walkDepth >= kMaxWalkDepth;
        if (stopped || bound || tooDeep ||
            IsOverSizeLimit(CaptureSettings().m_subDirSizeLimit, context->m_collectedBytes)) {
            child->m_subFolder.Reset();
            child->m_subStorage.Reset();
            // The entry bound and the depth limit are no stop of the user's nor the size
            // limit: they say so.
            if (stopped) {
                child->m_properties.push_back(context->GetAbortText());
            } else if (bound) {
                child->m_properties.push_back(MakeEntryBoundAbortText(CaptureSettings().m_maxEntries));
                context->m_leftOutContainers = true;
            } else {
                child->m_properties.push_back(tooDeep ? MakeTooDeepText() : context->GetAbortText());
            }
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
