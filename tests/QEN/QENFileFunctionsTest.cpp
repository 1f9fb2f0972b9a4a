// The script functions of the file, link, alias, display-attribute and registration commands:
// their argument codes and conversions and their results; and whole runs that commit them or
// roll them back.
#include "QENFileCommandTestSupport.h"

#include "Common/source/mac/TQInitManager.h"

#include "tests/support/ScriptEval.h"

#include "platform/Folders.h"
#include "platform/SystemRoot.h"
#include "platform/desktop/LaunchServices.h"
#include "platform/files/ResourceFork.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace qentest;

namespace {

// The globals over a core engine, in a script engine of their own; the script variable "app"
// holds the work folder.
class QENFileFunctionsTest : public QENFileCommandTest {
protected:
    void SetUp() override
    {
        QENFileCommandTest::SetUp();
        engine_.reset(new QENEngine(controller_, log_, "{id}", QENEngine::PropertyMap{{"app", folder_}}));
        scripts_ = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        ASSERT_TRUE(scripts_);
        QENGlobalsLC* globals = new QENGlobalsLC(*engine_, controller_, engine_->Log());
        Mivor::LiveObject* global = scripts_->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject();
        ASSERT_EQ(global->addComponent(globals), 0);
        globals->release();
        ASSERT_EQ(Eval("var app = QENGetProperty('app'); app"), folder_);
    }

    std::string Eval(const std::string& script) { return tolktest::Eval(*scripts_, script); }
    // The code a script call ends with (0 when it succeeds).
    std::string Code(const std::string& call) { return Eval("try { " + call + "; 0 } catch (e) { e.code }"); }

    TQInitManager scripting_;
    RecordingController controller_;
    std::unique_ptr<QENEngine> engine_;
    Pelvo::EnginePtr scripts_;
};

}  // namespace

TEST_F(QENFileFunctionsTest, BadArgumentsFailBeforeAnyCommandIsBuilt)
{
    for (const char* call :
         {"QENChmodCommand(app)", "QENChownCommand(app, '0')", "QENCreateDirectory()",
          "QENCreateDirectory(app + '/d', 448, 1)", "QENDeleteDirectory()", "QENCopyFile(app)",
          "QENDeleteFile(app, app)", "QENCreateSymlink(app + '/l')", "QENDeleteSymlink()",
          "QENCopySymlink(app, app, app)", "QENCreateMacAlias(app + '/a', app)", "QENRetargetMacAlias(app)",
          "QENSetDisplayAttributes(app, 1)", "QENRegisterApplications()", "QENRegisterApplications([], [])"})
        EXPECT_EQ(Code(call), "20") << call;
    EXPECT_EQ(Code("QENRegisterApplications(app)"), "19");
    // A path must be absolute; an undefined argument is the text "undefined".
    EXPECT_EQ(Code("QENDeleteFile('relative/file')"), "-29");
    EXPECT_EQ(Code("QENCreateDirectory(undefined)"), "-29");
    EXPECT_EQ(Code("QENRegisterApplications(['Relative.app'])"), "-29");
    // A NUL would make the system act on the text before it: "victim" for "victim\0.bak".
    tolktest::WriteTextFile(At("victim"), "kept");
    ASSERT_EQ(chmod(At("victim").c_str(), 0644), 0);
    EXPECT_EQ(Code("QENDeleteFile(app + '/victim\\u0000.bak')"), "-29");
    EXPECT_EQ(Code("QENChmodCommand(app + '/victim\\u0000y', 0)"), "-29");
    EXPECT_EQ(Code("QENCopyFile(app + '/victim', app + '/victim\\u0000.copy')"), "-29");
    EXPECT_EQ(Code("QENServiceMonitor('m', app + '/victim\\u0000x', 'start')"), "19");
    EXPECT_EQ(Code("QENServiceMonitor('m\\u0000/x', '/bin/true', 'install')"), "19");
    EXPECT_EQ(Code("QENServiceInstall(app + '/victim\\u0000', app + '/d.plist', 'l', 'd', [], 'auto', '', '1')"), "19");
    EXPECT_EQ(Code("QENServiceControl('victim\\u0000x', 'start')"), "19");
    EXPECT_EQ(ModeOf(At("victim")), "644");
    EXPECT_EQ(controller_.asked, 0);
    EXPECT_FALSE(Exists(At("d")));
}

TEST_F(QENFileFunctionsTest, ConversionsAndResults)
{
    // Modes keep their low 16 bits; folders default to 0775.
    EXPECT_EQ(Eval("QENCreateDirectory(app + '/Default') && QENCreateDirectory(app + '/Private', parseInt('700', 8))"),
              "true");
    EXPECT_EQ(ModeOf(At("Default")) + " " + ModeOf(At("Private")), "775 700");
    tolktest::WriteTextFile(At("file"), "");
    EXPECT_EQ(Eval("QENChmodCommand(app + '/file', 0x10000 + parseInt('644', 8))"), "true");
    EXPECT_EQ(ModeOf(At("file")), "644");
    EXPECT_EQ(Eval("QENCopyFile(app + '/file', app + '/copy')"), "true");
    // A failed command answers false with code 0.
    EXPECT_EQ(Code("if (QENCopyFile(app + '/file', app + '/copy') !== false) throw 1"), "0");
    EXPECT_TRUE(log_.Has("2 5 Command QENCopyFileCommand failed.")) << log_.Dump();
    // Texts are taken as given: a number as a link's target, ids by number.
    EXPECT_EQ(Eval("QENCreateSymlink(app + '/number', 12)"), "true");
    EXPECT_EQ(LinkText(At("number")), "12");
    EXPECT_EQ(
        Eval("QENChownCommand(app + '/file', " + std::to_string(geteuid()) + ", '" + std::to_string(getegid()) + "')"),
        "true");
    controller_.stopAt = controller_.asked + 1;
    EXPECT_EQ(Code("QENDeleteFile(app + '/file')"), "-34");
    EXPECT_TRUE(Exists(At("file")));
    EXPECT_EQ(engine_->PerformedCommandCount(), 6u);
}

TEST_F(QENFileFunctionsTest, AliasIconSourcesAndDisplayAttributes)
{
    if (!HasExtendedAttributes())
        GTEST_SKIP() << "the file system keeps no user attributes";
    tolktest::WriteTextFile(At("Tool"), "");
    tolktest::WriteTextFile(At("Icons"), "");
    platform::ResourceMap icons;
    ASSERT_TRUE(icons.Add(platform::Resource{platform::FourCharCode('i', 'c', 'n', 's'), -16496, "", "icon"}));
    ASSERT_EQ(platform::WriteResourceFork(At("Icons"), icons), 0);

    // Undefined and null mean no icon source.
    EXPECT_EQ(Eval("QENCreateMacAlias(app + '/a1', app + '/Tool', undefined) && "
                   "QENCreateMacAlias(app + '/a2', app + '/Tool', null) && "
                   "QENCreateMacAlias(app + '/a3', app + '/Tool', app + '/Icons')"),
              "true");
    EXPECT_EQ(DisplayAttributesOf(At("a1")) + DisplayAttributesOf(At("a2")) + DisplayAttributesOf(At("a3")), "002");
    EXPECT_TRUE(log_.Has("5 3 Using Mac alias custom icons from \"" + At("Icons") + "\"")) << log_.Dump();
    EXPECT_EQ(Eval("QENRetargetMacAlias(app + '/a1', app + '/Icons')"), "true");
    EXPECT_EQ(Eval("QENSetDisplayAttributes(app + '/Tool', DISPLAY_ATTRIBUTE_IS_INVISIBLE, "
                   "DISPLAY_ATTRIBUTE_IS_INVISIBLE | DISPLAY_ATTRIBUTE_HAS_CUSTOM_ICON)"),
              "true");
    EXPECT_EQ(DisplayAttributesOf(At("Tool")), "1");
}

TEST_F(QENFileFunctionsTest, RegisterApplicationsTakesAnArrayOfPathsAndCannotBeRolledBack)
{
    tolktest::MakeFolders(At("Reader.app/Contents"));
    EXPECT_EQ(Eval("QENRegisterApplications([app + '/Reader.app', app + '/Missing.app'])"), "true");
    std::vector<platform::RegisteredApplication> registered;
    ASSERT_TRUE(platform::ReadApplicationRegistry(registered));
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].path, At("Reader.app"));
    EXPECT_EQ(Eval("QENCreateSymlink(app + '/link', 'Reader.app')"), "true");
    // The other command is still rolled back.
    EXPECT_FALSE(engine_->RollbackPerformedCommands());
    EXPECT_TRUE(log_.Has("2 1 Error rolling back command QENRegisterApplicationsCommand")) << log_.Dump();
    EXPECT_FALSE(Exists(At("link")));
}

namespace {

// Whole install runs of a payload whose instructions use the file commands.
class QENFileCommandRunTest : public QENRunTest {
protected:
    void SetUp() override
    {
        QENRunTest::SetUp();
        app_ = sysroot_.Path("/Applications/Sample");
        tolktest::MakeFolders(app_);
        tolktest::WriteTextFile(app_ + "/old.txt", "old version");
        tolktest::WriteTextFile(app_ + "/tool", "");
        ASSERT_EQ(chmod((app_ + "/tool").c_str(), 0755), 0);
    }

    // Instructions in which every command must succeed, or the script ends with an error.
    static std::string Instructions(const std::string& last)
    {
        return "function must(done, what) { if (!done) throw new Error(what + ' failed'); }\n"
               "var app = QENGetProperty('OrvexProgramFiles') + '/Sample';\n"
               "var assets = QENGetProperty('QEN_ASSETS');\n"
               "must(QENCreateDirectory(app + '/Resources'), 'create');\n"
               "must(QENCopyFile(assets + '/readme.txt', app + '/Resources/readme.txt'), 'copy');\n"
               "must(QENCreateSymlink(app + '/readme', 'Resources/readme.txt'), 'link');\n"
               "must(QENDeleteFile(app + '/old.txt'), 'delete');\n"
               "must(QENChmodCommand(app + '/tool', parseInt('700', 8)), 'chmod');\n" +
            last;
    }

    // Files parked in the system root's temporary folder, where deleted files wait for the end.
    static std::size_t ParkedFiles()
    {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(platform::SystemRoot::Resolve("/tmp")))
            count += entry.path().filename().string().compare(0, 5, ".temp") == 0 ? 1 : 0;
        return count;
    }

    std::string app_;
};

}  // namespace

TEST_F(QENFileCommandRunTest, ALaterFailureRollsBackEveryEarlierCommand)
{
    PayloadImage image;
    // The destination exists by now: the copy fails and the script gives up.
    image.instructions =
        Instructions("must(QENCopyFile(assets + '/readme.txt', app + '/Resources/readme.txt'), 'again');");
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    EXPECT_FALSE(engine.InstallQENPayload());

    EXPECT_TRUE(log_.Has("2 6 Command QENCopyFileCommand failed.")) << log_.Dump();
    EXPECT_FALSE(Exists(app_ + "/Resources"));
    EXPECT_FALSE(Exists(app_ + "/readme"));
    EXPECT_EQ(ContentOf(app_ + "/old.txt"), "old version");
    EXPECT_EQ(ModeOf(app_ + "/tool"), "755");
    EXPECT_EQ(ParkedFiles(), 0u);
    // Newest first: the mode is restored before the deleted file comes back.
    EXPECT_LT(log_.Index("5 5 Restored"), log_.Index("5 4 Restored"));
}

TEST_F(QENFileCommandRunTest, ASuccessfulRunCommitsAndLeavesNoBackup)
{
    PayloadImage image;
    image.instructions = Instructions("");
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    ASSERT_TRUE(engine.InstallQENPayload()) << log_.Dump();

    EXPECT_EQ(ContentOf(app_ + "/readme"), "assets");
    EXPECT_FALSE(Exists(app_ + "/old.txt"));
    EXPECT_EQ(ModeOf(app_ + "/tool"), "700");
    EXPECT_EQ(ParkedFiles(), 0u);
    EXPECT_EQ(log_.Count("5 4 Deleted"), 1u);
}
