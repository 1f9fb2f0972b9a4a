#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

using tolktest::SystemRootTest;

class FileSystemUtilsTest : public SystemRootTest {
protected:
    std::string Scratch(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }
};

TEST_F(FileSystemUtilsTest, KindsOfObjects)
{
    tolktest::WriteTextFile(Scratch("file"), "x");
    tolktest::MakeFolders(Scratch("folder"));
    ASSERT_EQ(symlink(Scratch("folder").c_str(), Scratch("folder-link").c_str()), 0);
    ASSERT_EQ(symlink(Scratch("nowhere").c_str(), Scratch("dangling").c_str()), 0);

    EXPECT_TRUE(FileSystemUtils::Exists(FileSystemPath(Scratch("dangling"))));
    EXPECT_FALSE(FileSystemUtils::Exists(FileSystemPath(Scratch("nowhere"))));

    bool answer = true;
    EXPECT_TRUE(FileSystemUtils::IsDirectory(FileSystemPath(Scratch("folder-link")), answer));
    EXPECT_FALSE(answer);
    EXPECT_TRUE(FileSystemUtils::IsDirectory(FileSystemPath(Scratch("folder")), answer));
    EXPECT_TRUE(answer);
    answer = true;
    EXPECT_TRUE(FileSystemUtilsMac::IsRegularFile(FileSystemPath(Scratch("dangling")), answer));
    EXPECT_FALSE(answer);
    EXPECT_TRUE(FileSystemUtilsMac::IsSymlink(FileSystemPath(Scratch("dangling")), answer));
    EXPECT_TRUE(answer);
    EXPECT_TRUE(FileSystemUtilsMac::IsRegularFile(FileSystemPath(Scratch("file")), answer));
    EXPECT_TRUE(answer);

    // A failed query leaves the answer as it was.
    answer = true;
    EXPECT_FALSE(FileSystemUtils::IsDirectory(FileSystemPath(Scratch("nowhere")), answer));
    EXPECT_FALSE(FileSystemUtilsMac::IsSymlink(FileSystemPath(Scratch("nowhere")), answer));
    EXPECT_FALSE(FileSystemUtilsMac::IsRegularFile(FileSystemPath(Scratch("nowhere")), answer));
    EXPECT_TRUE(answer);
    EXPECT_TRUE(FileSystemUtilsMac::UnlockPathObject(FileSystemPath(Scratch("nowhere"))));
}

TEST_F(FileSystemUtilsTest, DirectoryListing)
{
    tolktest::MakeFolders(Scratch("empty"));
    std::vector<FileSystemPath> children{FileSystemPath("/stale")};
    EXPECT_TRUE(FileSystemUtils::ChildrenForDirectory(FileSystemPath(Scratch("empty")), children));
    EXPECT_TRUE(children.empty());

    tolktest::MakeFolders(Scratch("full/sub"));
    tolktest::WriteTextFile(Scratch("full/a"), "");
    tolktest::WriteTextFile(Scratch("full/.hidden"), "");
    EXPECT_TRUE(FileSystemUtils::ChildrenForDirectory(FileSystemPath(Scratch("full")), children));
    std::vector<std::string> names;
    for (const FileSystemPath& child : children)
        names.push_back(child.AsUTF8String());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{Scratch("full/.hidden"), Scratch("full/a"), Scratch("full/sub")}));

    tolktest::WriteTextFile(Scratch("plain"), "");
    children.assign(1, FileSystemPath("/kept"));
    EXPECT_FALSE(FileSystemUtils::ChildrenForDirectory(FileSystemPath(Scratch("plain")), children));
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].AsUTF8String(), "/kept");
}

TEST_F(FileSystemUtilsTest, FixedAnswers)
{
    FileSystemPath temp("/somewhere");
    EXPECT_TRUE(FileSystemUtils::GetTempDirectory(temp));
    EXPECT_EQ(temp.AsUTF8String(), "/tmp");

    FileSystemPath untouched("/untouched");
    EXPECT_FALSE(FileSystemUtils::ExpandInlineFolderTokens("[ProgramFiles]", untouched));
    EXPECT_EQ(untouched.AsUTF8String(), "/untouched");
    std::vector<std::string> drives{"kept"};
    EXPECT_FALSE(FileSystemUtils::GetRemovableDrives(drives));
    EXPECT_EQ(drives, std::vector<std::string>{"kept"});
}
