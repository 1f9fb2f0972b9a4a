#include "platform/files/DiskImages.h"

#include "tests/support/PayloadImages.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class DiskImagesTest : public tolktest::SystemRootTest {
protected:
    std::string Folder(const std::string& name)
    {
        const std::string folder = sysroot_.Scratch() + "/" + name;
        tolktest::MakeFolders(folder);
        return folder;
    }

    platform::DiskImageLayOutResult LayOut(const std::string& image, const std::string& folder,
                                           const std::string* passphrase = nullptr)
    {
        std::string error;
        return platform::LayOutDiskImage(image, passphrase != nullptr, passphrase != nullptr ? *passphrase : "",
                                         folder, error);
    }
};

class DiskImagesFormatTest : public DiskImagesTest, public ::testing::WithParamInterface<platform::DiskImageFormat> {};

TEST_P(DiskImagesFormatTest, WrittenImagesLayOutAsTheirSource)
{
    const std::string source = Folder("source");
    tolktest::WritePayloadTree(source);
    chmod((source + "/Conditions.js").c_str(), 0600);
    std::string error;
    const std::string image = sysroot_.Scratch() + "/Payload.img";
    ASSERT_TRUE(platform::WriteDiskImage(source, image, GetParam(), "", error)) << error;

    const std::string target = Folder("target");
    ASSERT_EQ(LayOut(image, target), platform::kImageLaidOut);
    EXPECT_EQ(tolktest::DescribeTree(target), tolktest::DescribeTree(source));
    struct stat info;
    ASSERT_EQ(stat((target + "/Assets/tool.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    ASSERT_EQ(stat((target + "/Conditions.js").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // An image is never written over an existing file, and only a zip carries a passphrase.
    EXPECT_FALSE(platform::WriteDiskImage(source, image, GetParam(), "", error));
    if (GetParam() != platform::kDiskImageZip) {
        EXPECT_FALSE(platform::WriteDiskImage(source, image + "2", GetParam(), "secret", error));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DiskImagesFormatTest,
                         ::testing::Values(platform::kDiskImageTar, platform::kDiskImageTarGzip, platform::kDiskImageZip,
                                           platform::kDiskImageISO));

TEST_F(DiskImagesTest, OtherFilesAreNotImages)
{
    tolktest::WriteTextFile(sysroot_.Scratch() + "/notes.txt", "just some text, not an archive\n");
    EXPECT_EQ(LayOut(sysroot_.Scratch() + "/notes.txt", Folder("a")), platform::kImageNotRecognized);
    tolktest::WriteTextFile(sysroot_.Scratch() + "/empty.dmg", "");
    EXPECT_EQ(LayOut(sysroot_.Scratch() + "/empty.dmg", Folder("b")), platform::kImageNotRecognized);
    EXPECT_EQ(LayOut(sysroot_.Scratch() + "/missing.dmg", Folder("c")), platform::kImageNotRecognized);
    EXPECT_EQ(LayOut(Folder("Payload"), Folder("d")), platform::kImageNotRecognized);  // a folder not named *.dmg
    EXPECT_TRUE(fs::is_empty(sysroot_.Scratch() + "/a"));
}

}  // namespace
