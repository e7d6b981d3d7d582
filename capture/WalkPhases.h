// What the container walkers share: the progress step of each element, the nesting
// guard, placeholders, and phase 2, which enters the placeholders left by phase 1.
#pragma once

#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBDataCreateContext.h"

#include <functional>
#include <memory>
#include <string>

// Shows the element as the progress text and pumps messages; true once the user has stopped.
bool StepItem(CCBDataCreateContext* context, const std::wstring& text);

// Counts one more level of child snapshots being filled for the life of the object.
class WalkLevel {
public:
    explicit WalkLevel(CCBDataCreateContext* context) : m_context(context) { ++m_context->m_walkDepth; }
    WalkLevel(const WalkLevel&) = delete;
    WalkLevel& operator=(const WalkLevel&) = delete;
    ~WalkLevel() { --m_context->m_walkDepth; }

private:
    CCBDataCreateContext* m_context;
};

// A child entry standing for a container that phase 2 enters: folder icon, `type`.
std::shared_ptr<CCBData> MakePlaceholder(const wchar_t* type);

// An error entry for an element, with its type text and tree icon.
std::shared_ptr<CCBData> MakeElementError(const wchar_t* text, const wchar_t* type, int treeIcon);

// Appends a child made in phase 1, counts its bytes against the format's limit and the
// entry against the snapshot's bound.
void AppendChild(CCBDataArray& children, CCBDataCreateContext* context, std::shared_ptr<CCBData> child);

// Whether the snapshot holds as many entries as it may: a walk then takes no more items.
bool AtEntryBound(const CCBDataCreateContext* context);
// A walk stopped at the bound leaves `items` of its level out (at least that many when `atLeast`).
void LeaveOut(CCBDataCreateContext* context, uint64_t items, bool atLeast = false);
// Leaves out the item in hand and what an enumeration still holds: each call of `next`
// takes one item and returns false at the end. The count goes only as far as the bound
// and pumps messages as it goes; a stop of the user ends it too.
void LeaveOutRest(CCBDataCreateContext* context, const std::function<bool()>& next);

// Phase 2: for each placeholder in snapshot order, shows its name and pumps messages;
// when the user has stopped, the snapshot holds as many entries as it may, the format's
// total is over the size limit or the nesting is as deep as allowed, the placeholder
// stays, releases what it holds and gets the abort row; otherwise `enter` imports the
// container, which takes the placeholder's names and place.
void DescendPlaceholders(CCBDataArray& children, CCBDataCreateContext* context,
                         const std::function<std::shared_ptr<CCBData>(CCBData& placeholder)>& enter);

// Text in the ANSI code page, `size` bytes (no terminator needed), as UTF-16.
std::wstring AnsiToWide(const char* text, size_t size);
