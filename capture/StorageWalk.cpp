// Structured storages: streams are copied, sub-storages entered in the second phase.
#include "capture/ContainerWalk.h"
#include "capture/MediumImport.h"
#include "capture/WalkPhases.h"
#include "framework/CoTaskMem.h"

namespace {

// Compound files refuse to open their elements for reading without an exclusive share
// mode (STG_E_INVALIDFLAG), on Windows as under Wine.
constexpr DWORD kElementAccess = STGM_READ | STGM_SHARE_EXCLUSIVE;

std::shared_ptr<CCBData> ImportElementStream(CCBDataCreateContext* context, IStorage* storage, const wchar_t* name)
{
    fw::ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, kElementAccess, 0, &stream)) || !stream)
        return MakeElementError(L"データを取得できません。", L"IStream", 1);
    return ImportStream(context, stream.Get());
}

std::shared_ptr<CCBData> EnterSubStorage(CCBDataCreateContext* context, IStorage* storage, const std::wstring& name)
{
    fw::ComPtr<IStorage> sub;
    if (FAILED(storage->OpenStorage(name.c_str(), nullptr, kElementAccess, nullptr, 0, &sub)) || !sub)
        return MakeElementError(L"データを取得できません。", L"IStorage", 0);
    return ImportStorage(context, sub.Get());
}

}  // namespace

std::shared_ptr<CCBData> ImportStorage(CCBDataCreateContext* context, IStorage* storage)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_type = L"IStorage";
    entry->m_treeIcon = 0;
    if (!storage) {
        entry->m_properties.push_back(L"エラー\tデータを取得できません（IStorage*がNULL）。");
        return entry;
    }
    entry->m_children = std::make_shared<CCBDataArray>();
    WalkStorage(*entry->m_children, context, storage);
    return entry;
}

void WalkStorage(CCBDataArray& children, CCBDataCreateContext* context, IStorage* storage)
{
    if (!context || !storage) return;
    WalkLevel level(context);
    fw::ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, &elements)) || !elements) return;
    for (;;) {
        STATSTG stat = {};
        ULONG fetched = 0;
        if (elements->Next(1, &stat, &fetched) != S_OK || fetched != 1) break;
        fw::UniqueCoTaskMem<wchar_t> nameOwner(stat.pwcsName);
        const std::wstring name = stat.pwcsName ? stat.pwcsName : L"";
        if (StepItem(context, name)) break;
        if (AtEntryBound(context)) {
            LeaveOutRest(context, [&elements] {
                STATSTG more = {};
                ULONG got = 0;
                if (elements->Next(1, &more, &got) != S_OK || got != 1) return false;
                ::CoTaskMemFree(more.pwcsName);
                return true;
            });
            break;
        }
        std::shared_ptr<CCBData> child;
        switch (stat.type) {
            case STGTY_STORAGE:
                child = MakePlaceholder(L"IStorage");
                break;
            case STGTY_STREAM:
                child = ImportElementStream(context, storage, name.c_str());
                break;
            case STGTY_LOCKBYTES:
                child = MakeElementError(L"対応していないタイプです。", L"STGTY_LOCKBYTES", 3);
                break;
            case STGTY_PROPERTY:
                child = MakeElementError(L"対応していないタイプです。", L"STGTY_PROPERTY", 3);
                break;
            default:
                child = MakeElementError(L"不明なタイプです。", L"", 3);
                break;
        }
        child->m_name = name;
        AppendChild(children, context, std::move(child));
    }
    elements.Reset();
    DescendPlaceholders(children, context, [context, storage](CCBData& placeholder) {
        return EnterSubStorage(context, storage, placeholder.m_name);
    });
}
