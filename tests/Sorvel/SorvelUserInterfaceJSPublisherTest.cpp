#include "Sorvel/source/xplat/SorvelUserInterfaceJSPublisher.h"

#include "Sorvel/source/mac/SVLSorvelUIDelegateProtocol.h"
#include "Sorvel/source/xplat/InstallerEngine.h"

#include "tests/support/TempSystemRoot.h"

#include "platform/desktop/Workspace.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// A window controller that records the calls and answers as told.
class FakeController : public SVLSorvelUIDelegateProtocol {
public:
    bool showHTMLAlert(const std::string& html, std::string& result) override
    {
        calls.push_back("alert " + html);
        result = exitText;
        return answer;
    }
    bool exitDialog(const std::string& exitText) override
    {
        calls.push_back("exit " + exitText);
        return answer;
    }
    bool selectLocation(const std::string& start, const std::string& title, const std::string& subtitle,
                        std::string& result) override
    {
        calls.push_back("select " + start + "|" + title + "|" + subtitle);
        result = chosen;
        return answer;
    }
    bool setTitle(const std::string& title) override
    {
        calls.push_back("title " + title);
        return false;  // the publisher does not look at it
    }
    bool setVisibility(bool visible) override
    {
        calls.push_back(visible ? "show" : "hide");
        return answer;
    }
    bool setViewWidth(std::uint32_t width, std::uint32_t height) override
    {
        calls.push_back("resize " + std::to_string(width) + "x" + std::to_string(height));
        return answer;
    }

    std::vector<std::string> calls;
    bool answer = true;
    std::string exitText = "exit text";
    std::string chosen = "/chosen";
};

class FakeControllerWithCloseBox : public FakeController, public SVLCloseBoxControl {
public:
    bool setCloseBoxEnabled(bool enabled) override
    {
        calls.push_back(enabled ? "close box on" : "close box off");
        return false;
    }
};

class SorvelUserInterfaceJSPublisherTest : public tolktest::SystemRootTest {
protected:
    SorvelUserInterfaceJSPublisherTest() : engine_(FileSystemPath(sysroot_.Scratch())), publisher_(&engine_, nullptr)
    {
        publisher_.GetPlatformData()->windowController = &controller_;
    }

    std::string Call(const std::string& name, const std::vector<std::string>& arguments)
    {
        std::string answer = "(not answered)";
        EXPECT_TRUE(publisher_.InvokeMethodByName(name, arguments, answer)) << name;
        return answer;
    }

    static std::string Error(int code) { return "{\"_error\":\"" + std::to_string(code) + "\"}"; }

    InstallerEngine engine_;
    FakeControllerWithCloseBox controller_;
    SorvelUserInterfaceJSPublisher publisher_;
};

}  // namespace

TEST_F(SorvelUserInterfaceJSPublisherTest, TenMethodsWithTheirIDsInRegistrationOrder)
{
    const JSMethodPublisherInterface::MethodMap methods = publisher_.GetAllMethods();
    const std::vector<std::string> order = {"UIResizeWindow",  "UIShowWindow",         "UISetWindowTitle",
                                            "UISetCloseBoxEnabled", "UIEjectRemovableMedia", "UISelectInstallLocation",
                                            "UIExitDialog",    "UIGetPasteboardValue", "UIShowModalAlert",
                                            "UIShowManifestErrors"};
    ASSERT_EQ(methods.size(), order.size());
    for (std::uint32_t id = 0; id < order.size(); ++id)
        EXPECT_EQ(methods.at(order[id]), id) << order[id];
}

TEST_F(SorvelUserInterfaceJSPublisherTest, ResizeShowAndTitle)
{
    EXPECT_EQ(Call("UIResizeWindow", {"640", "480"}), "");
    EXPECT_EQ(Call("UIResizeWindow", {"640"}), Error(1));
    EXPECT_EQ(Call("UIResizeWindow", {"640", "abc"}), Error(2));
    EXPECT_EQ(Call("UIResizeWindow", {" 640", "480"}), Error(2));
    EXPECT_EQ(Call("UIResizeWindow", {"640", "4294967296"}), Error(2));
    // The stream conversion would read a sign as a huge size or as "show".
    EXPECT_EQ(Call("UIResizeWindow", {"-1", "480"}), Error(2));
    EXPECT_EQ(Call("UIShowWindow", {"-0"}), Error(2));
    EXPECT_EQ(Call("UIShowWindow", {"1"}), "");
    EXPECT_EQ(Call("UIShowWindow", {"0"}), "");
    EXPECT_EQ(Call("UIShowWindow", {"true"}), Error(2));
    EXPECT_EQ(Call("UIShowWindow", {""}), Error(2));
    EXPECT_EQ(Call("UIShowWindow", {}), Error(1));
    EXPECT_EQ(Call("UISetWindowTitle", {"Title"}), "");
    EXPECT_EQ(Call("UISetWindowTitle", {""}), Error(2));
    EXPECT_EQ(Call("UISetWindowTitle", {"a", "b"}), Error(1));
    EXPECT_EQ(controller_.calls, (std::vector<std::string>{"resize 640x480", "show", "hide", "title Title"}));

    controller_.answer = false;
    EXPECT_EQ(Call("UIResizeWindow", {"1", "2"}), Error(9999));
    EXPECT_EQ(Call("UIShowWindow", {"7"}), Error(9999));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, CloseBox)
{
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {"0"}), "");
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {"12"}), "");
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {"yes"}), Error(9999));
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {"-1"}), Error(9999));
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {""}), Error(2));
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {}), Error(1));
    EXPECT_EQ(controller_.calls, (std::vector<std::string>{"close box off", "close box on"}));

    // A controller without a close box (the alert window's) fails the call cleanly.
    FakeController plain;
    publisher_.GetPlatformData()->windowController = &plain;
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {"1"}), Error(9999));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, SelectLocationDefaultsAndExtraArguments)
{
    EXPECT_EQ(Call("UISelectInstallLocation", {"/start"}), "{\"path\":\"/chosen\"}");
    EXPECT_EQ(Call("UISelectInstallLocation", {"/a", "T", "S", "ignored"}), "{\"path\":\"/chosen\"}");
    EXPECT_EQ(Call("UISelectInstallLocation", {}), Error(1));
    EXPECT_EQ(controller_.calls,
              (std::vector<std::string>{
                  "select /start|Select Location|Please select a location to install this software.", "select /a|T|S"}));
    controller_.answer = false;
    EXPECT_EQ(Call("UISelectInstallLocation", {"/start"}), Error(9999));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, ExitDialogAndModalAlert)
{
    EXPECT_EQ(Call("UIExitDialog", {}), Error(1));
    EXPECT_EQ(Call("UIExitDialog", {"bye", "more"}), "");
    controller_.exitText = "it's \"done\"";
    EXPECT_EQ(Call("UIShowModalAlert", {"<p>Sure?</p>"}), "{\"returnValue\":\"it\\'s \\\"done\\\"\"}");
    EXPECT_EQ(Call("UIShowModalAlert", {""}), Error(2));
    EXPECT_EQ(Call("UIShowModalAlert", {"a", "b"}), Error(1));
    EXPECT_EQ(controller_.calls, (std::vector<std::string>{"exit bye", "alert <p>Sure?</p>"}));
    controller_.answer = false;
    EXPECT_EQ(Call("UIExitDialog", {"bye"}), Error(9999));
    EXPECT_EQ(Call("UIShowModalAlert", {"<p>x</p>"}), Error(9999));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, WithoutAWindowControllerTheWindowCallsFail)
{
    publisher_.GetPlatformData()->windowController = nullptr;
    EXPECT_EQ(Call("UIResizeWindow", {"1", "1"}), Error(9999));
    EXPECT_EQ(Call("UIShowWindow", {"1"}), Error(9999));
    EXPECT_EQ(Call("UISetWindowTitle", {"t"}), Error(9999));
    EXPECT_EQ(Call("UISetCloseBoxEnabled", {"1"}), Error(9999));
    EXPECT_EQ(Call("UISelectInstallLocation", {"/"}), Error(9999));
    EXPECT_EQ(Call("UIExitDialog", {"x"}), Error(9999));
    EXPECT_EQ(Call("UIShowModalAlert", {"x"}), Error(9999));
    EXPECT_EQ(Call("UIGetPasteboardValue", {}), Error(9999));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, EjectAndPasteboard)
{
    platform::ClearRecordedWorkspaceRequests();
    EXPECT_EQ(Call("UIEjectRemovableMedia", {"/Volumes/Disc"}), "");
    EXPECT_EQ(Call("UIEjectRemovableMedia", {""}), Error(2));
    EXPECT_EQ(Call("UIEjectRemovableMedia", {}), Error(1));
    EXPECT_EQ(platform::RecordedWorkspaceRequests(), std::vector<std::string>{"eject /Volumes/Disc"});
    EXPECT_EQ(Call("UIGetPasteboardValue", {"x"}), Error(1));
    // No display, no pasteboard.
    EXPECT_EQ(Call("UIGetPasteboardValue", {}), Error(9999));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, ManifestErrorsWithoutAnEngine)
{
    EXPECT_EQ(Call("UIShowManifestErrors", {"x"}), Error(1));
    SorvelUserInterfaceJSPublisher engineless(nullptr, nullptr);
    std::string answer;
    ASSERT_TRUE(engineless.InvokeMethodByName("UIShowManifestErrors", {}, answer));
    EXPECT_EQ(answer, Error(17));
}

TEST_F(SorvelUserInterfaceJSPublisherTest, SavingPagesWritesThemOnTheDesktopAndOpensOne)
{
    platform::ClearRecordedWorkspaceRequests();
    const std::string folder = sysroot_.Home() + "/Desktop/Tolk Setup Errors";
    std::map<std::string, std::string> pages = {{"errors.html", "frames"}, {"a.html", "<p>a</p>"}};
    // Written, and handed to the workspace, which has no desktop to open them on.
    EXPECT_FALSE(SorvelUserInterfaceJSPublisher::ImplSavePagesAndLaunch(publisher_.GetPlatformData().get(), pages,
                                                                        "errors.html"));
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/errors.html"), "frames");
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/a.html"), "<p>a</p>");
    struct stat info;
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0775u);
    EXPECT_EQ(platform::RecordedWorkspaceRequests(), std::vector<std::string>{"open-file " + folder + "/errors.html"});

    // The folder is reused, other files stay, pages are replaced whole.
    tolktest::WriteTextFile(folder + "/other.txt", "mine");
    pages = {{"errors.html", "new"}};
    EXPECT_FALSE(SorvelUserInterfaceJSPublisher::ImplSavePagesAndLaunch(publisher_.GetPlatformData().get(), pages,
                                                                        "errors.html"));
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/errors.html"), "new");
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/other.txt"), "mine");

    // No page of the launch name: nothing opened.
    EXPECT_FALSE(SorvelUserInterfaceJSPublisher::ImplSavePagesAndLaunch(publisher_.GetPlatformData().get(), pages,
                                                                        "missing.html"));
    EXPECT_EQ(platform::RecordedWorkspaceRequests().size(), 2u);
}

TEST_F(SorvelUserInterfaceJSPublisherTest, APageThatCannotBeWrittenFailsTheSave)
{
    const std::string folder = sysroot_.Home() + "/Desktop/Tolk Setup Errors";
    tolktest::MakeFolders(folder + "/b.html");  // a folder where a page belongs
    const std::map<std::string, std::string> pages = {{"a.html", "a"}, {"b.html", "b"}, {"c.html", "c"}};
    EXPECT_FALSE(
        SorvelUserInterfaceJSPublisher::ImplSavePagesAndLaunch(publisher_.GetPlatformData().get(), pages, "a.html"));
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/a.html"), "a");
    EXPECT_FALSE(std::filesystem::exists(folder + "/c.html"));

    // Something that is not a folder where the folder belongs.
    std::filesystem::remove_all(folder);
    tolktest::WriteTextFile(folder, "not a folder");
    EXPECT_FALSE(
        SorvelUserInterfaceJSPublisher::ImplSavePagesAndLaunch(publisher_.GetPlatformData().get(), pages, "a.html"));
}
