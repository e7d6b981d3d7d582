// "FileGroupDescriptorW" / "FileGroupDescriptor" data: the names of the files a source
// offers without a path, in descriptor order; the FileContents entry fetches each file
// by its position in this list.
#pragma once

#include "capture/CBData.h"

class CCBData_FileDescriptor : public CCBData {
public:
    static const fw::CRuntimeClass classCCBData_FileDescriptor;

    CCBData_FileDescriptor();
    const fw::CRuntimeClass* GetRuntimeClass() const override { return &classCCBData_FileDescriptor; }
    ~CCBData_FileDescriptor() override;

    // Read the names of the stored descriptor (UTF-16, or the ANSI code page) into
    // FileNames and add a row "名前[i]\t" + name for each. Only whole descriptors inside
    // the stored bytes are read; a shorter block than claimed adds an "エラー\t" row.
    bool ParseWide();
    bool ParseAnsi();

    // The file names of the descriptor, in descriptor order.
    std::vector<std::wstring> FileNames;

private:
    void Parse(bool wide);
};
