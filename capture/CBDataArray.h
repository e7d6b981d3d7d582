// A snapshot: entries in the order they were added. Always held by std::shared_ptr;
// the document holds the current one, entries hold their children.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CCBData;
class CCBDataCreateContext;
class COleDataObject;
class ICaptureProgress;

class CCBDataArray : public std::vector<std::shared_ptr<CCBData>> {
public:
    CCBDataArray() = default;
    virtual ~CCBDataArray();

    // Fills this empty snapshot with one entry per description, in the order given,
    // while `progress` shows the current item and offers the stop. A stop keeps what was
    // taken and is reported ("中止しました。") at the end. std::bad_alloc leaves, after
    // the progress window is closed, for the caller to report.
    void Capture(COleDataObject& source, const std::vector<FORMATETC>& formats, ICaptureProgress& progress);

    // One child per file name: the FileContents description with its index set to the
    // file's position, fetched with ImportMedium and named after the file.
    void ImportFileContents(CCBDataCreateContext* context, const std::vector<std::wstring>& fileNames,
                            const FORMATETC& fileContents);

    // Keeps the source's own enumeration, exact duplicates included, as indexes of the
    // entries captured from `captured` (one entry per description, in order); enumerated
    // descriptions that were not captured are left out.
    void RecordEnumeration(const std::vector<FORMATETC>& enumerated, const std::vector<FORMATETC>& captured);

    // The source's enumeration as indexes of this snapshot's entries, each duplicate
    // repeating its first's index; empty when it was not recorded.
    std::vector<size_t> m_enumeration;
};

// The most descriptions asked of a source's enumerator: far more than any real source
// offers, so that an enumerator that never ends cannot hold the program.
inline constexpr size_t kMaxListedFormats = 10000;

// The offered descriptions in enumeration order, exact duplicates (all five members
// equal) removed; the first occurrence keeps its place. `enumerated`, when given, gets
// the enumeration as the source gave it. `stopped`, when given, is asked before each
// description. True when the list was cut: at kMaxListedFormats descriptions or by a stop.
bool ListFormats(COleDataObject& source, std::vector<FORMATETC>& formats, std::vector<FORMATETC>* enumerated = nullptr,
                 const std::function<bool()>& stopped = nullptr);
// The entry that tells, at the end of a snapshot, that its list of formats was cut: at the
// bound, or by the user's stop when `stopped`.
std::shared_ptr<CCBData> MakeFormatListCutEntry(bool stopped = false);
// GetFormatEtcText of each description, in order.
void ListFormatTexts(const std::vector<FORMATETC>& formats, std::vector<std::wstring>& texts);
// The entry factory: decides the kind of entry for one description and has it made.
std::shared_ptr<CCBData> CreateEntry(CCBDataCreateContext* context, const FORMATETC& fmt);
