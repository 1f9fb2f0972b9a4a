// Counting the files of a tree and comparing the bytes of two files.
#include "platform/files/FileTree.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

using tolktest::MakeFolders;
using tolktest::SystemRootTest;
using tolktest::WriteTextFile;

namespace {

class FileTreeTest : public SystemRootTest {
protected:
    std::string At(const std::string& relative) const { return sysroot_.Scratch() + "/" + relative; }

    // "same", "different", or "refused" when the comparison could not be made.
    std::string Compare(const std::string& first, const std::string& second)
    {
        bool same = false;
        if (!platform::CompareFileContents(At(first), At(second), same))
            return "refused";
        return same ? "same" : "different";
    }
};

}  // namespace

TEST_F(FileTreeTest, CountsEverythingButFoldersAtEveryDepthWithoutFollowingLinks)
{
    MakeFolders(At("tree/sub/deeper"));
    WriteTextFile(At("tree/a"), "a");
    WriteTextFile(At("tree/sub/b"), "b");
    WriteTextFile(At("tree/sub/deeper/c"), "c");
    MakeFolders(At("tree/empty"));
    MakeFolders(At("elsewhere/x/y"));
    WriteTextFile(At("elsewhere/x/y/z"), "z");
    ASSERT_EQ(symlink(At("elsewhere").c_str(), At("tree/folder-link").c_str()), 0);
    ASSERT_EQ(symlink("a", At("tree/file-link").c_str()), 0);
    ASSERT_EQ(mkfifo(At("tree/pipe").c_str(), 0600), 0);
    // The links and the pipe count as the entries they are; what a link leads to does not.
    EXPECT_EQ(platform::CountFilesInTree(At("tree")), 6u);
    EXPECT_EQ(platform::CountFilesInTree(At("tree/empty")), 0u);
    EXPECT_EQ(platform::CountFilesInTree(At("missing")), 0u);
    EXPECT_EQ(platform::CountFilesInTree(At("tree/a")), 0u);
}

TEST_F(FileTreeTest, ComparesBytesOfRegularFilesOnly)
{
    const std::string big(200000, 'x');
    WriteTextFile(At("one"), big + "tail");
    WriteTextFile(At("copy"), big + "tail");
    WriteTextFile(At("late-difference"), big + "tall");
    WriteTextFile(At("longer"), big + "tail!");
    WriteTextFile(At("empty"), "");
    WriteTextFile(At("also-empty"), "");
    MakeFolders(At("folder"));
    ASSERT_EQ(symlink("copy", At("link").c_str()), 0);
    ASSERT_EQ(mkfifo(At("pipe").c_str(), 0600), 0);
    ASSERT_EQ(link(At("one").c_str(), At("hard").c_str()), 0);

    EXPECT_EQ(Compare("one", "copy"), "same");
    EXPECT_EQ(Compare("one", "hard"), "same");
    EXPECT_EQ(Compare("empty", "also-empty"), "same");
    EXPECT_EQ(Compare("one", "late-difference"), "different");
    EXPECT_EQ(Compare("one", "longer"), "different");
    EXPECT_EQ(Compare("longer", "one"), "different");
    // Links are not followed, and a pipe is not waited on.
    EXPECT_EQ(Compare("one", "link"), "refused");
    EXPECT_EQ(Compare("pipe", "one"), "refused");
    EXPECT_EQ(Compare("one", "folder"), "refused");
    EXPECT_EQ(Compare("one", "missing"), "refused");
}
