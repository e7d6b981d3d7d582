// A drop list's names are walked only when they are fully qualified: names that would be
// looked up against this program's own current directory or drive are listed, not walked.
#include "tests/capture/SourceFixture.h"
#include "tests/capture/WalkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

const std::wstring kNotQualified =
    L"警告\tドライブ名（C:\\）か \\\\サーバー\\共有名 で始まる完全なパスではないため、たどりません。";

// Makes `dir` the current directory for the scope.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::wstring& dir)
    {
        ::GetCurrentDirectoryW(MAX_PATH, m_previous);
        ::SetCurrentDirectoryW(dir.c_str());
    }
    ~ScopedCurrentDirectory() { ::SetCurrentDirectoryW(m_previous); }

private:
    wchar_t m_previous[MAX_PATH] = {};
};

class DropNamesWalk : public SourceFixture {};

}  // namespace

TEST_F(DropNamesWalk, DropNamesThatAreNotFullyQualifiedAreListedButNotWalked)
{
    // Files our own current directory would find under the names a damaged list gives.
    for (const wchar_t* name : {L"C", L"a", L"t", L"rel.txt"}) {
        fw::UniqueFile file(
            ::CreateFileW((m_dir / name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), "ours", 4, &written, nullptr);
    }
    const std::wstring real = m_dir / L"real.txt";
    {
        fw::UniqueFile file(::CreateFileW(real.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), "theirs", 6, &written, nullptr);
    }
    ScopedCurrentDirectory current(m_dir.Path());
    // A list of UTF-16 names whose wide flag is 0 reads as one-character ANSI names,
    // "\" among them; a second list mixes a real path with relative and rooted names.
    std::vector<uint8_t> wideAsAnsi = DropFilesBytes({L"C:\\a.txt"}, true);
    wideAsAnsi[16] = 0;
    m_object->Offer(Fmt(CF_HDROP), GlobalMedium(wideAsAnsi));
    m_object->Offer(Fmt(CF_HDROP, TYMED_HGLOBAL, DVASPECT_THUMBNAIL),
                    GlobalMedium(DropFilesBytes({real, L"rel.txt", L"\\", L"C:rel.txt", L"\\\\.\\C:"}, false)));
    TestProgress progress;
    const CCBDataArray snapshot = CaptureAll(progress);
    ASSERT_EQ(snapshot.size(), 2u);

    ASSERT_TRUE(snapshot[0]->m_children);
    const CCBDataArray& damaged = *snapshot[0]->m_children;
    ASSERT_EQ(damaged.size(), 8u);
    const wchar_t* names[] = {L"C", L":", L"\\", L"a", L".", L"t", L"x", L"t"};
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(damaged[i]->m_name, names[i]);
        EXPECT_EQ(damaged[i]->m_properties, std::vector<std::wstring>{kNotQualified});
        EXPECT_TRUE(damaged[i]->m_tempFile.empty());
        EXPECT_FALSE(damaged[i]->m_children);
    }

    ASSERT_TRUE(snapshot[1]->m_children);
    const CCBDataArray& mixed = *snapshot[1]->m_children;
    ASSERT_EQ(mixed.size(), 5u);
    EXPECT_EQ(mixed[0]->m_name, real);
    EXPECT_EQ(Stored(*mixed[0]), (std::vector<BYTE>{'t', 'h', 'e', 'i', 'r', 's'}));
    for (size_t i = 1; i < mixed.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(mixed[i]->m_properties, std::vector<std::wstring>{kNotQualified});
        EXPECT_TRUE(mixed[i]->m_tempFile.empty());
        EXPECT_FALSE(mixed[i]->m_children);
    }
}
