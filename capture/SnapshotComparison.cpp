#include "capture/SnapshotComparison.h"

#include "capture/CBData.h"
#include "capture/CBDataCreateContext.h"
#include "capture/bytes/FormatWords.h"
#include "framework/Handles.h"

namespace {

class EntryReader : public ICompareReader {
public:
    explicit EntryReader(ICaptureProgress& progress) { m_pump.m_progress = &progress; }

    bool Read(const void* source, uint64_t offset, uint8_t* buffer, size_t size) override
    {
        HANDLE file = Open(static_cast<const CCBData*>(source));
        if (!file) return false;
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        // A temporary file shorter than its entry claims differs from the longer side.
        return ::ReadFile(file, buffer, static_cast<DWORD>(size), &got, &at) && got == size;
    }
    bool IsStopRequested() override { return m_pump.PumpMessages() != FALSE; }
    void Comparing(const std::wstring& path) override { m_pump.m_progress->SetItemText(path); }

private:
    // The two files of the pair being compared stay open across its steps.
    HANDLE Open(const CCBData* entry)
    {
        for (Slot& slot : m_slots)
            if (slot.entry == entry) return slot.file ? slot.file.Get() : nullptr;
        Slot& slot = m_slots[m_next];
        m_next = (m_next + 1) % 2;
        slot.entry = entry;
        slot.file.Reset(::CreateFileW(entry->m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        return slot.file ? slot.file.Get() : nullptr;
    }

    struct Slot {
        const CCBData* entry = nullptr;
        fw::UniqueFile file;
    };
    Slot m_slots[2];
    size_t m_next = 0;
    CCBDataCreateContext m_pump;
};

}  // namespace

std::vector<CompareNode> BuildCompareTree(const CCBDataArray& snapshot)
{
    std::vector<CompareNode> nodes;
    nodes.reserve(snapshot.size());
    for (const auto& entry : snapshot) {
        CompareNode node;
        node.text = entry->GetDisplayText();
        node.media = GetTymedText(entry->m_realTymed);
        node.hasData = !entry->m_tempFile.empty();
        node.size = node.hasData ? entry->m_dataSize : 0;
        node.source = entry.get();
        if (entry->m_children) node.children = BuildCompareTree(*entry->m_children);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

CompareResult CompareSnapshotTrees(const std::vector<CompareNode>& a, const std::vector<CompareNode>& b,
                                   ICaptureProgress& progress)
{
    progress.Open();
    EntryReader reader(progress);
    CompareResult result = CompareSnapshots(a, b, reader);
    progress.Close();
    return result;
}
