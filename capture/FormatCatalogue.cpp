#include "capture/FormatCatalogue.h"

#include "framework/Format.h"

#include <map>
#include <vector>

namespace {

struct ViewKeyLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return CompareViewKeys(a, b) < 0; }
};

// Rows are inserted in the order listed; a key already present keeps its first row.
template <typename Map, typename Row>
Map BuildTable(std::initializer_list<Row> rows)
{
    Map map;
    for (const Row& row : rows) map.insert({row.first, row.second});
    return map;
}

using NameRow = std::pair<UINT, const wchar_t*>;
using TextRow = std::pair<std::wstring, std::wstring>;
using TabRow = std::pair<std::wstring, int>;

const std::map<UINT, std::wstring>& StandardFormatNames()
{
    static const auto table = BuildTable<std::map<UINT, std::wstring>, NameRow>({
        {1, L"CF_TEXT"},
        {2, L"CF_BITMAP"},
        {3, L"CF_METAFILEPICT"},
        {4, L"CF_SYLK"},
        {5, L"CF_DIF"},
        {6, L"CF_TIFF"},
        {7, L"CF_OEMTEXT"},
        {8, L"CF_DIB"},
        {9, L"CF_PALETTE"},
        {10, L"CF_PENDATA"},
        {11, L"CF_RIFF"},
        {12, L"CF_WAVE"},
        {13, L"CF_UNICODETEXT"},
        {14, L"CF_ENHMETAFILE"},
        {15, L"CF_HDROP"},
        {16, L"CF_LOCALE"},
        {17, L"CF_DIBV5"},
        {0x80, L"CF_OWNERDISPLAY"},
        {0x81, L"CF_DSPTEXT"},
        {0x82, L"CF_DSPBITMAP"},
        {0x83, L"CF_DSPMETAFILEPICT"},
        {0x8E, L"CF_DSPENHMETAFILE"},
    });
    return table;
}

// Ordinal, case-sensitive lookup (std::wstring's own ordering).
const std::map<std::wstring, std::wstring>& ShellFormatConstants()
{
    static const auto table = BuildTable<std::map<std::wstring, std::wstring>, TextRow>({
        {L"Shell IDList Array", L"CFSTR_SHELLIDLIST"},
        {L"Shell Object Offsets", L"CFSTR_SHELLIDLISTOFFSET"},
        {L"Net Resource", L"CFSTR_NETRESOURCES"},
        {L"FileGroupDescriptor", L"CFSTR_FILEDESCRIPTORA"},
        {L"FileGroupDescriptorW", L"CFSTR_FILEDESCRIPTORW"},
        {L"FileContents", L"CFSTR_FILECONTENTS"},
        {L"FileName", L"CFSTR_FILENAMEA"},
        {L"FileNameW", L"CFSTR_FILENAMEW"},
        {L"PrinterFriendlyName", L"CFSTR_PRINTERGROUP"},
        {L"FileNameMap", L"CFSTR_FILENAMEMAPA"},
        {L"FileNameMapW", L"CFSTR_FILENAMEMAPW"},
        // Also the registered name of the ANSI internet-URL constant; it always shows as the shell URL.
        {L"UniformResourceLocator", L"CFSTR_SHELLURL"},
        {L"UniformResourceLocatorW", L"CFSTR_INETURLW"},
        {L"Preferred DropEffect", L"CFSTR_PREFERREDDROPEFFECT"},
        {L"Performed DropEffect", L"CFSTR_PERFORMEDDROPEFFECT"},
        {L"Paste Succeeded", L"CFSTR_PASTESUCCEEDED"},
        {L"InShellDragLoop", L"CFSTR_INDRAGLOOP"},
        {L"MountedVolume", L"CFSTR_MOUNTEDVOLUME"},
        {L"PersistedDataObject", L"CFSTR_PERSISTEDDATAOBJECT"},
        {L"TargetCLSID", L"CFSTR_TARGETCLSID"},
        {L"Logical Performed DropEffect", L"CFSTR_LOGICALPERFORMEDDROPEFFECT"},
        {L"Autoplay Enumerated IDList Array", L"CFSTR_AUTOPLAY_SHELLIDLISTS"},
        {L"UntrustedDragDrop", L"CFSTR_UNTRUSTEDDRAGDROP"},
        {L"File Attributes Array", L"CFSTR_FILE_ATTRIBUTES_ARRAY"},
        {L"InvokeCommand DropParam", L"CFSTR_INVOKECOMMAND_DROPPARAM"},
        {L"DropHandlerCLSID", L"CFSTR_SHELLDROPHANDLER"},
        {L"DropDescription", L"CFSTR_DROPDESCRIPTION"},
        {L"text/plain", L"CFSTR_MIME_TEXT"},
    });
    return table;
}

const std::map<std::wstring, int, ViewKeyLess>& FormatDefaultViewTabs()
{
    static const auto table = BuildTable<std::map<std::wstring, int, ViewKeyLess>, TabRow>({
        {L"\"HTML Format\"", ViewTab_Text},
        {L"CFSTR_FILENAMEA", ViewTab_Text},
        {L"CFSTR_FILENAMEW", ViewTab_Text},
        {L"CFSTR_INETURLW", ViewTab_Text},
        {L"CFSTR_SHELLURL", ViewTab_Text},
        {L".url", ViewTab_Text},
        {L"\"application/microdata+json\"", ViewTab_Text},
        {L"\"application/x-moz-file-promise-url\"", ViewTab_Text},
        {L"\"application/x-moz-file-promise-dest-filename\"", ViewTab_Text},
        {L"\"Csv\"", ViewTab_Text},
        {L"\"msSourceUrl\"", ViewTab_Text},
        {L"\"Rich Text Format\"", ViewTab_Text},
        {L"\"XML Spreadsheet\"", ViewTab_Text},
        {L".png", ViewTab_Image},
        {L".jpg", ViewTab_Image},
        {L".jpeg", ViewTab_Image},
        {L".gif", ViewTab_Image},
        {L".bmp", ViewTab_Image},
        {L".tiff", ViewTab_Image},
        {L".exif", ViewTab_Image},
        {L".jfif", ViewTab_Image},
        {L".heif", ViewTab_Image},
        {L".heic", ViewTab_Image},
        {L"\"GIF\"", ViewTab_Image},
        {L"\"JFIF\"", ViewTab_Image},
        {L"\"PNG\"", ViewTab_Image},
    });
    return table;
}

const std::map<std::wstring, int>& FormatDefaultCodePages()
{
    static const auto table = BuildTable<std::map<std::wstring, int>, TabRow>({
        {L"\"HTML Format\"", 65001},
        {L"CFSTR_FILENAMEA", 0},
        {L"CFSTR_FILENAMEW", -1},
        {L"CFSTR_INETURLW", -1},
        {L"CFSTR_SHELLURL", 0},
    });
    return table;
}

// Builds every table at start-up, before the application object runs, so that no
// lookup ever builds one later.
[[maybe_unused]] const bool g_tablesBuilt =
    (StandardFormatNames(), ShellFormatConstants(), FormatDefaultViewTabs(), FormatDefaultCodePages(), true);

}  // namespace

std::optional<int> ViewTabFromName(const std::wstring& name)
{
    static const wchar_t* const names[] = {L"HEX", L"TEXT", L"IMAGE", L"PROPERTY"};
    for (int i = 0; i < 4; ++i)
        if (name == names[i]) return i;
    return std::nullopt;
}

std::wstring ViewTabName(int tab)
{
    static const wchar_t* const names[] = {L"HEX", L"TEXT", L"IMAGE", L"PROPERTY"};
    return tab >= 0 && tab < 4 ? names[tab] : L"";
}

void GetFormatName(UINT format, std::wstring& name, BOOL& registered)
{
    registered = FALSE;
    const auto& standard = StandardFormatNames();
    if (auto it = standard.find(format); it != standard.end()) {
        name = it->second;
        return;
    }
    if (format >= 0x300 && format <= 0x3FF) {
        name = fw::Format(L"CF_GDIOBJFIRST+%u", format - 0x300);
        return;
    }
    if (format >= 0x200 && format <= 0x2FF) {
        name = fw::Format(L"CF_PRIVATEFIRST+%u", format - 0x200);
        return;
    }
    std::vector<wchar_t> buffer(0xFFFF, L'\0');
    const int length = ::GetClipboardFormatNameW(format, buffer.data(), 0xFFFF);
    if (length > 0) {
        registered = TRUE;
        const std::wstring registeredName(buffer.data(), length);
        const auto& shell = ShellFormatConstants();
        if (auto it = shell.find(registeredName); it != shell.end())
            name = it->second;
        else
            name = L"\"" + registeredName + L"\"";
        return;
    }
    name = fw::Format(L"%u", format);
}

std::wstring GetFormatName(UINT format)
{
    std::wstring name;
    BOOL registered = FALSE;
    GetFormatName(format, name, registered);
    return name;
}

std::wstring GetFormatEtcText(const FORMATETC& fmt)
{
    std::wstring text = GetFormatName(fmt.cfFormat);
    if (fmt.dwAspect > 1) text += L" " + GetAspectText(fmt.dwAspect);
    return text;
}

int CompareViewKeys(const std::wstring& a, const std::wstring& b)
{
    const int length_a = static_cast<int>(a.size());
    const int length_b = static_cast<int>(b.size());
    // NORM_IGNORECASE | SORT_DIGITSASNUMBERS | NORM_LINGUISTIC_CASING
    const int linguistic = ::CompareStringEx(LOCALE_NAME_SYSTEM_DEFAULT, 0x8000009, a.c_str(), length_a, b.c_str(),
                                             length_b, nullptr, nullptr, 0);
    if (linguistic != 0 && linguistic != CSTR_EQUAL) return linguistic - CSTR_EQUAL;
    // Equal linguistically, or the linguistic comparison failed (Wine refuses the
    // system-default locale name): the ordinal comparison decides.
    const int ordinal = ::CompareStringOrdinal(a.c_str(), length_a, b.c_str(), length_b, TRUE);
    if (ordinal == 0) return a.compare(b);  // invalid arguments only; keep an order anyway
    return ordinal - CSTR_EQUAL;
}

std::optional<int> FindFormatDefaultViewTab(const std::wstring& key)
{
    const auto& table = FormatDefaultViewTabs();
    if (auto it = table.find(key); it != table.end()) return it->second;
    return std::nullopt;
}

std::optional<int> FindFormatDefaultCodePage(const std::wstring& key)
{
    const auto& table = FormatDefaultCodePages();
    if (auto it = table.find(key); it != table.end()) return it->second;
    return std::nullopt;
}
