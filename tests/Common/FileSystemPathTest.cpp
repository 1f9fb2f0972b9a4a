#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace {

const char kInvalid[] = "Invalid path passed to FileSystemPath constructor.";

void ExpectRejected(const std::string& text)
{
    try {
        FileSystemPath path(text);
        ADD_FAILURE() << "accepted: " << text;
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), kInvalid);
    }
}

void Touch(const std::string& path)
{
    tolktest::WriteTextFile(path, "");
}

// Restores the working directory a test changes.
class WorkingDirectoryGuard {
public:
    WorkingDirectoryGuard() : saved_() {}
    ~WorkingDirectoryGuard() { FileSystemUtils::SetWorkingDirectory(saved_); }

private:
    FileSystemPath saved_;
};

}  // namespace

TEST(FileSystemPathTest, ValidationAndTrailingSlashes)
{
    EXPECT_EQ(FileSystemPath("/").AsUTF8String(), "/");
    EXPECT_EQ(FileSystemPath("//").AsUTF8String(), "/");
    EXPECT_EQ(FileSystemPath("/a/").AsUTF8String(), "/a");
    EXPECT_EQ(FileSystemPath("/a//b///").AsUTF8String(), "/a//b");
    ExpectRejected("");
    ExpectRejected("a/b");
    ExpectRejected("/a/" + std::string(256, 'x'));
    EXPECT_NO_THROW(FileSystemPath("/a/" + std::string(255, 'x')));

    const std::string exact = "/" + std::string(200, 'a') + "/" + std::string(200, 'b') + "/" +
                              std::string(200, 'c') + "/" + std::string(200, 'd') + "/" + std::string(219, 'e');
    ASSERT_EQ(exact.size(), 1024u);
    EXPECT_NO_THROW(FileSystemPath{exact});
    ExpectRejected(exact + "f");
}

TEST(FileSystemPathTest, ValidationCodes)
{
    EXPECT_EQ(FileSystemUtils::ValidateUTF8FullPathString("/ok//fine"), 0u);
    EXPECT_EQ(FileSystemUtils::ValidateUTF8FullPathString(""), 3u);
    EXPECT_EQ(FileSystemUtils::ValidateUTF8FullPathString("relative"), 3u);
    EXPECT_EQ(FileSystemUtils::ValidateUTF8FullPathString("/" + std::string(1024, 'a')), 2u);
    EXPECT_EQ(FileSystemUtils::ValidateUTF8FullPathString("/" + std::string(256, 'a') + "/b"), 2u);
    // Lengths are bytes: 128 two-byte characters make a 256-byte component.
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "\xC3\xA9";
    EXPECT_EQ(FileSystemUtils::ValidateNativeFullPathString("/" + wide), 2u);
    // The system would read a path only up to a NUL and act on another file.
    const std::string withNul("/x/victim\0.bak", 14);
    EXPECT_EQ(FileSystemUtils::ValidateUTF8FullPathString(withNul), 1u);
    ExpectRejected(withNul);
    EXPECT_THROW(FileSystemPath("/x").AppendUTF8Segment(std::string("keep\0y", 6)), std::runtime_error);
    EXPECT_THROW(FileSystemPath::PathFromUTF8(std::string("rel\0ative", 9)), std::runtime_error);
}

TEST(FileSystemPathTest, ParentAndName)
{
    EXPECT_EQ(FileSystemPath("/a").Parent().AsUTF8String(), "/");
    EXPECT_EQ(FileSystemPath("/").Parent().AsUTF8String(), "/");
    EXPECT_EQ(FileSystemPath("/a/b/c").Parent().AsUTF8String(), "/a/b");
    EXPECT_EQ(FileSystemPath("/").NameAsUTF8String(), "/");
    EXPECT_EQ(FileSystemPath("/a/b.txt").NameAsUTF8String(), "b.txt");
}

TEST(FileSystemPathTest, Joining)
{
    EXPECT_EQ(FileSystemPath("/a").AppendUTF8Segment("/b").AsUTF8String(), "/a/b");
    EXPECT_EQ(FileSystemPath("/").AppendUTF8Segment("/b").AsUTF8String(), "/b");
    EXPECT_EQ(FileSystemPath("/a").AppendUTF8Segment("").AsUTF8String(), "/a/");
    EXPECT_EQ(FileSystemPath("/a").AppendUTF8Segment("///").AsUTF8String(), "/a/");
    EXPECT_EQ(FileSystemPath("/a").AppendUTF8Segment("b/c/").AsUTF8String(), "/a/b/c/");
    FileSystemPath path("/a");
    path.AppendUTF8Segment("").AppendUTF8Segment("x");
    EXPECT_EQ(path.AsUTF8String(), "/a/x");
}

TEST(FileSystemPathTest, RelativeTextJoinsTheWorkingDirectory)
{
    WorkingDirectoryGuard guard;
    ASSERT_TRUE(FileSystemUtils::SetWorkingDirectory(FileSystemPath("/tmp")));
    EXPECT_EQ(FileSystemPath::PathFromUTF8("x").AsUTF8String(), "/tmp/x");
    EXPECT_EQ(FileSystemPath::PathFromUTF8("").AsUTF8String(), "/tmp/");
    EXPECT_EQ(FileSystemPath::PathFromNative("/y/").AsUTF8String(), "/y");
    EXPECT_THROW(FileSystemPath::PathFromUTF8("/" + std::string(300, 'z')), std::runtime_error);
    EXPECT_FALSE(FileSystemUtils::SetWorkingDirectory(FileSystemPath("/nonexistent-folder-for-tolk")));
}

class FileSystemPathEqualityTest : public tolktest::SystemRootTest {};

TEST_F(FileSystemPathEqualityTest, CaseRuleFollowsTheVolume)
{
    // The scratch folder lies on the machine's own case-sensitive volume; the system root is
    // declared a volume that is not case-sensitive, as a Mac start-up volume is.
    const std::string sensitive = sysroot_.Scratch();
    Touch(sensitive + "/Foo");
    EXPECT_TRUE(FileSystemPath(sensitive + "/Foo") == FileSystemPath(sensitive + "/Foo"));
    EXPECT_FALSE(FileSystemPath(sensitive + "/Foo") == FileSystemPath(sensitive + "/foo"));
    EXPECT_TRUE(FileSystemPath(sensitive + "/Foo") != FileSystemPath(sensitive + "/FOO"));

    const std::string insensitive = sysroot_.Path("/Applications");
    Touch(insensitive + "/Foo");
    EXPECT_TRUE(FileSystemPath(insensitive + "/Foo") == FileSystemPath(insensitive + "/foo"));
    EXPECT_TRUE(FileSystemPath(sysroot_.Path("/applications/foo")) == FileSystemPath(insensitive + "/Foo"));
    // Neither exists: the rests are compared by the volume's rule.
    EXPECT_TRUE(FileSystemPath(insensitive + "/Missing/Bar") == FileSystemPath(insensitive + "/missing/bar"));
    EXPECT_FALSE(FileSystemPath(insensitive + "/Missing/Bar") == FileSystemPath(insensitive + "/missing/baz"));
}

TEST_F(FileSystemPathEqualityTest, SameObjectByDifferentPaths)
{
    const std::string base = sysroot_.Scratch();
    tolktest::MakeFolders(base + "/a");
    tolktest::MakeFolders(base + "/b");
    EXPECT_TRUE(FileSystemPath(base + "/a/../b") == FileSystemPath(base + "/b"));
    ASSERT_EQ(symlink((base + "/b").c_str(), (base + "/link").c_str()), 0);
    EXPECT_TRUE(FileSystemPath(base + "/link") == FileSystemPath(base + "/b"));
    EXPECT_TRUE(FileSystemPath(base + "/link/new") == FileSystemPath(base + "/b/new"));
    EXPECT_FALSE(FileSystemPath(base + "/a") == FileSystemPath(base + "/b"));
    EXPECT_FALSE(FileSystemPath("/tolk-missing-one") == FileSystemPath("/tolk-missing-two"));
}

TEST_F(FileSystemPathEqualityTest, PathThroughARegularFileThrows)
{
    const std::string file = sysroot_.Scratch() + "/plain";
    Touch(file);
    try {
        (void)(FileSystemPath(file + "/x") == FileSystemPath(file));
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Comparison of paths cannot succeed because the left-hand-side is invalid.");
    }
    try {
        (void)(FileSystemPath(file) != FileSystemPath(file + "/x"));
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Comparison of paths cannot succeed because the right-hand-side is invalid.");
    }
}
