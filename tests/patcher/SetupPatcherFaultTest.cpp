// SetupPatcher against failing copies, hostile folder names and hostile patch folders.
#include "PatcherRun.h"

#include "patcher/SetupPatcher.h"
#include "platform/FaultInjection.h"
#include "platform/files/TrustedPath.h"
#include "tests/support/OtherUser.h"

#include <gtest/gtest.h>

#include <endian.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace patchertest;
using tolktest::ReadTextFile;
using tolktest::WriteTextFile;

class SetupPatcherFault : public tolktest::SystemRootTest {
};

TEST_F(SetupPatcherFault, MissingPatchFolderFailsWithCopyStatus)
{
    InstallSetup(sysroot_, "1.0.0.1");
    const std::string program = PlacePatcher(sysroot_.Scratch() + "/Empty");
    const PatcherResult result = RunPatcher(program, {});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ("Exit code: 1\n", result.output);
}

TEST_F(SetupPatcherFault, FailedCopyIsNonZeroAndKeepsWhatWasCopied)
{
    InstallSetup(sysroot_, "1.0.0.1");
    const std::string folder = sysroot_.Scratch() + "/Patch";
    const std::string program = PlacePatcher(folder);
    // A file where the installation has a folder cannot be copied, even by root.
    tolktest::MakeFolders(folder + "/PatchZR7_1.0/Setup.app");
    WriteTextFile(folder + "/PatchZR7_1.0/Setup.app/Contents", "a file");
    WriteTextFile(folder + "/PatchZR7_1.0/added.txt", "added");
    const PatcherResult result = RunPatcher(program, {});
    EXPECT_NE(0, result.exitCode);
    EXPECT_EQ("Exit code: " + std::to_string(result.exitCode) + "\n", result.output);
    EXPECT_EQ("added", ReadTextFile(InstallFolder(sysroot_) + "/added.txt"));
    EXPECT_EQ("old program", ReadTextFile(InstallFolder(sysroot_) + "/Setup.app/Contents/MacOS/Setup"));
}

TEST_F(SetupPatcherFault, FolderNameWithQuotesAndCommandIsCopiedSafely)
{
    InstallSetup(sysroot_, "1.1.2.3");
    const std::string work = sysroot_.Scratch() + "/work";
    // Started by a relative path, the name also begins with "-", as an option would.
    const std::string name = "-a \"b\" 'c' $(touch pwned) `touch pwned2`; touch pwned3";
    PlacePatcher(work + "/" + name);
    tolktest::MakeFolders(work + "/" + name + "/PatchZR7_1.1");
    WriteTextFile(work + "/" + name + "/PatchZR7_1.1/added.txt", "safe");
    const PatcherResult result = RunPatcher(work + "/" + name + "/SetupPatcher", {"-v"}, work, name + "/SetupPatcher");
    EXPECT_EQ(0, result.exitCode) << result.output;
    EXPECT_EQ("safe", ReadTextFile(InstallFolder(sysroot_) + "/added.txt"));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(work)) {
        EXPECT_EQ(name, entry.path().filename().string()) << "a shell ran part of the folder name";
        ++entries;
    }
    EXPECT_EQ(1, entries);
}

TEST_F(SetupPatcherFault, ARelativeSystemRootIsRefusedNotTakenAsTheRealOne)
{
    InstallSetup(sysroot_, "1.0.0.1");
    const std::string program = PlacePatcher(sysroot_.Scratch() + "/Patch");
    tolktest::MakeFolders(sysroot_.Scratch() + "/Patch/PatchZR7_1.0");
    // Relative to the working folder it would even name the right root: it is still refused.
    setenv("TOLK_SYSTEM_ROOT", "root", 1);
    const PatcherResult result = RunPatcher(program, {}, sysroot_.Base());
    setenv("TOLK_SYSTEM_ROOT", sysroot_.Root().c_str(), 1);
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ("", result.output);
}

TEST_F(SetupPatcherFault, ALinkPlantedInTheInstalledFolderStopsTheCopyBeforeItStarts)
{
    // Root copies over a folder that others can write, where nobody planted a link at the name of
    // a file of the patch: nothing is copied, and what the link leads to stays as it was.
    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "cannot run as another user here";
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    InstallSetup(sysroot_, "1.0.0.1");
    const std::string installed = InstallFolder(sysroot_);
    ASSERT_EQ(chmod(installed.c_str(), 0777), 0);
    const std::string victim = sysroot_.Scratch() + "/victim";
    WriteTextFile(victim, "precious");
    const std::string link = installed + "/ReadMe.txt";
    ASSERT_EQ(tolktest::RunAsNobody([&]() { return symlink(victim.c_str(), link.c_str()) == 0; }),
              tolktest::AsUser::kTrue);
    const std::string folder = sysroot_.Scratch() + "/Patch";
    const std::string program = PlacePatcher(folder);
    tolktest::MakeFolders(folder + "/PatchZR7_1.0");
    WriteTextFile(folder + "/PatchZR7_1.0/ReadMe.txt", "patched");
    WriteTextFile(folder + "/PatchZR7_1.0/added.txt", "added");

    const PatcherResult result = RunPatcher(program, {});
    EXPECT_EQ(3, result.exitCode);
    EXPECT_NE(result.output.find("Refused to follow the symbolic link \"" + installed + "/ReadMe.txt\" of user "),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find(": nothing was copied\n"), std::string::npos) << result.output;
    EXPECT_EQ("precious", ReadTextFile(victim));
    EXPECT_FALSE(std::filesystem::exists(installed + "/added.txt"));
}

TEST_F(SetupPatcherFault, AKillAtAnyPointLeavesWhatARerunOfThePatchCompletes)
{
    // The patcher and each of its copies killed before the N-th call that changes a file, for
    // every N: a rerun of the same patch must find the installed version and end as a run that
    // was never killed.
    const std::string folder = sysroot_.Scratch() + "/Patch";
    const std::string program = PlacePatcher(folder);
    const std::string patch = folder + "/PatchZR7_1.0/Setup.app/Contents";
    tolktest::MakeFolders(patch + "/MacOS");
    tolktest::MakeFolders(patch + "/Resources");
    WriteTextFile(patch + "/MacOS/Setup", "new program");
    WriteTextFile(patch + "/Resources/added.txt", "added");
    WriteTextFile(patch + "/Info.plist",
                  "<plist version=\"1.0\"><dict><key>CFBundleVersion</key><string>1.0.0.24</string></dict></plist>\n");
    WriteTextFile(folder + "/PatchZR7_1.0/ReadMe.txt", "patched");
    const std::string installed = InstallFolder(sysroot_);
    InstallSetup(sysroot_, "1.0.0.23");
    ASSERT_EQ(0, RunPatcher(program, {}).exitCode);
    const std::vector<std::string> patched = tolktest::DescribeTree(installed, true);

    for (int killAt = 1; killAt < 1000; ++killAt) {
        std::filesystem::remove_all(installed);
        InstallSetup(sysroot_, "1.0.0.23");
        setenv("LD_PRELOAD", TOLK_STEP_KILLER, 1);
        setenv("TOLK_STEP_KILL_AT", std::to_string(killAt).c_str(), 1);
        const std::string asan = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
        const PatcherResult killed = RunPatcher(program, {});
        unsetenv("LD_PRELOAD");
        unsetenv("TOLK_STEP_KILL_AT");
        setenv("ASAN_OPTIONS", asan.c_str(), 1);
        const PatcherResult rerun = RunPatcher(program, {});
        ASSERT_EQ(0, rerun.exitCode) << "killed before step " << killAt << ": " << rerun.output;
        ASSERT_EQ(patched, tolktest::DescribeTree(installed, true)) << "killed before step " << killAt;
        if (killed.exitCode == 0)
            return;  // no process of the run got that far: every point was tried
    }
    FAIL() << "the patch never ran to its end";
}

TEST_F(SetupPatcherFault, HostilePatchFoldersAreRefusedOrCopiedWithoutWritingThroughLinks)
{
    // Root runs each patch over an installed 1.0.0.23: refused with 3 before anything is copied, or
    // copied without writing through a link or keeping a set-ID bit that the patch's file lacks.
    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "needs the super-user, to give files to another user";
    const std::string installed = InstallFolder(sysroot_);
    const std::string contents = installed + "/Setup.app/Contents";
    const std::string victim = sysroot_.Scratch() + "/victim";
    const std::string patchFolder = sysroot_.Scratch() + "/Patch";
    const std::string program = PlacePatcher(patchFolder);
    const std::string patch = patchFolder + "/PatchZR7_1.0";
    const std::string patchContents = patch + "/Setup.app/Contents";
    const auto modeOf = [](const std::string& path) {
        struct stat status = {};
        lstat(path.c_str(), &status);
        return status.st_mode;
    };
    const auto link = [](const std::string& to, const std::string& at) {
        ASSERT_EQ(symlink(to.c_str(), at.c_str()), 0);
    };
    // An access control list that lets nobody write, as setfacl -m u:nobody:rwx would give it.
    const std::string aclName = "system.posix_acl_access";
    const auto letNobodyWrite = [&aclName](const std::string& path) {
        const std::uint32_t none = static_cast<std::uint32_t>(ACL_UNDEFINED_ID);
        const posix_acl_xattr_entry entries[] = {{htole16(ACL_USER_OBJ), htole16(7), htole32(none)},
                                                 {htole16(ACL_USER), htole16(7), htole32(tolktest::NobodyUser())},
                                                 {htole16(ACL_GROUP_OBJ), htole16(5), htole32(none)},
                                                 {htole16(ACL_MASK), htole16(7), htole32(none)},
                                                 {htole16(ACL_OTHER), htole16(5), htole32(none)}};
        const posix_acl_xattr_header header = {htole32(POSIX_ACL_XATTR_VERSION)};
        std::string value(reinterpret_cast<const char*>(&header), sizeof(header));
        value.append(reinterpret_cast<const char*>(entries), sizeof(entries));
        ASSERT_EQ(setxattr(path.c_str(), aclName.c_str(), value.data(), value.size(), 0), 0) << path;
    };
    const std::string byList = "can be written by the users and groups its access control list names";
    const auto readMeReplaced = [&] {
        EXPECT_TRUE(S_ISREG(modeOf(contents + "/ReadMe.txt")));
        EXPECT_EQ("patched", ReadTextFile(contents + "/ReadMe.txt"));
    };
    const auto newProgramIn = [&](mode_t mode) {
        EXPECT_EQ("new program", ReadTextFile(contents + "/MacOS/Setup"));
        EXPECT_EQ(mode, modeOf(contents + "/MacOS/Setup") & 07777);
        EXPECT_EQ(0x01000018u, SetupPatcher::GetBndleVersion(installed + "/Setup.app"));
    };
    struct Case {
        std::string name;
        std::function<void()> plant;
        int exitCode;
        std::string said;             // for a refusal
        std::function<void()> check;  // for a copy
    };
    const std::vector<Case> cases = {
        {"a right patch", [] {}, 0, "", [&] { newProgramIn(0755); }},
        {"a link at the staging name", [&] { link(victim, patchContents + "/.Info.plist.patch"); }, 3,
         "Refused to copy \"" + patchContents + "/.Info.plist.patch\": that name is the patcher's own", nullptr},
        {"another user's patch that everyone can write",
         [&] {
             ASSERT_EQ(chown(patch.c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
             ASSERT_EQ(chmod(patch.c_str(), 0777), 0);
             ASSERT_EQ(chmod((contents + "/MacOS/Setup").c_str(), 04755), 0);
         },
         3, "Refused to read \"" + patch + "\", a folder of user " + tolktest::NobodyText(), nullptr},
        {"a set-user-ID file replaced by one without the bit",
         [&] { ASSERT_EQ(chmod((contents + "/MacOS/Setup").c_str(), 04755), 0); }, 0, "", [&] { newProgramIn(0755); }},
        {"a link that an earlier patch left",
         [&] {
             link(victim, contents + "/ReadMe.txt");
             WriteTextFile(patchContents + "/ReadMe.txt", "patched");
         },
         0, "", readMeReplaced},
        // cp may never open what stands at a place to write into it (a link swapped in since the
        // checks would be written through the same way).
        {"a device that an earlier patch left",
         [&] {
             ASSERT_EQ(mknod((contents + "/ReadMe.txt").c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
             WriteTextFile(patchContents + "/ReadMe.txt", "patched");
         },
         0, "", readMeReplaced},
        {"a patch file that others can write through its access control list",
         [&] { letNobodyWrite(patchContents + "/MacOS/Setup"); }, 3,
         "Refused to read \"" + patchContents + "/MacOS/Setup\", a file of user root (0): it " + byList, nullptr},
        {"a folder on the patch's way that others can write through its access control list",
         [&] { letNobodyWrite(patchFolder); }, 3, "the folder \"" + patchFolder + "\" on its way " + byList, nullptr},
        {"a version file of other bytes", [&] { WriteTextFile(patchContents + "/Info.plist", "\x01\x02 no plist"); }, 3,
         "Refused to copy \"" + patchContents + "/Info.plist\": it is no property list that holds a version", nullptr},
        {"a version file without a version",
         [&] { WriteTextFile(patchContents + "/Info.plist", "<plist version=\"1.0\"><dict/></plist>"); }, 3,
         "Refused to copy \"" + patchContents + "/Info.plist\": it is no property list that holds a version", nullptr},
        {"a version file that is a pipe",
         [&] {
             std::filesystem::remove(patchContents + "/Info.plist");
             ASSERT_EQ(mkfifo((patchContents + "/Info.plist").c_str(), 0644), 0);
         },
         3, "Refused to read \"" + patchContents + "/Info.plist\", a pipe", nullptr},
        {"a version file that is a link",
         [&] {
             std::filesystem::remove(patchContents + "/Info.plist");
             link(contents + "/Info.plist", patchContents + "/Info.plist");
         },
         3, "Refused to read \"" + patchContents + "/Info.plist\", a symbolic link", nullptr},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(installed);
        std::filesystem::remove_all(patch);
        removexattr(patchFolder.c_str(), aclName.c_str());
        ASSERT_EQ(chmod(patchFolder.c_str(), 0755), 0);
        InstallSetup(sysroot_, "1.0.0.23");
        tolktest::MakeFolders(patchContents + "/MacOS");
        WriteTextFile(patchContents + "/MacOS/Setup", "new program");
        ASSERT_EQ(chmod((patchContents + "/MacOS/Setup").c_str(), 0755), 0);
        ASSERT_EQ(chmod((contents + "/MacOS/Setup").c_str(), 0755), 0);
        WriteTextFile(patchContents + "/Info.plist",
                      "<plist version=\"1.0\"><dict><key>CFBundleVersion</key>"
                      "<string>1.0.0.24</string></dict></plist>\n");
        WriteTextFile(victim, "precious");
        ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
        row.plant();
        const std::vector<std::string> before = tolktest::DescribeTree(installed, true);

        const PatcherResult result = RunPatcher(program, {});
        EXPECT_EQ(row.exitCode, result.exitCode) << result.output;
        EXPECT_EQ("precious", ReadTextFile(victim));
        EXPECT_EQ(0600u, modeOf(victim) & 07777);
        if (row.check) {
            row.check();
            continue;
        }
        EXPECT_NE(result.output.find(row.said), std::string::npos) << result.output;
        EXPECT_NE(result.output.find(": nothing was copied\n"), std::string::npos) << result.output;
        // A pipe put in place would hold up the reading of the tree.
        const bool versionFileIsAFile = S_ISREG(modeOf(contents + "/Info.plist"));
        EXPECT_TRUE(versionFileIsAFile);
        if (versionFileIsAFile) {
            EXPECT_EQ(before, tolktest::DescribeTree(installed, true));
        }
    }
}

TEST_F(SetupPatcherFault, WhatTookTheStagedNameIsNeverRenamedIntoPlace)
{
    // In a bundle folder that others can write, a link renamed over the staged version file after
    // its checks, just before it is renamed into place, goes there in its stead: it must not stay.
    InstallSetup(sysroot_, "1.0.0.23");
    const std::string contents = InstallFolder(sysroot_) + "/Setup.app/Contents";
    const std::string staged = contents + "/.Info.plist.patch";
    const std::string victim = sysroot_.Scratch() + "/victim";
    WriteTextFile(victim, "precious");
    platform::SetFaultHookForTesting([&](const std::string& operation, const std::string& path) {
        if (operation == "put-in-place" && path == staged) {
            EXPECT_EQ(symlink(victim.c_str(), (contents + "/swap").c_str()), 0);
            EXPECT_EQ(rename((contents + "/swap").c_str(), staged.c_str()), 0);
        }
        return 0;
    });
    SetupPatcher::PatchCopy copy;
    copy.versionFile = contents + "/Info.plist";
    std::string refusal;
    const int error = SetupPatcher::PutVersionFileInPlace(copy, "<plist/>", refusal);
    platform::SetFaultHookForTesting(platform::FaultHook());

    EXPECT_EQ(EPERM, error);
    EXPECT_EQ("Refused to put \"" + copy.versionFile + "\" in place: the rename from \"" + staged +
                  "\" put a symbolic link of user " + platform::DescribeUser(geteuid()) +
                  " there, not the file made; it was removed",
              refusal);
    struct stat status;
    EXPECT_NE(lstat(copy.versionFile.c_str(), &status), 0) << "a link took the version file's place";
    EXPECT_NE(lstat(staged.c_str(), &status), 0);
    EXPECT_EQ("precious", ReadTextFile(victim));
}
