// The manifest of a snapshot file: the UTF-8 JSON text of its "Snapshot" stream,
// describing the snapshot and its tree of entries, and naming the stream that holds each
// entry's bytes (docs/snapshot-format.md is the reference). A snapshot file comes from
// someone else: ReadSnapshotManifest trusts nothing in it and is the only place that
// parses it. No <windows.h>: built natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The version this program writes. Readers refuse a higher one; members they do not know
// are ignored, so additions that older readers may skip keep the version.
inline constexpr int kSnapshotFormatVersion = 1;
// The stream of the manifest itself.
inline constexpr char kManifestStreamName[] = "Snapshot";
// Levels of entries: the top level and the child snapshots a capture walks below it.
inline constexpr int kMaxManifestDepth = 65;
// Larger manifests are refused before they are read.
inline constexpr uint64_t kMaxManifestBytes = 64ull << 20;
// A GDI object's bits are read whole to make the handle again; larger ones are refused.
inline constexpr uint64_t kMaxGdiBytes = 1ull << 30;
// Registered format names are never unregistered and share a small table with the whole
// logon session: a file may name no more distinct ones than a clipboard ever offers.
inline constexpr size_t kMaxManifestFormatNames = 1000;
// Strings (rows, file names, offered formats) of the whole manifest: far above any capture,
// far below the 22 million empty ones 64 MiB of JSON could list. Entries need no bound of
// their own: each takes at least 79 bytes, so 64 MiB holds fewer than 850,000.
inline constexpr uint64_t kMaxManifestStrings = 4000000;
// Items of arrays other than strings: the entries (fewer than 850,000, see above) and the
// enumeration's indexes. Both bounds apply while the JSON text is parsed, so that the
// parsed values cost memory in proportion to what a real manifest holds.
inline constexpr uint64_t kMaxManifestOtherItems = 1000000;
// The source's enumeration: far more descriptions than a format list is ever let hold.
inline constexpr size_t kMaxManifestEnumeration = 100000;

// The entry kinds, by their class names.
enum class ManifestKind {
    Generic,         // "CCBData"
    FileDescriptor,  // "CCBData_FileDescriptor"
    Dib,             // "CCBData_DIB"
    DragImageBits,   // "CCBData_DragImageBits"
    Bitmap,          // "CCBData_HBITMAP"
    EnhMetaFile,     // "CCBData_HENHMF"
    MetaFilePict,    // "CCBData_HMETAFILEPICT"
};
const char* ManifestKindName(ManifestKind kind);
bool IsGdiKind(ManifestKind kind);

// A stream of the file named by the manifest, with the size it must have.
struct ManifestStream {
    std::string name;  // empty: none
    uint64_t size = 0;
    bool Present() const { return !name.empty(); }
};

struct ManifestFormat {
    uint32_t number = 0;           // the clipboard format number where the snapshot was taken
    std::string name;              // the registered format's name (numbers are remapped by it), or empty
    bool hadTargetDevice = false;  // the pointer itself means nothing in another process
    uint32_t aspect = 0;
    int32_t index = -1;
    uint32_t tymed = 0;
};

struct ManifestEntry {
    ManifestKind kind = ManifestKind::Generic;
    ManifestFormat format;
    uint32_t realTymed = 0;
    std::string type, name, displayName;  // UTF-8
    int treeIcon = 1;
    std::vector<std::string> rows;  // "label\tvalue", UTF-8
    uint64_t size = 0;              // as measured at the source
    ManifestStream data;            // the entry's temporary file; absent when it had none
    int viewTab = 0;
    int32_t codePage = -10;
    std::vector<std::string> fileNames;           // FileDescriptor
    int width = 0, height = 0, bitsPerPixel = 0;  // GDI kinds, as measured at import
    ManifestStream bits;      // Bitmap: a packed DIB; EnhMetaFile, MetaFilePict: the metafile's bits
    ManifestStream palette;   // Bitmap: the palette's PALETTEENTRY array
    bool hasPicture = false;  // MetaFilePict: the METAFILEPICT block was kept
    int32_t mapMode = 0, xExt = 0, yExt = 0;
    bool hasChildren = false;  // a child snapshot, perhaps empty
    std::vector<ManifestEntry> children;
};

// Who put a clipboard snapshot's data there; each member may be unknown (null in the file).
struct ManifestOwner {
    std::optional<std::string> image;  // the owner process's full image path, UTF-8
    std::optional<uint32_t> pid;
    std::optional<std::string> windowClass;
    bool operator==(const ManifestOwner&) const = default;
};

struct SnapshotManifest {
    int version = kSnapshotFormatVersion;
    std::string program;  // the program and version that wrote the file
    std::string title;
    std::string taken;  // when, as ISO 8601 UTC
    std::string how;    // "paste", "paste-special", "drop", "drop-special", "console"
    std::vector<std::string> offered;
    std::optional<ManifestOwner> owner;      // clipboard snapshots; absent for drops and older files
    std::optional<uint32_t> allowedEffects;  // a drop's: the effects its source allowed
    // The source's enumeration as indexes of top-level entries, duplicates repeated; empty
    // when not recorded.
    std::vector<uint32_t> enumeration;
    std::vector<ManifestEntry> entries;
};

struct ManifestReadResult {
    bool ok = false;
    std::string problem;  // UTF-8, for the user: what is wrong, when !ok
    SnapshotManifest manifest;
    // Every stream the manifest names, depth-first in entry order; names are unique.
    std::vector<ManifestStream> streams;
};

// Parses and checks the manifest: JSON syntax, the version, every member's type and
// range, nesting depth, unique stream names, and the declared entry and stream counts.
// Never throws.
ManifestReadResult ReadSnapshotManifest(std::string_view text);

// The manifest's JSON text, with the entry and stream counts filled in.
std::string WriteSnapshotManifest(const SnapshotManifest& manifest);
