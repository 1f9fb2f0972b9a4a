// The built Setup, run as root on the example medium, where a local user (nobody, in a child) has
// planted links in the folders that root writes and others can write: the install folder, the
// session logs' folder, the folders of the uninstall scripts, the database's backup copy and the
// bootstrapper, and the temporary folder. Nothing is written through them: every run leaves the
// folder outside the system root, that the links lead to, exactly as it was. Nor is a stored
// uninstall script played that another user could have written or put in its place.
#include "ExampleMedium.h"

#include "tests/support/Deadline.h"
#include "tests/support/GzipFile.h"
#include "tests/support/PlantTest.h"
#include "tests/support/ProgramRun.h"

#include "tests/caps/CapsTestSupport.h"

#include "platform/files/TrustedPath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

namespace fs = std::filesystem;

const std::string kSketchbook = "{EAA9F4CF-E360-4950-BA50-519B03622F12}";
const std::string kBrushes = "{3C1B6E2A-5D47-4F0E-9A61-7B2E8C4D9F10}";
// The session key of the medium: the bootstrapper's folder and uninstall script are named by it.
const std::string kSuite = "a42658624434a65da803d2b23b4e8d0";
const std::string kSessionLogName = "Orvex Sketchbook 2.0.log";

// The shared folder of the fixture is not used: the runs write in the root's own folders, which
// the tests make writable by others; the links lead to the fixture's outside folder.
class SetupPlantsFaultTest : public tolktest::PlantTest {
protected:
    void SetUp() override
    {
        PlantTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        fs::copy(TOLK_SOURCE_DIR "/examples", medium_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        tolktest::MakeFolders(Orvex("/caps"));
        tolktest::MakeFolders(Orvex("/backup"));
        tolktest::WriteTextFile(outside_ + "/victim.gz", "precious too");
    }

    tolktest::ProgramResult Run(const std::string& deployment = std::string())
    {
        std::vector<std::string> arguments = {"--mode=silent", "--installerParent=" + medium_};
        if (!deployment.empty())
            arguments.push_back("--deploymentFile=" + medium_ + "/deployment/" + deployment + ".xml");
        // A run held up by what was planted (a pipe that it waits on) fails here, and is killed.
        tolktest::RunningProgram setup(SETUP_PROGRAM, arguments);
        if (!tolktest::WaitUntil([&]() { return setup.HasEnded(); }, 4 * tolktest::kPatience)) {
            ADD_FAILURE() << "Setup did not end";
            return tolktest::ProgramResult();
        }
        return setup.Wait();
    }

    // A folder (made when missing) that every user can write, as an administrator may leave one.
    static void Share(const std::string& folder)
    {
        tolktest::MakeFolders(folder);
        ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    }

    // Links made by nobody: each path links to its target.
    static void PlantLinks(const std::vector<std::pair<std::string, std::string> >& links)
    {
        Plant([&links]() {
            for (const auto& link : links) {
                if ((unlink(link.first.c_str()) != 0 && errno != ENOENT) ||
                    symlink(link.second.c_str(), link.first.c_str()) != 0)
                    return false;
            }
            return true;
        });
    }

    static std::string Refusal(const std::string& link)
    {
        const std::string folder = fs::path(link).parent_path().string();
        return "Refused to follow the symbolic link \"" + link + "\" of user " + tolktest::NobodyText() +
               ": it lies in \"" + folder + "\", a folder that other users can write";
    }

    std::string Orvex(const std::string& path) const
    {
        return sysroot_.Path("/Library/Application Support/Orvex") + path;
    }

    std::string SessionLog() const
    {
        std::string text;
        EXPECT_TRUE(tolktest::ReadGzip(tolktest::SessionLogFolder(sysroot_) + "/" + kSessionLogName + ".gz", text));
        return text;
    }

    std::vector<std::string> InstalledPayloads()
    {
        capstest::RawDatabase database(Orvex("/caps/caps.db"));
        return database.Rows("SELECT payloadID FROM tolk_collection_payload WHERE installState = 2");
    }

    static bool IsOwnPlainFile(const std::string& path)
    {
        struct stat status;
        return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid();
    }

    // The names in a folder that begin with a prefix.
    static std::vector<std::string> NamesBeginningWith(const std::string& folder, const std::string& prefix)
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.compare(0, prefix.size(), prefix) == 0)
                names.push_back(name);
        }
        return names;
    }

    // The refusal of a stored script to read, up to its reason.
    std::string ReadRefusal(const std::string& script, const std::string& what) const
    {
        return "Refused to read \"" + script + "\", " + what;
    }

    std::string medium_ = sysroot_.Scratch() + "/medium";
};

}  // namespace

TEST_F(SetupPlantsFaultTest, AnInstallThroughALinkInASharedFolderFailsAndWritesNothingThere)
{
    const std::string folder = sysroot_.Path("/Applications/Orvex Sketchbook");
    const std::string app = folder + "/Orvex Sketchbook.app";
    Share(folder);
    PlantLinks({{app, outside_}});
    const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);

    const tolktest::ProgramResult result = Run();
    EXPECT_NE(result.exitCode, 0) << result.output << result.errorOutput;
    // The cause is the refusal, which says why the command failed.
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: " + Refusal(app)));
    EXPECT_THAT(SessionLog(), HasSubstr("Unable to create directory at \"" + app + "/Contents\""));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);
    // The payload's run was taken back: it is not recorded, and the link is as nobody left it.
    EXPECT_THAT(InstalledPayloads(), Not(::testing::Contains(kSketchbook)));
    EXPECT_EQ(fs::read_symlink(app).string(), outside_);
}

TEST_F(SetupPlantsFaultTest, SessionLogLinksArePutAsideNotWritten)
{
    const std::string logs = tolktest::SessionLogFolder(sysroot_);
    const std::string log = logs + "/" + kSessionLogName;
    Share(logs);
    PlantLinks({{log, victim_}, {log + ".gz", victim_ + ".gz"}});
    const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);

    const tolktest::ProgramResult result = Run();
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);
    // A new log took the links' place, and says where the first one went.
    EXPECT_TRUE(IsOwnPlainFile(log + ".gz"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(log)));
    const std::vector<std::string> logAside = NamesBeginningWith(logs, kSessionLogName + ".put-aside.");
    const std::vector<std::string> gzipAside = NamesBeginningWith(logs, kSessionLogName + ".gz.put-aside.");
    ASSERT_EQ(logAside.size(), 1u);
    ASSERT_EQ(gzipAside.size(), 1u);
    EXPECT_EQ(fs::read_symlink(logs + "/" + logAside.front()).string(), victim_);
    EXPECT_EQ(fs::read_symlink(logs + "/" + gzipAside.front()).string(), victim_ + ".gz");
    const std::string text = SessionLog();
    EXPECT_THAT(text, HasSubstr("\"" + log + "\" was a symbolic link of user " + tolktest::NobodyText()));
    EXPECT_THAT(text, HasSubstr("put aside as \"" + logs + "/" + logAside.front() + "\""));
    EXPECT_THAT(text, HasSubstr("END - Installer Session"));
}

TEST_F(SetupPlantsFaultTest, LinksAtTheNamesOfScriptsAndTheBackupAreReplacedNotWritten)
{
    // Links where the uninstall scripts and an uninstall database will be.
    Share(Orvex("/Uninstall"));
    std::vector<std::pair<std::string, std::string> > links;
    for (const std::string& name : {kSketchbook + ".js", kBrushes + ".js", kSuite + ".js", kSketchbook + ".db"})
        links.push_back({Orvex("/Uninstall/" + name), victim_});
    PlantLinks(links);
    const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);
    tolktest::ProgramResult result = Run();
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    for (const std::string& name : {kSketchbook + ".js", kBrushes + ".js", kSuite + ".js"})
        EXPECT_TRUE(IsOwnPlainFile(Orvex("/Uninstall/" + name))) << name;
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);

    // The backup copy, once it exists, swapped for a link: the next commit replaces the link.
    Share(Orvex("/backup"));
    PlantLinks({{Orvex("/backup/caps.db"), victim_}});
    result = Run("repair");
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_TRUE(IsOwnPlainFile(Orvex("/backup/caps.db")));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);
}

TEST_F(SetupPlantsFaultTest, LinksInPlaceOfTheFoldersOfRecordsAndBootstrapperAreRefused)
{
    // The folder that holds them, writable by others; one of its folders in turn replaced by a link.
    // Sticky: the database's own folder stays root's, and the database is read.
    for (const std::string name : {"Installers", "Uninstall", "backup"}) {
        fs::remove_all(Orvex(""));
        tolktest::MakeFolders(Orvex("/caps"));
        tolktest::MakeFolders(outside_ + "/" + name);
        Share(Orvex(""));
        ASSERT_EQ(chmod(Orvex("").c_str(), 01777), 0);
        PlantLinks({{Orvex("/" + name), outside_ + "/" + name}});
        const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);

        const tolktest::ProgramResult result = Run();
        // Without the backup copy the run still installs; without the others it cannot.
        if (name == "backup")
            EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
        else
            EXPECT_NE(result.exitCode, 0) << name;
        EXPECT_THAT(SessionLog(), HasSubstr(Refusal(Orvex("/" + name)))) << name;
        EXPECT_EQ(tolktest::DescribeTree(outside_, true), before) << name;
    }
}

TEST_F(SetupPlantsFaultTest, FilesAreMovedAsideOnlyIntoTheRootsOwnTemporaryFolder)
{
    tolktest::ProgramResult result = Run();
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    // The folder of root's own in the shared temporary folder, taken by nobody's link.
    const std::string own = sysroot_.Path("/private/tmp/folders." + std::to_string(geteuid()));
    fs::remove_all(own);
    PlantLinks({{own, outside_}});
    const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);

    result = Run("remove");
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_THAT(InstalledPayloads(), IsEmpty());
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);
    // The link was put aside for a folder of root's own, and the removed files went there.
    struct stat status;
    ASSERT_EQ(lstat(own.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    EXPECT_EQ(NamesBeginningWith(sysroot_.Path("/private/tmp"), "folders." + std::to_string(geteuid()) + ".put-aside.")
                  .size(),
              1u);
    const std::string moved = sysroot_.Path("/tmp/folders." + std::to_string(geteuid()));
    EXPECT_THAT(SessionLog(), HasSubstr("Saved to \"" + moved + "/"));
}

TEST_F(SetupPlantsFaultTest, AStoredScriptThatAnotherUserCouldHaveWrittenIsNotPlayed)
{
    ASSERT_EQ(Run().exitCode, 0);
    const std::string uninstall = Orvex("/Uninstall");
    const std::string script = uninstall + "/" + kSketchbook + ".js";
    const std::string stored = tolktest::ReadTextFile(script);
    const std::string app = sysroot_.Path("/Applications/Orvex Sketchbook");
    const std::vector<std::string> installed = tolktest::DescribeTree(app, true);
    // What nobody would have root play: the removal of a file of root's outside the system root.
    const std::string theirs = shared_ + "/theirs.js";
    const std::string shared = shared_;
    const std::string victim = victim_;
    Plant([&]() {
        tolktest::WriteTextFile(shared + "/theirs.js", "QENDeleteFile('" + victim + "');\n");
        return true;
    });
    const std::vector<std::string> before = tolktest::DescribeTree(outside_, true);
    const std::string nobody = " of user " + tolktest::NobodyText();
    const std::string root = " of user " + platform::DescribeUser(0);
    const std::string shares = ": the folder \"" + uninstall + "\" on its way can be written by every user";
    const std::string notPlain = " in \"" + uninstall + "\": only a plain file with one name";
    const std::string secondName = sysroot_.Scratch() + "/second name";

    const std::vector<std::pair<std::string, std::function<void()> > > plants = {
        {"a symbolic link" + nobody + shares,
         [&]() {
             Share(uninstall);
             Plant([&]() { return unlink(script.c_str()) == 0 && symlink(theirs.c_str(), script.c_str()) == 0; });
         }},
        {"a file" + nobody + shares,
         [&]() {
             Share(uninstall);
             Plant([&]() {
                 tolktest::WriteTextFile(script + ".tmp", tolktest::ReadTextFile(theirs));
                 return unlink(script.c_str()) == 0 && rename((script + ".tmp").c_str(), script.c_str()) == 0;
             });
         }},
        // A pipe would hold a reader that waits for a writer; read without waiting, it is empty.
        {"a pipe" + root + notPlain,
         [&]() { ASSERT_TRUE(unlink(script.c_str()) == 0 && mkfifo(script.c_str(), 0644) == 0); }},
        // Root's own file, but with a second name that another user may have given it elsewhere.
        {"a file with 2 names" + root + notPlain, [&]() { ASSERT_EQ(link(script.c_str(), secondName.c_str()), 0); }},
    };
    for (const auto& plant : plants) {
        plant.second();
        const tolktest::ProgramResult result = Run("remove");
        EXPECT_NE(result.exitCode, 0) << plant.first;
        EXPECT_THAT(result.errorOutput, HasSubstr("cause: Unable to read instructions from " + script + ": " +
                                                  ReadRefusal(script, plant.first)))
            << plant.first;
        EXPECT_THAT(SessionLog(), HasSubstr(ReadRefusal(script, plant.first))) << plant.first;
        // Nothing was removed: neither what nobody asked for, nor the payload, nor its script.
        EXPECT_EQ(tolktest::DescribeTree(outside_, true), before) << plant.first;
        EXPECT_EQ(tolktest::DescribeTree(app, true), installed) << plant.first;
        EXPECT_THAT(InstalledPayloads(), ::testing::Contains(kSketchbook)) << plant.first;
        EXPECT_TRUE(fs::exists(fs::symlink_status(script))) << plant.first;

        // Put right, by root.
        unlink(secondName.c_str());
        ASSERT_EQ(chmod(uninstall.c_str(), 0755), 0);
        ASSERT_TRUE(fs::remove(script));
        tolktest::WriteTextFile(script, stored);
    }
    const tolktest::ProgramResult result = Run("remove");
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_THAT(InstalledPayloads(), IsEmpty());
    EXPECT_FALSE(fs::exists(app));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before);
}

TEST_F(SetupPlantsFaultTest, ADatabaseFolderThatEveryUserCanWriteIsTheCauseOnTheStandardError)
{
    const std::string folder = Orvex("/caps");
    const std::string database = folder + "/caps.db";
    const std::string root = ", a file of user " + platform::DescribeUser(0);
    const std::string shared = ": the folder \"" + folder + "\" on its way can be written by every user";
    // Sticky, it still lets every user put a journal beside the database, which SQLite would roll
    // back into it.
    const std::string sticky = ": the folder \"" + folder +
                               "\" that holds it can be written by every user, who could put files beside it "
                               "that are read with it";
    struct Shape {
        mode_t mode;
        std::string deployment;
        std::string refusal;
    };
    const std::vector<Shape> runs = {
        {0777, "", "Refused to read \"" + database + "\"" + shared},
        {01777, "", "Refused to read \"" + database + "\"" + sticky},
        {0777, "repair", "Refused to read \"" + database + "\"" + root + shared},
        {01777, "repair", "Refused to read \"" + database + "\"" + root + sticky},
        {0777, "remove", "Refused to read \"" + database + "\"" + root + shared},
    };
    for (const Shape& run : runs) {
        if (!run.deployment.empty() && !fs::exists(database)) {
            ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
            ASSERT_EQ(Run().exitCode, 0);
        }
        ASSERT_EQ(chmod(folder.c_str(), run.mode), 0);
        const tolktest::ProgramResult result = Run(run.deployment);
        EXPECT_EQ(result.exitCode, 22) << run.deployment << " " << std::oct << run.mode;
        EXPECT_THAT(result.errorOutput, HasSubstr("\nSetup: cause: " + run.refusal + "\n"))
            << run.deployment << " " << std::oct << run.mode << "\n"
            << result.errorOutput;
    }
    // A journal that another user left beside it while it could (the folder closed since) is
    // no journal of the database's.
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    tolktest::WriteTextFile(database + "-journal", "");
    ASSERT_EQ(chown((database + "-journal").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    const tolktest::ProgramResult result = Run("repair");
    EXPECT_EQ(result.exitCode, 22);
    EXPECT_THAT(result.errorOutput, HasSubstr("\nSetup: cause: Refused to read \"" + database +
                                              "-journal\", a file of user " + tolktest::NobodyText()));
}

TEST_F(SetupPlantsFaultTest, NoToolOfAnotherUserInASystemRootThatEveryoneCanWriteRuns)
{
    // The system root is a folder of root's that every user can write, sticky as "/tmp" is, and
    // nobody's tree there holds the tools that Setup runs as root.
    const std::string root = sysroot_.Root();
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    ASSERT_EQ(chmod(root.c_str(), 01777), 0);
    for (const char* folder : {"/usr", "/sbin", "/bin"})
        fs::remove_all(root + folder);
    const std::string ran = shared_ + "/ran";
    Plant([&]() {
        for (const char* tool :
             {"/usr/bin/hdiutil", "/sbin/md5", "/usr/libexec/StartupItemContext", "/bin/launchctl"}) {
            const fs::path path = root + tool;
            fs::create_directories(path.parent_path());
            tolktest::WriteTextFile(path.string(), "#!/bin/sh\necho \"$0\" >> '" + ran + "'\nexit 1\n");
            if (chmod(path.c_str(), 0755) != 0)
                return false;
        }
        return true;
    });

    const tolktest::ProgramResult result = Run();
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_FALSE(fs::exists(ran)) << tolktest::ReadTextFile(ran);
    // The cause names the program and the folder in its way.
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: Unable to mount the payload image " + medium_ +
                                              "/Bootstrapper.dmg: Refused to run \"" + root + "/sbin/md5\""));
    EXPECT_THAT(result.errorOutput,
                HasSubstr("the folder \"" + root + "/sbin\" on its way belongs to user " + tolktest::NobodyText()));
}
