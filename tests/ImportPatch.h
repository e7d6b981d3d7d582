// Replacing a system function for one test, where Wine behaves otherwise than Windows
// in a way the test must show: the program's import address table entry is rewritten.
#pragma once

#include <windows.h>

#include <cstring>

namespace testing_support {

// Replaces one function this program imports from a system DLL for the life of the
// object, by rewriting its entry in the program's import address table.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement)
    {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress) return;
        for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
             ++entry) {
            if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
            auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
                m_slot = reinterpret_cast<void**>(&slots->u1.Function);
                m_original = Swap(replacement);
                return;
            }
        }
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    ~ImportPatch()
    {
        if (m_slot) Swap(m_original);
    }

    bool Applied() const { return m_slot != nullptr; }
    void* Original() const { return m_original; }

private:
    void* Swap(void* value)
    {
        DWORD protect = 0;
        ::VirtualProtect(m_slot, sizeof *m_slot, PAGE_READWRITE, &protect);
        void* previous = *m_slot;
        *m_slot = value;
        ::VirtualProtect(m_slot, sizeof *m_slot, protect, &protect);
        return previous;
    }

    void** m_slot = nullptr;
    void* m_original = nullptr;
};

}  // namespace testing_support
