#include "capture/CBData_FileDescriptor.h"

#include "capture/WalkPhases.h"
#include "capture/bytes/FileGroupDescriptor.h"
#include "framework/Format.h"

const fw::CRuntimeClass CCBData_FileDescriptor::classCCBData_FileDescriptor = {"CCBData_FileDescriptor",
                                                                               &CCBData::classCCBData};

CCBData_FileDescriptor::CCBData_FileDescriptor() {}

CCBData_FileDescriptor::~CCBData_FileDescriptor()
{
    FileNames.clear();
}

bool CCBData_FileDescriptor::ParseWide()
{
    Parse(true);
    return true;
}

bool CCBData_FileDescriptor::ParseAnsi()
{
    Parse(false);
    return true;
}

void CCBData_FileDescriptor::Parse(bool wide)
{
    std::vector<BYTE> data;
    if (!ReadData(data)) return;
    const FileGroupNames group = ReadFileGroupNames(data.data(), data.size(), wide);
    for (const ByteRange& range : group.names) {
        std::wstring name;
        if (wide) {
            const std::u16string text = Utf16Text(data.data(), data.size(), range);
            name.assign(text.begin(), text.end());
        } else {
            name = AnsiToWide(reinterpret_cast<const char*>(data.data() + range.offset), range.length);
        }
        m_properties.push_back(fw::Format(L"名前[%u]\t", static_cast<unsigned>(FileNames.size())) + name);
        FileNames.push_back(std::move(name));
    }
    if (!group.truncated) return;
    // Only the names that were read are asked for with FileContents.
    if (data.size() < 4) {
        m_properties.push_back(L"エラー\tファイル記述子が途中で切れています。");
    } else {
        m_properties.push_back(
            fw::Format(L"エラー\tファイル記述子が途中で切れています（%u個のうち%u個を読み取りました）。",
                       group.claimedItems, static_cast<unsigned>(FileNames.size())));
    }
}
