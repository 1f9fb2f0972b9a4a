#include "platform/Folders.h"
#include "platform/ShellPattern.h"
#include "platform/desktop/LaunchServices.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class ApplicationLookupTest : public tolktest::SystemRootTest {
protected:
    std::string App(const std::string& folder, const std::string& creator)
    {
        const std::string path = sysroot_.Path("/Applications/" + folder + "/Netscape.app");
        tolktest::MakeFolders(path + "/Contents");
        tolktest::WriteTextFile(path + "/Contents/PkgInfo", "APPL" + creator);
        EXPECT_EQ(platform::RegisterApplication(path, true), 0);
        return path;
    }

    std::string Find(const std::string* identifier, const std::string& name)
    {
        std::string path = "untouched";
        const int status =
            platform::FindApplication(platform::FourCharCode('M', 'O', 'S', 'S'), identifier, &name, path);
        return status == 0 ? path : std::to_string(status) + " " + path;
    }
};

}  // namespace

TEST_F(ApplicationLookupTest, LatestRegistrationOfAnExistingItemMatchingEveryCriterion)
{
    const std::string older = App("A", "MOSS");
    const std::string newer = App("B", "MOSS");
    App("C", "XXXX");
    EXPECT_EQ(Find(nullptr, "Netscape.app"), newer);
    EXPECT_EQ(Find(nullptr, "Navigator.app"), "-10814 untouched");
    const std::string identifier = "org.example.none";
    EXPECT_EQ(Find(&identifier, "Netscape.app"), "-10814 untouched");

    // Registered again with another creator: its older line no longer speaks for it.
    tolktest::WriteTextFile(newer + "/Contents/PkgInfo", "APPLXXXX");
    ASSERT_EQ(platform::RegisterApplication(newer, true), 0);
    EXPECT_EQ(Find(nullptr, "Netscape.app"), older);
    // Gone from the disk, though still in the registry.
    std::filesystem::remove_all(older);
    EXPECT_EQ(Find(nullptr, "Netscape.app"), "-10814 untouched");
}

TEST(ShellPatternTest, FoldsCaseOnlyWhenAskedAndRefusesEmbeddedNul)
{
    EXPECT_EQ(platform::MatchShellPattern("*.TXT", "readme.txt", platform::kShellPatternCaseFold), 0);
    EXPECT_NE(platform::MatchShellPattern("*.TXT", "readme.txt", 0), 0);
    EXPECT_NE(platform::MatchShellPattern("abc", std::string("abc\0def", 7), 0), 0);
}
