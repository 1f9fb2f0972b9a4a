// "UIShowManifestErrors": the pages of the payloads' manifest errors on the user's Desktop.
#include "PayloadMediumFixture.h"

#include "Common/source/xplat/HexMD5Digest.h"
#include "Sorvel/source/mac/SVLSorvelUIDelegateProtocol.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/SorvelUserInterfaceJSPublisher.h"

#include "platform/Folders.h"
#include "platform/desktop/Workspace.h"

#include "tests/support/OtherUser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

namespace {

class NoWindow : public SVLSorvelUIDelegateProtocol {
public:
    bool showHTMLAlert(const std::string&, std::string&) override { return false; }
    bool exitDialog(const std::string&) override { return false; }
    bool selectLocation(const std::string&, const std::string&, const std::string&, std::string&) override
    {
        return false;
    }
    bool setTitle(const std::string&) override { return false; }
    bool setVisibility(bool) override { return false; }
    bool setViewWidth(std::uint32_t, std::uint32_t) override { return false; }
};

std::string Digest(const std::string& text)
{
    return ZEB::HexMD5Digest(text.begin(), text.end());
}

class ManifestErrorPagesTest : public tolktest::PayloadMediumTest {
protected:
    void SetUp() override
    {
        PayloadMediumTest::SetUp();
        platform::ClearRecordedWorkspaceRequests();
    }

    std::string Show()
    {
        PayloadSessionManager::Release();  // each call reads the medium anew
        InstallerEngine engine((FileSystemPath(medium_)));
        SorvelUserInterfaceJSPublisher publisher(&engine, nullptr);
        publisher.GetPlatformData()->windowController = &window_;
        std::string answer;
        EXPECT_TRUE(publisher.InvokeMethodByName("UIShowManifestErrors", {}, answer));
        return answer;
    }

    std::string Folder() const { return sysroot_.Home() + "/Desktop/Tolk Setup Errors"; }

    NoWindow window_;
};

}  // namespace

TEST_F(ManifestErrorPagesTest, TwoPayloadsWithErrorsMakeFourPagesAndOpenTheFramePage)
{
    AddProxy("A", tolktest::ProxyXml("{A}", "Alpha", "2.5", "<ValidationResults>alpha is &lt;b&gt;broken&lt;/b&gt;</ValidationResults>"));
    // Without a version the payload is named by its code.
    AddProxy("B", tolktest::ProxyXml("{B}", "Beta", "", "<ValidationResults>beta too</ValidationResults>"));
    AddProxy("C", tolktest::ProxyXml("{C}", "Gamma", "1.0"));

    // The pages are written; without a desktop nothing can show them, and the call says so.
    EXPECT_EQ(Show(), "{\"_error\":\"9999\"}");

    const std::string alpha = "Alpha 2.5 (20240611.1)";
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"errors.html", "payloads.html", Digest(alpha) + ".html",
                                            Digest("{B}") + ".html"}));
    EXPECT_EQ(tolktest::ReadTextFile(Folder() + "/errors.html"), SorvelUserInterfaceJSPublisher::kErrorFramePage);
    // The medium's texts are shown as text, not run as the page's markup.
    EXPECT_EQ(tolktest::ReadTextFile(Folder() + "/" + Digest(alpha) + ".html"), "alpha is &lt;b&gt;broken&lt;/b&gt;");
    EXPECT_EQ(tolktest::ReadTextFile(Folder() + "/" + Digest("{B}") + ".html"), "beta too");

    const std::string list = tolktest::ReadTextFile(Folder() + "/payloads.html");
    EXPECT_EQ(list.find('\n'), std::string::npos);
    EXPECT_EQ(list.find("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Frameset//EN\""), 0u);
    // In display-name order: "Alpha..." before "{B}".
    const std::string items = "<ul><li><a href=\"" + Digest(alpha) + ".html\" target=\"errors\">" + alpha +
                              "</a></li><li><a href=\"" + Digest("{B}") + ".html\" target=\"errors\">{B}</a></li>"
                              "</ul></body></html>";
    EXPECT_EQ(list.substr(list.size() - items.size()), items);
    EXPECT_NE(list.find("<title>Payload Manifest Errors</title>"), std::string::npos);
    EXPECT_NE(list.find("<body>The following payloads have errors associated with them:<ul>"), std::string::npos);

    EXPECT_EQ(platform::RecordedWorkspaceRequests(), std::vector<std::string>{"open-file " + Folder() + "/errors.html"});
}

TEST_F(ManifestErrorPagesTest, NoPayloadWithErrorsIsErrorSeventeenAndWritesNothing)
{
    AddProxy("C", tolktest::ProxyXml("{C}", "Gamma", "1.0", "<ValidationResults></ValidationResults>"));
    EXPECT_EQ(Show(), "{\"_error\":\"17\"}");
    EXPECT_FALSE(std::filesystem::exists(Folder()));
    EXPECT_TRUE(platform::RecordedWorkspaceRequests().empty());
}

TEST_F(ManifestErrorPagesTest, NamesAreTextAndNothingPlantedInThePagesPlaceIsWrittenThrough)
{
    const std::string name = "<img src=x onerror=alert(1)>";
    AddProxy("A", tolktest::ProxyXml("{A}", "&lt;img src=x onerror=alert(1)&gt;", "1.0",
                                     "<ValidationResults>&lt;script&gt;alert(2)&lt;/script&gt;</ValidationResults>"));
    EXPECT_EQ(Show(), "{\"_error\":\"9999\"}");
    const std::string display = name + " 1.0 (20240611.1)";
    const std::string page = Folder() + "/" + Digest(display) + ".html";
    const std::string list = tolktest::ReadTextFile(Folder() + "/payloads.html");
    EXPECT_NE(list.find("target=\"errors\">&lt;img src=x onerror=alert(1)&gt; 1.0 (20240611.1)</a>"), std::string::npos)
        << list;
    EXPECT_EQ(list.find("<img"), std::string::npos);
    EXPECT_EQ(tolktest::ReadTextFile(page), "&lt;script&gt;alert(2)&lt;/script&gt;");

    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "cannot run as another user here";
    // The folder left writable by every user, where nobody puts a link, a pipe (that root reads
    // here, so that nothing waits) and root's own file with a second name in the pages' places.
    const std::string outside = sysroot_.Scratch() + "/outside";
    tolktest::MakeFolders(outside);
    tolktest::WriteTextFile(outside + "/victim", "precious");
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    ASSERT_EQ(chmod(Folder().c_str(), 0777), 0);
    const std::string folder = Folder();
    ASSERT_EQ(tolktest::RunAsNobody([&]() {
                  return unlink((folder + "/errors.html").c_str()) == 0 &&
                         symlink((outside + "/victim").c_str(), (folder + "/errors.html").c_str()) == 0 &&
                         unlink(page.c_str()) == 0 && mkfifo(page.c_str(), 0666) == 0;
              }),
              tolktest::AsUser::kTrue);
    ASSERT_EQ(unlink((folder + "/payloads.html").c_str()), 0);
    ASSERT_EQ(link((outside + "/victim").c_str(), (folder + "/payloads.html").c_str()), 0);
    const int pipe = open(page.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    const std::vector<std::string> before = tolktest::DescribeTree(outside, true);
    platform::ClearRecordedWorkspaceRequests();
    EXPECT_EQ(Show(), "{\"_error\":\"9999\"}");
    char byte;
    EXPECT_LE(read(pipe, &byte, 1), 0);
    close(pipe);
    EXPECT_EQ(tolktest::DescribeTree(outside, true), before);

    // The folder itself, in a Desktop that every user can write, replaced by a link of nobody's.
    const std::string desktop = sysroot_.Home() + "/Desktop";
    std::filesystem::remove_all(folder);
    ASSERT_EQ(chmod(desktop.c_str(), 0777), 0);
    ASSERT_EQ(tolktest::RunAsNobody([&]() { return symlink(outside.c_str(), folder.c_str()) == 0; }),
              tolktest::AsUser::kTrue);
    EXPECT_EQ(Show(), "{\"_error\":\"9999\"}");
    EXPECT_EQ(tolktest::DescribeTree(outside, true), before);
    EXPECT_TRUE(platform::RecordedWorkspaceRequests().empty());
}

TEST_F(ManifestErrorPagesTest, PagesForAnotherUserAreThatUsersOwn)
{
    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "cannot run as another user here";
    // The wizard that runs as root for nobody, whose home is the user domain's.
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    const std::string home = sysroot_.Base() + "/nobody";
    tolktest::MakeFolders(home);
    ASSERT_EQ(chown(home.c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    std::string problem;
    ASSERT_EQ(platform::SetUserDomainHome(home, tolktest::NobodyUser(), problem), 0) << problem;
    AddProxy("A", tolktest::ProxyXml("{A}", "Alpha", "2.5", "<ValidationResults>broken</ValidationResults>"));
    const std::string answer = Show();
    platform::ResetUserDomain();
    EXPECT_EQ(answer, "{\"_error\":\"9999\"}");
    const std::vector<std::string> made = tolktest::DescribeTree(home + "/Desktop", true);
    ASSERT_EQ(made.size(), 5u);  // the Desktop, the folder and its three pages
    for (const std::string& line : made)
        EXPECT_THAT(line, ::testing::EndsWith(" owner " + std::to_string(tolktest::NobodyUser()))) << line;
    EXPECT_FALSE(std::filesystem::exists(sysroot_.Home() + "/Desktop"));
}
