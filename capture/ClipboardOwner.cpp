#include "capture/ClipboardOwner.h"

#include "framework/Handles.h"

CClipboardOwner QueryWindowOwner(HWND window)
{
    CClipboardOwner owner;
    if (!window) return owner;
    wchar_t className[256] = {};
    if (const int length = ::GetClassNameW(window, className, 256); length > 0)
        owner.windowClass = std::wstring(className, length);
    DWORD pid = 0;
    if (!::GetWindowThreadProcessId(window, &pid) || pid == 0) return owner;
    owner.pid = pid;
    // The limited right is enough for the image path and is granted across more
    // boundaries than full query access; a process that has gone or refuses stays unknown.
    fw::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return owner;
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(path.size());
        if (::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &size)) {
            path.resize(size);
            owner.image = std::move(path);
            break;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        path.resize(path.size() * 4);
    }
    return owner;
}

CClipboardOwner QueryClipboardOwner()
{
    return QueryWindowOwner(::GetClipboardOwner());
}

std::vector<std::wstring> BuildOwnerRows(const CClipboardOwner& owner)
{
    const std::wstring unknown = L"不明";
    return {L"所有者\t" + owner.image.value_or(unknown),
            L"所有者のプロセス ID\t" + (owner.pid ? std::to_wstring(*owner.pid) : unknown),
            L"所有者のウィンドウ クラス\t" + owner.windowClass.value_or(unknown)};
}
