#include "QENSystemCommandTest.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "QEN/source/mac/QENOrvexSelfHealCommand.h"
#include "QEN/source/mac/QENOrvexSelfHealUninstallCommand.h"

#include <filesystem>

using platform::PropertyValuePtr;
using qentest::Exists;

namespace {

// An application "Sample.app" (identifier "com.orvex.sample.app") in a folder of its own, with
// a self-healing framework inside it whose code is the test fixture's.
class QENSelfHealCommandsTest : public qentest::QENSystemCommandTest {
protected:
    void SetUp() override
    {
        QENSystemCommandTest::SetUp();
        folder_ = sysroot_.Scratch() + "/Apps";
        application_ = folder_ + "/Sample.app";
        WriteBundle(application_, true, "<key>CFBundlePackageType</key><string>APPL</string>"
                                        "<key>CFBundleExecutable</key><string>Sample</string>"
                                        "<key>CFBundleIdentifier</key><string>com.orvex.sample.app</string>");
        tolktest::WriteTextFile(application_ + "/Contents/MacOS/Sample", "app");
        framework_ = application_ + "/Contents/Frameworks/OrvexSelfHealing.framework";
        WriteBundle(framework_, false, "<key>CFBundlePackageType</key><string>FMWK</string>"
                                       "<key>CFBundleExecutable</key><string>OrvexSelfHealing</string>");
        std::filesystem::copy_file(QEN_SELF_HEALING_FRAMEWORK_CODE, framework_ + "/OrvexSelfHealing");
        library_ = framework_ + "/Resources/SelfHealing.data";
        tolktest::WriteTextFile(library_, "data");
    }

    // A bundle folder with the Info.plist entries; deep bundles have "Contents".
    static void WriteBundle(const std::string& folder, bool deep, const std::string& entries)
    {
        const std::string info = deep ? folder + "/Contents/Info.plist" : folder + "/Resources/Info.plist";
        tolktest::MakeFolders(deep ? folder + "/Contents/MacOS" : folder + "/Resources");
        tolktest::WriteTextFile(info, PlistText("<dict>" + entries + "</dict>"));
    }

    // An uninstaller beside the application targeting the identifier; with a tool, that appends
    // its arguments to "<folder>/removals" and ends with the status.
    std::string WriteUninstaller(const std::string& name, const std::string& target, bool withTool = true,
                                 int status = 0)
    {
        const std::string bundle = folder_ + "/" + name;
        WriteBundle(bundle, true, "<key>VeltTargetBundleID</key><string>" + target + "</string>");
        if (withTool) {
            WriteExecutable(bundle + "/Contents/MacOS/RemoverTool",
                            "#!/bin/sh\necho \"$0|$1|$2\" >> '" + folder_ + "/removals'\nexit " +
                                std::to_string(status) + "\n");
        }
        return bundle;
    }

    std::string Removals() const
    {
        return Exists(folder_ + "/removals") ? tolktest::ReadTextFile(folder_ + "/removals") : "";
    }
    std::string Tool(const std::string& bundle) const { return bundle + "/Contents/MacOS/RemoverTool"; }

    // The call SHRepair recorded: framework, reserved, options.
    bool RepairCall(std::string& framework, std::string& reserved, PropertyValuePtr& options)
    {
        const std::string record = framework_ + "/SHRepair-call.txt";
        if (!Exists(record))
            return false;
        const std::string text = tolktest::ReadTextFile(record);
        const std::size_t first = text.find('\n');
        const std::size_t second = text.find('\n', first + 1);
        framework = text.substr(0, first);
        reserved = text.substr(first + 1, second - first - 1);
        options = Parse(text.substr(second + 1));
        return true;
    }

    std::string folder_;
    std::string application_;
    std::string framework_;
    std::string library_;
};

}  // namespace

TEST_F(QENSelfHealCommandsTest, RepairCallsTheFrameworkWithSilentOptionsAndTheInstallMode)
{
    ASSERT_TRUE(Perform(new QENOrvexSelfHealCommand(CommandLog(), FileSystemPath(library_), "repair")));
    std::string framework, reserved;
    PropertyValuePtr options;
    ASSERT_TRUE(RepairCall(framework, reserved, options));
    EXPECT_EQ(framework, framework_);
    EXPECT_EQ(reserved, "null");
    EXPECT_EQ(*options, *Parse(PlistText("<dict><key>SUPPRESS_PREFERENCE_UI</key><true/>"
                                         "<key>RUN_SILENT_INSTALL</key><true/>"
                                         "<key>INSTALL_MODE</key><string>repair</string></dict>")));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{
                              "5 1 Found framework bundle containing path \"" + library_ + "\"",
                              "5 1 Found application bundle containing path \"" + library_ + "\"",
                              "5 1 Using install mode \"repair\"",
                              "5 1 Self healing with \"" + library_ + "\" succeeded",
                          }));

    // A repair cannot be undone: the rollback says so and fails.
    log_.lines.clear();
    EXPECT_FALSE(Rollback());
    EXPECT_TRUE(log_.Has("5 1 Rollback of self-healed assets is not supported for OrvexSelfHealing at \"" + library_ +
                         "\" and install mode \"repair\""));
}

TEST_F(QENSelfHealCommandsTest, AnEmptyInstallModeIsLeftOutAndCommitSucceeds)
{
    ASSERT_TRUE(Perform(new QENOrvexSelfHealCommand(CommandLog(), FileSystemPath(library_), "")));
    std::string framework, reserved;
    PropertyValuePtr options;
    ASSERT_TRUE(RepairCall(framework, reserved, options));
    EXPECT_FALSE(options->Get("INSTALL_MODE"));
    EXPECT_EQ(options->DictionaryItems().size(), 2u);
    for (const std::string& line : log_.lines)
        EXPECT_EQ(line.find("install mode"), std::string::npos) << line;
    EXPECT_TRUE(Commit());
}

TEST_F(QENSelfHealCommandsTest, AnErrorCodeOfTheFrameworkFailsTheCommand)
{
    tolktest::WriteTextFile(framework_ + "/SHRepair-result", "7");
    EXPECT_FALSE(Perform(new QENOrvexSelfHealCommand(CommandLog(), FileSystemPath(library_), "install")));
    EXPECT_TRUE(log_.Has("2 1 OrvexSelfHealing SHRepair failed with error code 7"));
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
}

TEST_F(QENSelfHealCommandsTest, EachMissingPieceFailsWithItsOwnMessage)
{
    // No framework around the path: the application is not even looked for.
    tolktest::MakeFolders(application_ + "/Contents/Resources");
    const std::string outside = application_ + "/Contents/Resources/file";
    tolktest::WriteTextFile(outside, "x");
    EXPECT_FALSE(Perform(new QENOrvexSelfHealCommand(CommandLog(), FileSystemPath(outside), "")));
    EXPECT_TRUE(log_.Has("2 1 Unable to locate enclosing framework bundle for path \"" + outside + "\""));
    EXPECT_FALSE(log_.Has("2 1 Unable to locate enclosing application bundle for path \"" + outside + "\""));

    // A framework whose code has no entry point.
    std::filesystem::remove(framework_ + "/OrvexSelfHealing");
    tolktest::WriteTextFile(framework_ + "/OrvexSelfHealing", "not code");
    EXPECT_FALSE(Perform(new QENOrvexSelfHealCommand(CommandLog(), FileSystemPath(library_), "")));
    EXPECT_TRUE(log_.Has("2 1 Unable to load SHRepair from framework with executable at \"" + library_ + "\""));

    // A framework in no application.
    const std::string loose = sysroot_.Scratch() + "/Loose.framework";
    WriteBundle(loose, false, "<key>CFBundlePackageType</key><string>FMWK</string>"
                              "<key>CFBundleExecutable</key><string>Code</string>");
    tolktest::WriteTextFile(loose + "/Code", "x");
    EXPECT_FALSE(Perform(new QENOrvexSelfHealCommand(CommandLog(), FileSystemPath(loose + "/Code"), "")));
    EXPECT_TRUE(log_.Has("2 1 Unable to locate enclosing application bundle for path \"" + loose + "/Code\""));
}

TEST_F(QENSelfHealCommandsTest, UninstallRunsTheToolsOfTheUninstallersThatTargetTheApplication)
{
    const std::string exact = WriteUninstaller("Remove Sample.app", "com.orvex.sample.app", true, 5);
    const std::string prefix = WriteUninstaller("Remove Suite.app", "com.orvex");
    const std::string without = WriteUninstaller("No Tool.app", "com.orvex.sample", false);
    WriteUninstaller("Longer.app", "com.orvex.sample.app.helper");
    WriteUninstaller("Case.app", "com.Orvex.sample");
    tolktest::WriteTextFile(folder_ + "/notes.txt", "not a bundle");
    // The application names itself, but is never its own uninstaller.
    WriteBundle(application_, true, "<key>CFBundlePackageType</key><string>APPL</string>"
                                    "<key>CFBundleExecutable</key><string>Sample</string>"
                                    "<key>CFBundleIdentifier</key><string>com.orvex.sample.app</string>"
                                    "<key>VeltTargetBundleID</key><string>com.orvex.sample.app</string>");
    WriteExecutable(Tool(application_), "#!/bin/sh\necho app >> '" + folder_ + "/removals'\n");

    ASSERT_TRUE(Perform(new QENOrvexSelfHealUninstallCommand(CommandLog(), FileSystemPath(library_))));

    // In the folder's own order, each with its path twice and the application.
    std::vector<FileSystemPath> children;
    ASSERT_TRUE(FileSystemUtils::ChildrenForDirectory(FileSystemPath(folder_), children));
    std::string expected;
    for (const FileSystemPath& child : children) {
        if (child.AsUTF8String() == exact || child.AsUTF8String() == prefix)
            expected += Tool(child.AsUTF8String()) + "|" + Tool(child.AsUTF8String()) + "|" + application_ + "\n";
    }
    EXPECT_EQ(Removals(), expected);
    EXPECT_TRUE(log_.Has("5 1 RemoverTool at \"" + Tool(exact) + "\" exited with code \"5\""));
    EXPECT_TRUE(log_.Has("3 1 No RemoverTool was found in the uninstaller at \"" + without +
                         "\" for the self-healing library at \"" + library_ + "\""));

    log_.lines.clear();
    EXPECT_FALSE(Rollback());
    EXPECT_TRUE(log_.Has("5 1 Rollback of self-healing uninstall is not supported for OrvexSelfHealing at \"" +
                         library_ + "\""));
}

TEST_F(QENSelfHealCommandsTest, UninstallWithoutUninstallersSucceeds)
{
    ASSERT_TRUE(Perform(new QENOrvexSelfHealUninstallCommand(CommandLog(), FileSystemPath(library_))));
    EXPECT_TRUE(log_.Has("5 1 No uninstallers were found for the self-healing library at \"" + library_ + "\""));
    EXPECT_TRUE(Commit());
}

TEST_F(QENSelfHealCommandsTest, UninstallWithoutAnApplicationOrIdentifierFails)
{
    tolktest::MakeFolders(sysroot_.Scratch() + "/loose");
    const std::string loose = sysroot_.Scratch() + "/loose/file";
    tolktest::WriteTextFile(loose, "x");
    EXPECT_FALSE(Perform(new QENOrvexSelfHealUninstallCommand(CommandLog(), FileSystemPath(loose))));
    EXPECT_TRUE(log_.Has("2 1 Unable to locate enclosing application bundle information for path \"" + loose + "\""));

    WriteBundle(application_, true, "<key>CFBundlePackageType</key><string>APPL</string>"
                                    "<key>CFBundleExecutable</key><string>Sample</string>");
    EXPECT_FALSE(Perform(new QENOrvexSelfHealUninstallCommand(CommandLog(), FileSystemPath(library_))));
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
}
