// Taking a snapshot of a data object: listing its formats, the entry factory, and the
// capture loop with its passes.
#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBDataCreateContext.h"
#include "capture/CBData_DIB.h"
#include "capture/CBData_DragImageBits.h"
#include "capture/CBData_FileDescriptor.h"
#include "capture/FileContentsPass.h"
#include "capture/FormatCatalogue.h"
#include "capture/MediumImport.h"
#include "capture/bytes/LocaleData.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "framework/OleMessageFilter.h"

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <tuple>
#include <unordered_set>

namespace {

bool SameDescription(const FORMATETC& a, const FORMATETC& b)
{
    return a.cfFormat == b.cfFormat && a.ptd == b.ptd && a.dwAspect == b.dwAspect && a.lindex == b.lindex &&
           a.tymed == b.tymed;
}

// A generic entry replaced by a more specific kind that takes over its content.
template <typename Kind>
std::shared_ptr<CCBData> TurnInto(const std::shared_ptr<CCBData>& generic)
{
    auto entry = std::make_shared<Kind>();
    entry->TakeOver(generic);
    return entry;
}

std::shared_ptr<CCBData> FormatOnlyEntry(const FORMATETC& fmt)
{
    auto entry = std::make_shared<CCBData>();
    entry->m_fmt = fmt;
    return entry;
}

std::shared_ptr<CCBData> TextEntry(CCBDataCreateContext* context, const FORMATETC& fmt, int codePage)
{
    auto entry = ImportMedium(context, fmt);
    entry->m_defaultViewTab = ViewTab_Text;
    entry->m_defaultCodePage = codePage;
    return entry;
}

std::shared_ptr<CCBData> CreateRegisteredEntry(CCBDataCreateContext* context, const FORMATETC& fmt,
                                               const std::wstring& name)
{
    auto is = [&name](const wchar_t* other) { return CompareViewKeys(name, other) == 0; };
    if (is(L"CFSTR_SHELLIDLIST")) {
        auto entry = ImportMedium(context, fmt);
        entry->m_defaultViewTab = ViewTab_Property;
        entry->m_treeIcon = 0;
        entry->ExpandShellIDList(context);
        return entry;
    }
    if (is(L"CFSTR_FILEDESCRIPTORW") || is(L"CFSTR_FILEDESCRIPTORA")) {
        auto descriptor = std::make_shared<CCBData_FileDescriptor>();
        descriptor->TakeOver(ImportMedium(context, fmt));
        if (is(L"CFSTR_FILEDESCRIPTORW")) {
            descriptor->ParseWide();
        } else {
            descriptor->ParseAnsi();
        }
        return descriptor;
    }
    if (is(L"CFSTR_FILECONTENTS")) {
        // Nothing is asked for here: the files are fetched one by one with their descriptor.
        auto entry = FormatOnlyEntry(fmt);
        entry->m_treeIcon = 0;
        return entry;
    }
    if (is(L"CFSTR_FILENAMEMAPA") || is(L"CFSTR_FILENAMEMAPW")) {
        // The new names of dropped files, listed as rows.
        auto entry = ImportMedium(context, fmt);
        entry->ExpandDropFiles(
            context, is(L"CFSTR_FILENAMEMAPW") ? CCBData::DropFiles_ListWideNames : CCBData::DropFiles_ListAnsiNames);
        entry->m_defaultViewTab = ViewTab_Property;
        return entry;
    }
    if (is(L"\"DragImageBits\"")) return TurnInto<CCBData_DragImageBits>(ImportMedium(context, fmt));
    auto entry = ImportMedium(context, fmt);
    entry->m_defaultViewTab = ViewTab_Hex;
    return entry;
}

// The code page of the first CF_LOCALE entry that names a known locale, if any.
std::optional<UINT> LocaleCodePage(const CCBDataArray& snapshot)
{
    for (const auto& entry : snapshot) {
        if (entry->m_fmt.cfFormat != CF_LOCALE) continue;
        std::vector<BYTE> data;
        if (!entry->ReadData(data)) continue;
        const std::optional<uint32_t> lcid = ReadLocaleId(data.data(), data.size());
        if (!lcid) continue;
        DWORD codePage = 0;
        if (::GetLocaleInfoW(*lcid, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                             reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR)))
            return codePage;
    }
    return std::nullopt;
}

}  // namespace

bool ListFormats(COleDataObject& source, std::vector<FORMATETC>& formats, std::vector<FORMATETC>* enumerated,
                 const std::function<bool()>& stopped)
{
    struct DescriptionHash {
        size_t operator()(const FORMATETC& fmt) const
        {
            size_t h = std::hash<const void*>()(fmt.ptd);
            for (const uint64_t part : {uint64_t{fmt.cfFormat}, uint64_t{fmt.dwAspect},
                                        uint64_t{static_cast<uint32_t>(fmt.lindex)}, uint64_t{fmt.tymed}})
                h = h * 1099511628211u ^ std::hash<uint64_t>()(part);
            return h;
        }
    };
    struct DescriptionEqual {
        bool operator()(const FORMATETC& a, const FORMATETC& b) const { return SameDescription(a, b); }
    };
    std::unordered_set<FORMATETC, DescriptionHash, DescriptionEqual> seen;
    source.BeginEnumFormats();
    FORMATETC fmt;
    if (enumerated) enumerated->clear();
    // An enumerator may never say it is done, or repeat itself without end: the count of
    // descriptions asked for is bounded, not the count of distinct ones.
    for (size_t asked = 0; asked < kMaxListedFormats; ++asked) {
        if (stopped && stopped()) return true;
        if (!source.GetNextFormat(&fmt)) return false;
        if (enumerated) enumerated->push_back(fmt);
        if (seen.insert(fmt).second) formats.push_back(fmt);
    }
    return true;
}

std::shared_ptr<CCBData> MakeFormatListCutEntry(bool stopped)
{
    if (stopped) return MakeErrorEntry(L"形式の一覧を最後まで読まずに打ち切りました（中止しました）。");
    return MakeErrorEntry(fw::Format(L"形式の一覧を最後まで読まずに打ち切りました（上限は%u個です）。",
                                     static_cast<unsigned>(kMaxListedFormats)));
}

void CCBDataArray::RecordEnumeration(const std::vector<FORMATETC>& enumerated, const std::vector<FORMATETC>& captured)
{
    using Key = std::tuple<CLIPFORMAT, const void*, DWORD, LONG, DWORD>;
    const auto key = [](const FORMATETC& f) { return Key(f.cfFormat, f.ptd, f.dwAspect, f.lindex, f.tymed); };
    std::map<Key, size_t> first;
    const size_t entries = std::min(size(), captured.size());  // a stop leaves fewer entries
    for (size_t i = 0; i < entries; ++i) first.emplace(key(captured[i]), i);
    m_enumeration.clear();
    for (const FORMATETC& fmt : enumerated) {
        const auto found = first.find(key(fmt));
        if (found != first.end()) m_enumeration.push_back(found->second);
    }
}

void ListFormatTexts(const std::vector<FORMATETC>& formats, std::vector<std::wstring>& texts)
{
    texts.clear();
    for (const FORMATETC& fmt : formats) texts.push_back(GetFormatEtcText(fmt));
}

std::shared_ptr<CCBData> CreateEntry(CCBDataCreateContext* context, const FORMATETC& fmt)
{
    std::wstring name;
    BOOL registered = FALSE;
    GetFormatName(fmt.cfFormat, name, registered);
    if (registered) return CreateRegisteredEntry(context, fmt, name);

    const UINT format = fmt.cfFormat;
    switch (format) {
        case CF_TEXT:
        case CF_SYLK:
        case CF_DIF:
        case CF_DSPTEXT:
            return TextEntry(context, fmt, 0);
        case CF_OEMTEXT:
            return TextEntry(context, fmt, 1);
        case CF_UNICODETEXT:
            return TextEntry(context, fmt, -1);
        case CF_DIB:
        case CF_DIBV5:
            return TurnInto<CCBData_DIB>(ImportMedium(context, fmt));
        case CF_HDROP: {
            auto entry = ImportMedium(context, fmt);
            entry->ExpandDropFiles(context, CCBData::DropFiles_Walk);
            entry->m_defaultViewTab = ViewTab_Property;
            entry->m_treeIcon = 0;
            return entry;
        }
        case CF_PALETTE:
        case CF_PENDATA:
            // The palette serves only as the palette of bitmap entries.
            return FormatOnlyEntry(fmt);
        default:
            if (format >= 0x300 && format <= 0x3FF) return FormatOnlyEntry(fmt);
            return ImportMedium(context, fmt);
    }
}

void CCBDataArray::Capture(COleDataObject& source, const std::vector<FORMATETC>& formats, ICaptureProgress& progress)
{
    progress.Open();
    CCBDataCreateContext context;
    context.m_source = &source;
    context.m_progress = &progress;
    // Every format has its top-level entry; walks fill the room the bound leaves.
    context.m_entryCount = formats.size();
    bool stopped = false;
    // While a call to the source is pending, the progress window stays alive and its
    // Stop cancels the call (where the runtime can; elsewhere the call is left to return
    // and its answer is not taken); the filter goes before the progress window does.
    std::optional<fw::ScopedMessageFilter> filter;
    filter.emplace(
        progress.GetDialogWindow(), [&progress] { return progress.IsStopRequested() != FALSE; }, 5000,
        fw::PendingCallsCanBeCancelled());
    try {
        FORMATETC paletteFmt = {CF_PALETTE, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
        fw::StgMedium palette;
        if (source.GetData(CF_PALETTE, &palette, &paletteFmt)) {
            if (palette->hBitmap) {
                context.m_palette = static_cast<HPALETTE>(::OleDuplicateData(palette->hBitmap, CF_PALETTE, 0));
                context.m_ownsPalette = context.m_palette != nullptr;
            }
        }
        palette.Reset();

        for (const FORMATETC& fmt : formats) {
            progress.SetItemText(GetFormatEtcText(fmt));
            if (context.PumpMessages()) {
                stopped = true;
                break;
            }
            context.BeginFormat();
            std::shared_ptr<CCBData> entry = CreateEntry(&context, fmt);
            if (!entry) {
                entry = std::make_shared<CCBData>();
                entry->m_fmt = fmt;
                entry->m_properties.push_back(L"エラー\t取り込みできませんでした。");
            }
            // A walk stopped at the entry bound; the next format is still taken.
            const std::wstring bound = context.GetEntryBoundText();
            if (!bound.empty()) entry->m_properties.push_back(bound);
            push_back(entry);
        }

        // The locale's code page applies to ANSI text even after a stop.
        if (const std::optional<UINT> codePage = LocaleCodePage(*this)) {
            for (const auto& entry : *this) {
                if (entry->m_fmt.cfFormat != CF_TEXT) continue;
                entry->m_defaultCodePage = static_cast<int>(*codePage);
                entry->m_properties.push_back(fw::Format(L"コードページ\t%u", *codePage));
            }
        }

        ImportFileContentsPass(*this, context);
    } catch (const std::bad_alloc&) {
        filter.reset();
        progress.Close();
        throw;
    }

    filter.reset();
    progress.Close();
    if (context.PumpMessages() || stopped) fw::AfxMessageBox(L"中止しました。");
}
