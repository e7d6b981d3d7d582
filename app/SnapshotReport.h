// The console report of a snapshot: title, offered formats, then the tree of entries with
// the rows the property list shows. As text or as JSON; optionally with every entry's
// bytes saved to files.
#pragma once

#include "capture/CBDataArray.h"
#include "capture/ClipboardOwner.h"
#include "framework/Utf8.h"

#include <optional>
#include <string>
#include <vector>

struct SnapshotReportInput {
    std::wstring title;
    std::vector<std::wstring> offered;
    const CCBDataArray* snapshot = nullptr;
    std::wstring saveFolder;               // empty: nothing is saved
    std::optional<CClipboardOwner> owner;  // JSON "owner": null when the snapshot has none
    std::wstring taken;                    // JSON "taken" when not empty (the watch's lines)
    bool oneLine = false;                  // JSON on one line, for JSON Lines
    bool decode = false;                   // the text report prints each decoded entry's field tree
};

// UTF-8 text: the title, "提供された形式:" with one description a line, then one line
// per entry (indented by depth) with its display text and its rows below it; control
// characters escaped. Saved files never replace one already in the folder.
std::string BuildTextReport(const SnapshotReportInput& input);
// UTF-8 JSON: {"title", "offered": [...], "owner": {"image", "pid", "windowClass"} or null,
// "taken"?, "entries": [{"text", "rows", "children", "file"?, "decoded"?}]}; "decoded" is
// {"decoder", "fields": [{"name", "offset", "size", "value", "meaning"?, "warnings"?,
// "children"?}], "warnings"} for every entry with a decoder.
std::string BuildJsonReport(const SnapshotReportInput& input);

// A file name made safe: no characters the file system refuses, no control characters, no
// device names, no trailing dots or spaces, at most 120 characters; never empty.
std::wstring SafeFileName(const std::wstring& name);

// Control characters (C0, DEL and C1) as "\x1b"-style escapes, so that no name or row
// printed to a terminal can drive it; tabs stay where `keepTab` (the rows' separator).
std::wstring EscapeControls(const std::wstring& text, bool keepTab, bool keepNewline = false);

using fw::ToUtf8;
