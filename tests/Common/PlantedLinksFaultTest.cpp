// The file operations of FileSystemUtils where another user (nobody, in a child) planted links
// and files in a folder that others can write: each operation that would go through them fails
// with a reason that names the path and its owner, and nothing outside the folder changes.
#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "tests/support/PlantTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {

class PlantedLinksFaultTest : public tolktest::PlantTest {
protected:
    void SetUp() override
    {
        PlantTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        tolktest::MakeFolders(outside_ + "/Sub");
        tolktest::WriteTextFile(outside_ + "/Existing", "existing");
        tolktest::WriteTextFile(source_, "source");
        const std::string shared = shared_;
        const std::string outside = outside_;
        const std::string victim = victim_;
        Plant([&]() {
            tolktest::WriteTextFile(shared + "/theirs.txt", "theirs");
            return symlink(outside.c_str(), (shared + "/App.app").c_str()) == 0 &&
                   symlink(victim.c_str(), (shared + "/Welcome.txt").c_str()) == 0;
        });
    }

    FileSystemPath Shared(const std::string& relative) const { return FileSystemPath(shared_ + "/" + relative); }

    std::string source_ = sysroot_.Scratch() + "/source";
};

}  // namespace

TEST_F(PlantedLinksFaultTest, NoOperationGoesThroughWhatAnotherUserPlanted)
{
    const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);
    const std::vector<std::string> theirs = tolktest::DescribeTree(shared_ + "/theirs.txt", true);
    const FileSystemPath source(source_);
    const std::string nobody = tolktest::NobodyText();
    const std::string followed = "Refused to follow the symbolic link \"" + shared_ + "/App.app\" of user " + nobody +
                                 ": it lies in \"" + shared_ + "\", a folder that other users can write";
    const std::string toTheFile = "Refused to follow the symbolic link \"" + shared_ + "/Welcome.txt\" of user " + nobody;
    const std::string written = "Refused to write \"" + shared_ + "/theirs.txt\" of user " + nobody;
    const std::vector<std::pair<std::string, std::function<bool()> > > operations = {
        {followed, [&]() { return FileSystemUtilsMac::CreateDirectory(Shared("App.app/Contents"), 0755, true); }},
        {followed, [&]() { return FileSystemUtilsMac::CreateDirectoryPath(Shared("App.app/A/B"), 0755, true); }},
        {followed, [&]() { return FileSystemUtilsMac::DeleteDirectory(Shared("App.app/Sub"), false); }},
        {followed, [&]() { return FileSystemUtilsMac::CreateSymlink(Shared("App.app/link"), "/"); }},
        {followed, [&]() { return FileSystemUtils::CopyFile(source, Shared("App.app/copy")); }},
        {followed, [&]() { return FileSystemUtils::MoveFile(source, Shared("App.app/moved")); }},
        {followed, [&]() { return FileSystemUtils::DeleteFile(Shared("App.app/Existing"), false); }},
        {followed, [&]() {
             FileSystemPath temp(std::string("/"));
             return FileSystemUtilsMac::MoveFileToTemp(Shared("App.app/Existing"), temp);
         }},
        {followed, [&]() { return FileSystemUtilsMac::CreateMacAlias(Shared("App.app/alias"), source, nullptr); }},
        {toTheFile, [&]() { return FileSystemUtilsMac::SetMode(Shared("Welcome.txt"), 0666); }},
        {toTheFile, [&]() { return FileSystemUtilsMac::SetOwnerGroup(Shared("Welcome.txt"), 0, 0); }},
        {toTheFile, [&]() {
             const std::uint32_t hidden = FileSystemUtilsMac::kDisplayAttributeHidden;
             return FileSystemUtilsMac::SetDisplayAttributes(Shared("Welcome.txt"), hidden, hidden);
         }},
        {written, [&]() { return FileSystemUtilsMac::SetMode(Shared("theirs.txt"), 0644); }},
        {written, [&]() { return FileSystemUtilsMac::SetOwnerGroup(Shared("theirs.txt"), 0, 0); }},
        {written, [&]() { return FileSystemUtils::SwapFiles(source, Shared("theirs.txt")); }},
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        FileSystemUtils::ClearFailureReason();
        EXPECT_FALSE(operations[i].second()) << i;
        EXPECT_THAT(FileSystemUtils::LastFailureReason(), HasSubstr(operations[i].first)) << i;
    }
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);
    EXPECT_EQ(tolktest::DescribeTree(shared_ + "/theirs.txt", true), theirs);
    EXPECT_EQ(tolktest::ReadTextFile(source_), "source");

    // What is only named is the caller's to remove: the link itself goes, not what it leads to.
    EXPECT_TRUE(FileSystemUtils::DeleteFile(Shared("Welcome.txt"), false));
    EXPECT_TRUE(FileSystemUtils::DeleteFile(Shared("App.app"), false));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);

    // In a folder that no other user can write, the same operations go ahead.
    ASSERT_EQ(chmod(shared_.c_str(), 0755), 0);
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectory(Shared("Folder"), 0755, true));
    EXPECT_TRUE(FileSystemUtils::CopyFile(source, Shared("Folder/copy")));
    EXPECT_TRUE(FileSystemUtilsMac::SetMode(Shared("Folder/copy"), 0600));
}
