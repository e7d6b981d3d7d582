// One entry of a snapshot: the format description it was made for, what the source
// actually delivered, texts for display, extra property rows ("label\tvalue"), and the
// copied data in a temporary file of its own. An entry may own a child snapshot, which
// makes a snapshot a tree. Entries are always held by std::shared_ptr.
#pragma once

#include "framework/Handles.h"
#include "framework/Object.h"

#include <windows.h>
#include <objidl.h>
#include <shobjidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Gdiplus {
class Image;
}
class CCBDataArray;
class CCBDataCreateContext;

class CCBData : public fw::CObject {
public:
    static const fw::CRuntimeClass classCCBData;

    CCBData();
    CCBData(const CCBData&) = delete;
    CCBData& operator=(const CCBData&) = delete;

    // Virtual operations, in this order: run-time class, destructor, (Serialize from
    // CObject), TakeOver, CreateImage, GetDisplayText.
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData; }
    // Deletes the temporary file (result ignored) and releases the kept sub-storage and sub-folder.
    ~CCBData() override;
    // Moves another entry's content into this one when a generic entry becomes a more
    // specific kind. Afterwards only this entry owns the temporary file. The display
    // name, tree icon, default tab and code page stay as this entry's constructor set them.
    virtual void TakeOver(const std::shared_ptr<CCBData>& other);
    // A picture of the entry's data with its width, height and bits per pixel (each set
    // to 0 first); an empty pointer when there is none.
    virtual std::shared_ptr<Gdiplus::Image> CreateImage(int& width, int& height, int& bitsPerPixel);
    // The entry's text in the tree: display name, else name, else the format description.
    virtual std::wstring GetDisplayText() const;

    // Reads the whole temporary file into `out` (passed empty). False when the entry holds
    // no data or the file cannot be opened; a file shorter than m_dataSize shows
    // "一時ファイルを読めません" and still returns true with the tail zero.
    bool ReadData(std::vector<BYTE>& out) const;

    // The key of the per-format viewer defaults: the name's extension from its last "."
    // on, else the format's display name.
    std::wstring GetViewKey() const;
    // The page to open first: the user's stored choice, the built-in table, the quoted
    // "text/" rule, else the entry's own m_defaultViewTab.
    int GetDefaultViewTab() const;
    // The code page the text view offers first: the built-in table, else m_defaultCodePage.
    int GetDefaultCodePage() const;

    // What ExpandDropFiles makes of the stored names: walks a DROPFILES block's files into
    // a child snapshot, or lists a file-name-map's bare names as rows.
    enum DropFilesMode { DropFiles_Walk, DropFiles_ListAnsiNames, DropFiles_ListWideNames };
    // Opens up the stored list of dropped files. False, doing nothing, when the stored
    // bytes cannot be read back.
    bool ExpandDropFiles(CCBDataCreateContext* context, DropFilesMode mode);
    // Adds the parent-folder row and walks the items of the stored Shell IDList Array.
    // False when the stored bytes cannot be read back.
    bool ExpandShellIDList(CCBDataCreateContext* context);

    // Whether the entry holds copied bytes.
    bool HasData() const { return m_dataSize != 0 && !m_tempFile.empty(); }

    FORMATETC m_fmt;                         // as enumerated; ptd is copied as a pointer and never dereferenced
    DWORD m_realTymed = 0;                   // the medium actually delivered
    std::wstring m_type;                     // "タイプ"
    std::wstring m_name;                     // "名前"
    std::wstring m_displayName;              // "表示名"
    int m_treeIcon = 1;                      // 0 folder, 1 document, 2 picture, 3 question mark
    std::vector<std::wstring> m_properties;  // "label\tvalue" rows in the order added
    uint64_t m_dataSize = 0;                 // as measured at the source
    std::wstring m_tempFile;                 // empty when the entry holds no data
    std::shared_ptr<CCBDataArray> m_children;
    int m_pendingWalk = 0;  // a placeholder walked in a later pass
    fw::ComPtr<IShellFolder> m_subFolder;
    fw::ComPtr<IStorage> m_subStorage;
    int m_defaultViewTab = 0;
    int m_defaultCodePage = -10;  // -10: no preference
};
