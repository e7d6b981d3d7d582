// Who put the data on the clipboard: the process of the window that owns the clipboard
// (its full image path and id) and that window's class. Each part is unknown when the
// owner has gone or may not be asked; looking never fails a capture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CClipboardOwner {
    std::optional<std::wstring> image;
    std::optional<uint32_t> pid;
    std::optional<std::wstring> windowClass;
    bool operator==(const CClipboardOwner&) const = default;
};

// The owner of `window` (null: everything unknown).
CClipboardOwner QueryWindowOwner(HWND window);
// The clipboard's owner at this moment.
CClipboardOwner QueryClipboardOwner();

// The root's rows in the property list's style: "所有者", "所有者のプロセス ID",
// "所有者のウィンドウ クラス", each "不明" when unknown.
std::vector<std::wstring> BuildOwnerRows(const CClipboardOwner& owner);
