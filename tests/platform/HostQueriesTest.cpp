// The stand-ins behind the host queries of the script interface: icons and their TIFF form, the
// process walk, and applications by document type.
#include "platform/LaunchServices.h"
#include "platform/RunningApplications.h"
#include "platform/WorkspaceIcons.h"

#include "support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>

namespace {

std::uint32_t Read32(const std::string& data, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[offset + i]);
    return value;
}

std::uint16_t Read16(const std::string& data, std::size_t offset)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data[offset]) |
                                      static_cast<unsigned char>(data[offset + 1]) << 8);
}

TEST(WorkspaceIconsTest, TIFFHoldsThePixelsWhereItsDirectorySays)
{
    platform::IconImage image;
    ASSERT_TRUE(platform::IconImageForPath("/", 32, image));
    ASSERT_EQ(image.rgba.size(), 32u * 32u * 4u);
    std::string tiff;
    ASSERT_TRUE(platform::TIFFRepresentation(image, tiff));
    ASSERT_EQ(tiff.compare(0, 4, std::string("II*\0", 4)), 0);
    const std::uint32_t directory = Read32(tiff, 4);
    const std::uint16_t entries = Read16(tiff, directory);
    std::uint32_t width = 0, offset = 0, count = 0;
    for (std::uint16_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12u;
        const std::uint16_t tag = Read16(tiff, entry);
        if (tag == 256)
            width = Read32(tiff, entry + 8);
        if (tag == 273)
            offset = Read32(tiff, entry + 8);
        if (tag == 279)
            count = Read32(tiff, entry + 8);
    }
    EXPECT_EQ(width, 32u);
    ASSERT_EQ(count, image.rgba.size());
    ASSERT_EQ(offset + count, tiff.size());
    EXPECT_EQ(tiff.substr(offset), std::string(image.rgba.begin(), image.rgba.end()));

    EXPECT_FALSE(platform::TIFFRepresentation(platform::IconImage(), tiff));
    EXPECT_FALSE(platform::IconImageForPath("/nonexistent-icon-path", 32, image));
    EXPECT_FALSE(platform::IconImageForPath("/", 0, image));
}

TEST(ProcessWalkTest, EndsAfterTheLastProcess)
{
    boost::shared_ptr<platform::ProcessTableForTesting> table(new platform::ProcessTableForTesting);
    table->processes.resize(2);
    table->processes[1] = platform::PropertyValue::MakeDictionary();
    platform::SetProcessTableForTesting(table);
    platform::ProcessSerialNumber process = platform::kNoProcess;
    platform::PropertyValuePtr information;
    ASSERT_EQ(platform::GetNextProcess(process), 0);
    EXPECT_FALSE(platform::CopyProcessInformation(process, information));
    ASSERT_EQ(platform::GetNextProcess(process), 0);
    EXPECT_TRUE(platform::CopyProcessInformation(process, information));
    EXPECT_EQ(platform::GetNextProcess(process), platform::kProcNotFoundErr);
    platform::SetProcessTableForTesting(boost::shared_ptr<const platform::ProcessTableForTesting>());

    // The real table: this process is found, with its executable.
    process = platform::kNoProcess;
    int status = 0;
    bool found = false;
    while ((status = platform::GetNextProcess(process)) == 0) {
        if (process != static_cast<platform::ProcessSerialNumber>(getpid()))
            continue;
        ASSERT_TRUE(platform::CopyProcessInformation(process, information));
        std::string executable;
        EXPECT_TRUE(information->GetString("CFBundleExecutable", executable));
        EXPECT_EQ(executable.substr(executable.find_last_of('/') + 1), "platform_tests");
        found = true;
    }
    EXPECT_EQ(status, platform::kProcNotFoundErr);
    EXPECT_TRUE(found);
}

class ApplicationsForDocumentTest : public tolktest::SystemRootTest {};

TEST_F(ApplicationsForDocumentTest, MatchesExtensionsIgnoringCaseAndListsEachOnce)
{
    const std::string application = sysroot_.Path("/Applications/Paint.app");
    tolktest::MakeFolders(application + "/Contents");
    tolktest::WriteTextFile(application + "/Contents/Info.plist",
                            "<plist version=\"1.0\"><dict><key>CFBundleDocumentTypes</key><array><dict>"
                            "<key>CFBundleTypeExtensions</key><array><string>PNG</string></array></dict>"
                            "</array></dict></plist>");
    ASSERT_EQ(platform::RegisterApplication(application, false), 0);
    const std::string document = sysroot_.Scratch() + "/picture.png";
    tolktest::WriteTextFile(document, "");

    std::vector<std::string> applications;
    ASSERT_TRUE(platform::ApplicationsForDocument(document, applications));
    EXPECT_EQ(applications, std::vector<std::string>{application}) << "registered and in /Applications: once";
    tolktest::WriteTextFile(sysroot_.Scratch() + "/notes.txt", "");
    ASSERT_TRUE(platform::ApplicationsForDocument(sysroot_.Scratch() + "/notes.txt", applications));
    EXPECT_TRUE(applications.empty());
    EXPECT_FALSE(platform::ApplicationsForDocument(sysroot_.Scratch() + "/missing.png", applications));
}

}  // namespace
