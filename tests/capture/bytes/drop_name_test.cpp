#include "capture/bytes/DropFiles.h"

#include <gtest/gtest.h>

// Only names that stand for themselves wherever the drop arrives are fully qualified.
TEST(DropName, FullyQualifiedPathsAreDriveRootedOrUnc)
{
    for (const char16_t* name : {u"C:\\", u"c:\\a.txt", u"Z:/dir/a", u"\\\\server\\share", u"\\\\server\\share\\a.txt",
                                 u"//server/share", u"\\\\?\\C:\\a.txt", u"\\\\?\\UNC\\server\\share"})
        EXPECT_TRUE(IsFullyQualifiedPath(name)) << std::u16string(name).size();
    // What a wide list read as ANSI gives, relative names, drive-relative and rooted names,
    // device names, and UNC names without a share.
    for (const char16_t* name : {u"", u"C", u":", u"\\", u"/", u"a.txt", u"..\\a.txt", u"C:", u"C:a.txt", u"\\a.txt",
                                 u"1:\\a", u"\\\\", u"\\\\server", u"\\\\server\\", u"\\\\server\\\\share",
                                 u"\\\\.\\PhysicalDrive0", u"\\\\.\\pipe\\x", u"\\\\?\\", u"\\??\\C:\\a"})
        EXPECT_FALSE(IsFullyQualifiedPath(name)) << std::u16string(name).size();
}
