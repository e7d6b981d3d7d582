// Shell folders and Shell IDList Arrays: items that bind to a stream are copied, items
// that bind to a folder (or, when the settings ask for it, a storage) are entered in
// the second phase.
#include "capture/CaptureSettings.h"
#include "capture/ContainerWalk.h"
#include "capture/MediumImport.h"
#include "capture/WalkPhases.h"
#include "framework/CoTaskMem.h"
#include "framework/Format.h"

#include <shlobj.h>

#include <cstring>
#include <optional>

namespace {

constexpr SHCONTF kEnumFlags =
    SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN | SHCONTF_INCLUDESUPERHIDDEN;

// The text of a STRRET, which is freed here when it owns memory. An offset into the
// item ID list gives no text.
std::wstring TakeStrRet(STRRET& ret)
{
    switch (ret.uType) {
        case STRRET_WSTR: {
            fw::UniqueCoTaskMem<wchar_t> owner(ret.pOleStr);
            return ret.pOleStr ? std::wstring(ret.pOleStr) : std::wstring();
        }
        case STRRET_CSTR:
            // The buffer need not be terminated: its end is the end of the text.
            return AnsiToWide(ret.cStr, strnlen(ret.cStr, sizeof ret.cStr));
        default:
            return std::wstring();
    }
}

std::optional<std::wstring> DisplayName(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags)
{
    STRRET ret = {};
    if (FAILED(folder->GetDisplayNameOf(item, flags, &ret))) return std::nullopt;
    return TakeStrRet(ret);
}

// The child entry of one shell item; `tryStorage` asks for a storage first.
std::shared_ptr<CCBData> ImportShellItem(CCBDataCreateContext* context, IShellFolder* folder, PCUITEMID_CHILD item,
                                         bool tryStorage)
{
    if (tryStorage) {
        fw::ComPtr<IStorage> storage;
        if (SUCCEEDED(folder->BindToStorage(item, nullptr, IID_PPV_ARGS(&storage))) && storage) {
            auto placeholder = MakePlaceholder(L"IStorage");
            placeholder->m_subStorage = std::move(storage);
            return placeholder;
        }
    }
    fw::ComPtr<IStream> stream;
    if (SUCCEEDED(folder->BindToObject(item, nullptr, IID_PPV_ARGS(&stream))) && stream)
        return ImportStream(context, stream.Get());
    fw::ComPtr<IShellFolder> subFolder;
    if (SUCCEEDED(folder->BindToObject(item, nullptr, IID_PPV_ARGS(&subFolder))) && subFolder) {
        auto placeholder = MakePlaceholder(L"IShellFolder");
        placeholder->m_subFolder = std::move(subFolder);
        return placeholder;
    }
    auto unknown = std::make_shared<CCBData>();
    unknown->m_type = L"不明";
    unknown->m_treeIcon = 3;
    return unknown;
}

std::shared_ptr<CCBData> EnterShellPlaceholder(CCBDataCreateContext* context, CCBData& placeholder)
{
    if (placeholder.m_subStorage) return ImportStorage(context, placeholder.m_subStorage.Get());
    return ImportShellFolder(context, placeholder.m_subFolder.Get());
}

// An item ID list copied out of received bytes into memory of its own: the shell may
// keep or free what it is handed, and the copy is aligned.
fw::UniqueIdList CopyIdList(const std::vector<BYTE>& bytes, const ByteRange& range)
{
    fw::UniqueIdList list(static_cast<ITEMIDLIST*>(::CoTaskMemAlloc(range.length)));
    if (list) std::memcpy(list.get(), bytes.data() + range.offset, range.length);
    return list;
}

}  // namespace

std::shared_ptr<CCBData> ImportShellFolder(CCBDataCreateContext* context, IShellFolder* folder)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_type = L"IShellFolder";
    entry->m_treeIcon = 0;
    if (!folder) {
        entry->m_properties.push_back(L"エラー\tデータを取得できません(IShellFolder*がNULL)。");
        return entry;
    }
    entry->m_children = std::make_shared<CCBDataArray>();
    WalkShellFolder(*entry->m_children, context, folder);
    return entry;
}

void WalkShellFolder(CCBDataArray& children, CCBDataCreateContext* context, IShellFolder* folder)
{
    if (!context || !folder) return;
    WalkLevel level(context);
    fw::ComPtr<IEnumIDList> items;
    // S_FALSE with no enumerator means a folder without items.
    if (folder->EnumObjects(nullptr, kEnumFlags, &items) != S_OK || !items) return;
    for (;;) {
        LPITEMIDLIST raw = nullptr;
        ULONG fetched = 0;
        const HRESULT hr = items->Next(1, &raw, &fetched);
        fw::UniqueIdList item(raw);  // whatever the enumerator handed out, even with a failure
        if (hr != S_OK || fetched != 1) break;
        const std::wstring name = DisplayName(folder, item.get(), SHGDN_INFOLDER | SHGDN_FORPARSING).value_or(L"");
        if (StepItem(context, name)) break;
        if (AtEntryBound(context)) {
            LeaveOutRest(context, [&items] {
                LPITEMIDLIST more = nullptr;
                ULONG got = 0;
                const HRESULT result = items->Next(1, &more, &got);
                fw::UniqueIdList owner(more);
                return result == S_OK && got == 1;
            });
            break;
        }
        std::shared_ptr<CCBData> child = ImportShellItem(context, folder, item.get(), false);
        child->m_name = name;
        child->m_displayName = DisplayName(folder, item.get(), SHGDN_NORMAL).value_or(L"");
        AppendChild(children, context, std::move(child));
    }
    items.Reset();
    DescendPlaceholders(children, context,
                        [context](CCBData& placeholder) { return EnterShellPlaceholder(context, placeholder); });
}

void WalkShellIDList(CCBDataArray& children, CCBDataCreateContext* context, IShellFolder* parent,
                     const std::vector<BYTE>& cida, const std::vector<CidaLayout::Item>& items)
{
    if (!context || !parent) return;
    WalkLevel level(context);
    const bool tryStorage = CaptureSettings().m_howToGetShellIDList == 1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (AtEntryBound(context)) {
            LeaveOut(context, items.size() - i);
            break;
        }
        fw::UniqueIdList item = CopyIdList(cida, items[i].idList);
        if (!item) throw std::bad_alloc();
        const std::wstring name =
            DisplayName(parent, item.get(), SHGDN_INFOLDER | SHGDN_FORPARSING).value_or(L"(取得できません)");
        if (StepItem(context, name)) break;
        std::shared_ptr<CCBData> child = ImportShellItem(context, parent, item.get(), tryStorage);
        child->m_name = name;
        child->m_displayName = DisplayName(parent, item.get(), SHGDN_NORMAL).value_or(L"");
        AppendChild(children, context, std::move(child));
    }
    DescendPlaceholders(children, context,
                        [context](CCBData& placeholder) { return EnterShellPlaceholder(context, placeholder); });
}

bool CCBData::ExpandShellIDList(CCBDataCreateContext* context)
{
    std::vector<BYTE> data;
    if (!ReadData(data)) return false;
    const CidaLayout layout = ReadCida(data.data(), data.size());
    if (data.size() >= 4 && layout.claimedItems == 0) return true;
    fw::ComPtr<IShellFolder> desktop;
    if (FAILED(::SHGetDesktopFolder(&desktop)) || !desktop) return true;
    // A damaged array is walked as far as its items lie inside the data, never further.
    const size_t walked = layout.parent ? layout.items.size() : 0;
    const std::wstring damage =
        fw::Format(L"エラー\tShell IDList Arrayが壊れています（%u個のうち%u個の項目を読み取りました）。",
                   layout.claimedItems, static_cast<unsigned>(walked));
    if (!layout.parent) {
        m_properties.push_back(damage);
        return true;
    }
    fw::UniqueIdList parentList = CopyIdList(data, *layout.parent);
    if (!parentList) throw std::bad_alloc();
    std::wstring parentText = DisplayName(desktop.Get(), parentList.get(), SHGDN_NORMAL).value_or(L"");
    if (auto parsing = DisplayName(desktop.Get(), parentList.get(), SHGDN_FORPARSING))
        parentText += L" (" + *parsing + L")";
    m_properties.push_back(L"親フォルダ\t" + parentText);
    if (layout.damaged) m_properties.push_back(damage);

    fw::ComPtr<IShellFolder> parent;
    if (layout.parent->length == 2) {
        parent = desktop;  // an empty ID list is the desktop itself
    } else {
        desktop->BindToObject(parentList.get(), nullptr, IID_PPV_ARGS(&parent));
    }
    if (parent) {
        m_children = std::make_shared<CCBDataArray>();
        WalkShellIDList(*m_children, context, parent.Get(), data, layout.items);
    }
    return true;
}
