// Fuzz target: any text gives a result without a crash; a manifest that is accepted
// names each stream once, keeps its nesting within bounds, and writes out to a text
// that reads back accepted with the same streams.
#include "capture/bytes/SnapshotManifest.h"

#include <cstdlib>
#include <set>
#include <string_view>

namespace {

int Depth(const std::vector<ManifestEntry>& entries)
{
    int deepest = 0;
    for (const ManifestEntry& e : entries) {
        if (!e.hasChildren && !e.children.empty()) std::abort();
        const int d = 1 + Depth(e.children);
        if (d > deepest) deepest = d;
    }
    return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ManifestReadResult read = ReadSnapshotManifest(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.ok) {
        if (read.problem.empty() || !read.manifest.entries.empty() || !read.streams.empty()) std::abort();
        return 0;
    }
    if (read.manifest.version < 1 || read.manifest.version > kSnapshotFormatVersion) std::abort();
    if (Depth(read.manifest.entries) > kMaxManifestDepth) std::abort();
    std::set<std::string> names;
    for (const ManifestStream& s : read.streams)
        if (s.name.empty() || s.name == kManifestStreamName || !names.insert(s.name).second) std::abort();
    const ManifestReadResult again = ReadSnapshotManifest(WriteSnapshotManifest(read.manifest));
    if (!again.ok || again.streams.size() != read.streams.size()) std::abort();
    for (size_t i = 0; i < read.streams.size(); ++i)
        if (again.streams[i].name != read.streams[i].name || again.streams[i].size != read.streams[i].size)
            std::abort();
    return 0;
}
