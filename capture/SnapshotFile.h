// Snapshot files: the current snapshot saved whole into one OLE compound file and opened
// again anywhere, exactly as it was (docs/snapshot-format.md is the file's reference).
// Bytes move in 1 MiB steps through the capture's own message pump, so the progress
// window stays responsive and its Stop works; opened bytes go into the temporary store
// like captured ones. No windows of its own: the caller shows the result's message.
#pragma once

#include "capture/CBDataArray.h"
#include "capture/CaptureProgress.h"
#include "capture/ClipboardOwner.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The extension of snapshot files, without the dot.
inline constexpr wchar_t kSnapshotExtension[] = L"kavilo";

// What a snapshot file keeps beside the tree of entries.
struct CSnapshotInfo {
    std::wstring title;
    std::vector<std::wstring> offered;       // the descriptions of every offered format
    std::wstring taken;                      // when the snapshot was taken, ISO 8601 UTC
    std::wstring how;                        // "paste", "paste-special", "drop", "drop-special", "console"
    std::wstring program;                    // who wrote the file; the writer always puts this program
    std::optional<CClipboardOwner> owner;    // clipboard snapshots only
    std::optional<uint32_t> allowedEffects;  // a drop's: the effects its source allowed
};

// The current time as CSnapshotInfo::taken keeps it: "2026-12-08T07:50:37Z".
std::wstring SnapshotTimeNow();

enum class SnapshotFileStatus { Done, Stopped, Failed };

struct SnapshotFileResult {
    SnapshotFileStatus status = SnapshotFileStatus::Failed;
    // For the user when not done: "中止しました。", or the failure and what is wrong.
    std::wstring message;
    bool Done() const { return status == SnapshotFileStatus::Done; }
};

// Writes the snapshot to `path`. The file appears only when complete: a failure ("ファイルに
// 書き込めません", a full disk included) or a stop leaves no file behind and an existing
// file at `path` as it was.
SnapshotFileResult SaveSnapshotFile(const std::wstring& path, const CSnapshotInfo& info, const CCBDataArray& snapshot,
                                    ICaptureProgress& progress);

// Reads the file into a new snapshot. `info` and `snapshot` change only when the whole
// file was read; otherwise the message is "スナップショットを読み込めません。" followed by
// what is wrong, or the stop's.
SnapshotFileResult OpenSnapshotFile(const std::wstring& path, CSnapshotInfo& info,
                                    std::shared_ptr<CCBDataArray>& snapshot, ICaptureProgress& progress);
