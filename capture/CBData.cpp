#include "capture/CBData.h"

#include "capture/CBDataArray.h"
#include "capture/FormatCatalogue.h"
#include "framework/MessageBox.h"
#include "framework/Profile.h"

#include <algorithm>
#include <new>
#include <stdexcept>

const fw::CRuntimeClass CCBData::classCCBData = {"CCBData", &fw::CObject::classCObject};

CCBData::CCBData()
{
    ::ZeroMemory(&m_fmt, sizeof m_fmt);
    m_fmt.lindex = -1;
}

CCBData::~CCBData()
{
    if (!m_tempFile.empty()) ::DeleteFileW(m_tempFile.c_str());
    m_subStorage.Reset();
    m_subFolder.Reset();
    m_children.reset();
}

void CCBData::TakeOver(const std::shared_ptr<CCBData>& other)
{
    if (!other || other.get() == this) return;
    m_fmt = other->m_fmt;
    m_realTymed = other->m_realTymed;
    m_type = other->m_type;
    m_name = other->m_name;
    m_properties = other->m_properties;
    m_dataSize = other->m_dataSize;
    // The file changes owner: only this entry deletes it from now on. A file this entry
    // held before would otherwise be left behind.
    if (!m_tempFile.empty() && m_tempFile != other->m_tempFile) ::DeleteFileW(m_tempFile.c_str());
    m_tempFile = std::move(other->m_tempFile);
    other->m_tempFile.clear();
    if (other->m_children) m_children = std::move(other->m_children);
    m_pendingWalk = other->m_pendingWalk;
    m_subFolder = std::move(other->m_subFolder);
    m_subStorage = std::move(other->m_subStorage);
}

std::wstring CCBData::GetDisplayText() const
{
    if (!m_displayName.empty()) return m_displayName;
    if (!m_name.empty()) return m_name;
    return GetFormatEtcText(m_fmt);
}

bool CCBData::ReadData(std::vector<BYTE>& out) const
{
    if (m_dataSize == 0 || m_tempFile.empty()) return false;
    fw::UniqueFile file(::CreateFileW(m_tempFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    try {
        if (m_dataSize > out.max_size()) return false;
        out.resize(static_cast<size_t>(m_dataSize));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    constexpr uint64_t piece = 0x40000000;  // ReadFile takes at most a DWORD per call
    uint64_t done = 0;
    while (done < m_dataSize) {
        const DWORD want = static_cast<DWORD>(std::min(piece, m_dataSize - done));
        DWORD got = 0;
        const BOOL ok = ::ReadFile(file.Get(), out.data() + done, want, &got, nullptr);
        if (!ok || got < want) {
            fw::AfxMessageBox(L"一時ファイルを読めません");
            break;
        }
        done += got;
    }
    return true;
}

std::wstring CCBData::GetViewKey() const
{
    // Only the last element of a path has the extension: "C:\v1.2\Makefile" has none.
    const size_t dot = m_name.rfind(L'.');
    const size_t separator = m_name.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator)) return m_name.substr(dot);
    return GetFormatName(m_fmt.cfFormat);
}

int CCBData::GetDefaultViewTab() const
{
    const std::wstring key = GetViewKey();
    std::wstring tab = fw::GetProfileString(L"FormatsDefaultViewTab", key, L"");
    if (tab.empty()) {
        if (auto builtIn = FindFormatDefaultViewTab(key)) tab = ViewTabName(*builtIn);
    }
    if (tab.empty() && key.size() >= 6 && CompareViewKeys(key.substr(0, 6), L"\"text/") == 0) tab = L"TEXT";
    static const wchar_t* const words[] = {L"PROPERTY", L"HEX", L"TEXT", L"IMAGE", L"STRUCTURE"};
    static const int tabs[] = {ViewTab_Property, ViewTab_Hex, ViewTab_Text, ViewTab_Image, ViewTab_Structure};
    for (int i = 0; i < 5; ++i)
        if (!tab.empty() && CompareViewKeys(tab, words[i]) == 0) return tabs[i];
    return m_defaultViewTab;
}

int CCBData::GetDefaultCodePage() const
{
    if (auto builtIn = FindFormatDefaultCodePage(GetViewKey()); builtIn && *builtIn != -100) return *builtIn;
    return m_defaultCodePage;
}
