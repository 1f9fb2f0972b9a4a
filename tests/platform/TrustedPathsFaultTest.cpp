// Links and files that another user (nobody, in a child) planted in a folder that others can
// write: never followed, written, replaced or given another mode by the file layer, and logs put
// aside instead of written; nothing outside the shared folder changes.
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/Files.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"

#include "tests/support/PlantTest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class TrustedPathsFaultTest : public tolktest::PlantTest {
protected:

    // The one entry of the shared folder that the name was put aside as.
    std::string PutAsideOf(const std::string& name) const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(shared_)) {
            const std::string other = entry.path().filename().string();
            if (other.compare(0, name.size() + 11, name + ".put-aside.") == 0)
                found.push_back(entry.path().string());
        }
        EXPECT_EQ(found.size(), 1u) << name;
        return found.empty() ? std::string() : found.front();
    }

    static struct stat Status(const std::string& path)
    {
        struct stat status = {};
        lstat(path.c_str(), &status);
        return status;
    }

    std::vector<std::string> before_;
};

}  // namespace

TEST_F(TrustedPathsFaultTest, LinksOfOtherUsersAreFollowedOnlyWhereNoOtherUserCanWrite)
{
    const std::string shared = shared_;
    const std::string outside = outside_;
    const std::string victim = victim_;
    Plant([&]() {
        return symlink(outside.c_str(), (shared + "/App.app").c_str()) == 0 &&
               symlink(victim.c_str(), (shared + "/Welcome.txt").c_str()) == 0 &&
               mkdir((shared + "/theirs").c_str(), 0755) == 0 &&
               symlink(outside.c_str(), (shared + "/theirs/App.app").c_str()) == 0;
    });
    ASSERT_EQ(symlink(outside_.c_str(), (shared_ + "/Mine.app").c_str()), 0);
    // A link of root's own that leads to nobody's.
    ASSERT_EQ(symlink("../shared/App.app", (outside_ + "/via").c_str()), 0);
    before_ = tolktest::DescribeTree(outside_, true);

    platform::TrustedPath place;
    EXPECT_EQ(place.Walk(shared_ + "/App.app/Contents", false), EPERM);
    EXPECT_EQ(place.Refusal(), "Refused to follow the symbolic link \"" + shared_ + "/App.app\" of user " +
                                   tolktest::NobodyText() + ": it lies in \"" + shared_ +
                                   "\", a folder that other users can write");
    EXPECT_EQ(place.Walk(outside_ + "/via/Contents", false), EPERM);
    EXPECT_EQ(place.Walk(shared_ + "/Welcome.txt", true), EPERM);
    // Named only (to be replaced or removed), a link is not followed and not refused.
    ASSERT_EQ(place.Walk(shared_ + "/Welcome.txt", false), 0);
    EXPECT_EQ(place.Name(), "Welcome.txt");
    EXPECT_EQ(place.CheckObject(), 0);
    // Root's own link is followed.
    ASSERT_EQ(place.Walk(shared_ + "/Mine.app/Contents", false), 0);
    EXPECT_EQ(place.FolderPath(), outside_);
    // In a folder of its owner's, a link leads only to what its owner owns.
    EXPECT_EQ(place.Walk(shared_ + "/theirs/App.app/Contents", false), EPERM);
    // Spelled with empty, "." or ".." names, the same paths meet the same links.
    EXPECT_EQ(place.Walk(shared_ + "//App.app/./Contents", false), EPERM);
    EXPECT_EQ(place.Walk(outside_ + "/./via/Contents/", false), EPERM);
    ASSERT_EQ(place.Walk(shared_ + "/../shared/Mine.app//Contents", false), 0);
    EXPECT_EQ(place.FolderPath(), outside_);
    EXPECT_EQ(place.Name(), "Contents");

    // Sticky or writable by the group: the same.
    for (mode_t mode : {01777, 0775}) {
        ASSERT_EQ(chmod(shared_.c_str(), mode), 0);
        EXPECT_EQ(place.Walk(shared_ + "/App.app/Contents", false), EPERM) << std::oct << mode;
    }
    // Once no other user can write the folder, what lies in it is followed.
    ASSERT_EQ(chmod(shared_.c_str(), 0755), 0);
    ASSERT_EQ(place.Walk(shared_ + "/App.app/Contents", false), 0);
    EXPECT_EQ(place.FolderPath(), outside_);
    EXPECT_EQ(place.Name(), "Contents");

    // The checks that report say the same.
    ASSERT_EQ(chmod(shared_.c_str(), 0777), 0);
    EXPECT_EQ(platform::CheckNameChange(shared_ + "/App.app/Contents"), EPERM);
    EXPECT_EQ(platform::CheckNameChange(shared_ + "/Welcome.txt"), 0);
    EXPECT_EQ(platform::CheckWrite(shared_ + "/Welcome.txt"), EPERM);
    std::string refusal;
    EXPECT_EQ(platform::MakeFolder(shared_ + "/App.app/Contents", 0755, true, refusal), EPERM);
    EXPECT_THAT(refusal, HasSubstr(shared_ + "/App.app\" of user " + tolktest::NobodyText()));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);
}

TEST_F(TrustedPathsFaultTest, FilesOfOtherUsersAreNeitherWrittenNorReplaced)
{
    const std::string shared = shared_;
    const std::string victim = victim_;
    Plant([&]() {
        tolktest::WriteTextFile(shared + "/theirs.plist", "theirs");
        return symlink(victim.c_str(), (shared + "/prefs.plist").c_str()) == 0;
    });
    // A file with a second name, as another user can give root's files where the system lets them.
    tolktest::WriteTextFile(outside_ + "/secret", "secret");
    ASSERT_EQ(link((outside_ + "/secret").c_str(), (shared_ + "/hard").c_str()), 0);
    before_ = tolktest::DescribeTree(outside_, true);
    const std::vector<std::string> theirsBefore = tolktest::DescribeTree(shared_ + "/theirs.plist", true);

    for (platform::LinkHandling links : {platform::LinkHandling::kReplaceLink, platform::LinkHandling::kWriteThrough}) {
        EXPECT_FALSE(platform::WriteFileAtomically(shared_ + "/theirs.plist", "root's", links));
        EXPECT_FALSE(platform::WriteFileAtomically(shared_ + "/hard", "root's", links));
    }
    EXPECT_EQ(tolktest::DescribeTree(shared_ + "/theirs.plist", true), theirsBefore);
    EXPECT_EQ(platform::CheckWrite(shared_ + "/hard"), EPERM);
    EXPECT_EQ(platform::SetExtendedAttribute(shared_ + "/theirs.plist", "user.test", "x"), EPERM);
    EXPECT_EQ(platform::SetExtendedAttribute(shared_ + "/prefs.plist", "user.test", "x"), EPERM);

    // Written through, nobody's link is refused; replaced, it gives way to root's own file.
    const std::string prefs = shared_ + "/prefs.plist";
    EXPECT_FALSE(platform::WriteFileAtomically(prefs, "root's", platform::LinkHandling::kWriteThrough));
    EXPECT_TRUE(platform::WriteFileAtomically(prefs, "root's", platform::LinkHandling::kReplaceLink));
    EXPECT_TRUE(S_ISREG(Status(shared_ + "/prefs.plist").st_mode));
    EXPECT_EQ(Status(shared_ + "/prefs.plist").st_uid, geteuid());
    EXPECT_EQ(tolktest::ReadTextFile(shared_ + "/prefs.plist"), "root's");
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);
}

TEST_F(TrustedPathsFaultTest, AUsersOwnFolderServesThatUsersFilesAndLinksOnly)
{
    // A home of nobody's, that no other user can write: nobody's folders, file and links in it.
    const std::string home = shared_ + "/home";
    const std::string outside = outside_;
    const std::string victim = victim_;
    Plant([&]() {
        if (mkdir(home.c_str(), 0755) != 0 || mkdir((home + "/Other").c_str(), 0755) != 0)
            return false;
        tolktest::WriteTextFile(home + "/Other/doc", "theirs");
        tolktest::WriteTextFile(home + "/Other/notes", "theirs");
        return chmod(home.c_str(), 0755) == 0 && symlink("Other", (home + "/Docs").c_str()) == 0 &&
               symlink(outside.c_str(), (home + "/Root").c_str()) == 0 &&
               symlink(victim.c_str(), (home + "/Secret").c_str()) == 0 &&
               link((home + "/Other/notes").c_str(), (home + "/twice").c_str()) == 0;
    });
    before_ = tolktest::DescribeTree(outside_, true);

    platform::TrustedPath place;
    ASSERT_EQ(place.Walk(home + "/Docs/doc", false), 0);
    EXPECT_EQ(place.FolderPath(), home + "/Other");
    ASSERT_EQ(place.Walk(home + "/Docs", true), 0);
    EXPECT_EQ(place.NamePath(), home + "/Other");
    EXPECT_EQ(platform::CheckWrite(home + "/Docs/doc"), 0);
    // A link of the user to root's folder or file is not followed.
    EXPECT_EQ(place.Walk(home + "/Root/victim", false), EPERM);
    EXPECT_EQ(place.Refusal(), "Refused to follow the symbolic link \"" + home + "/Root\" of user " +
                                   tolktest::NobodyText() + ": it leads to \"" + outside_ + "\" of user " +
                                   platform::DescribeUser(0) + ", not to what its owner owns");
    EXPECT_EQ(place.Walk(home + "/Secret", true), EPERM);
    EXPECT_EQ(platform::CheckWrite(home + "/Secret"), EPERM);
    // A file with a second name is still refused.
    EXPECT_EQ(platform::CheckWrite(home + "/twice"), EPERM);
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);
}

TEST_F(TrustedPathsFaultTest, LogsThatAreNoPlainFilesOfTheirOwnAreSetAside)
{
    const std::string shared = shared_;
    const std::string victim = victim_;
    Plant([&]() {
        tolktest::WriteTextFile(shared + "/theirs.log", "theirs");
        return symlink(victim.c_str(), (shared + "/link.log").c_str()) == 0 &&
               mkfifo((shared + "/pipe.log").c_str(), 0666) == 0;
    });
    tolktest::WriteTextFile(outside_ + "/root's", "root's");
    ASSERT_EQ(link((outside_ + "/root's").c_str(), (shared_ + "/hard.log").c_str()), 0);
    tolktest::WriteTextFile(shared_ + "/own.log", "old\n");
    before_ = tolktest::DescribeTree(outside_, true);

    const std::vector<std::pair<std::string, std::string> > planted = {
        {"link.log", "a symbolic link of user " + tolktest::NobodyText()},
        {"pipe.log", "a pipe of user " + tolktest::NobodyText()},
        {"theirs.log", "a file of user " + tolktest::NobodyText()},
        {"hard.log", "a file with 2 names of user "},
        {"own.log", ""},
    };
    for (const auto& plant : planted) {
        const std::string path = shared_ + "/" + plant.first;
        std::string note;
        std::string refusal;
        const int fd = platform::OpenLogForAppending(path, 0644, note, refusal);
        ASSERT_GE(fd, 0) << plant.first;
        EXPECT_EQ(write(fd, "line\n", 5), 5);
        close(fd);
        const struct stat status = Status(path);
        EXPECT_TRUE(S_ISREG(status.st_mode)) << plant.first;
        EXPECT_EQ(status.st_uid, geteuid()) << plant.first;
        if (plant.second.empty()) {
            EXPECT_EQ(note, "");
            EXPECT_EQ(tolktest::ReadTextFile(path), "old\nline\n");
            continue;
        }
        EXPECT_EQ(tolktest::ReadTextFile(path), "line\n") << plant.first;
        const std::string aside = PutAsideOf(plant.first);
        EXPECT_THAT(note, StartsWith("\"" + path + "\" was " + plant.second)) << note;
        EXPECT_THAT(note, HasSubstr("put aside as \"" + aside + "\"")) << note;
    }
    EXPECT_TRUE(S_ISLNK(Status(PutAsideOf("link.log")).st_mode));
    EXPECT_TRUE(S_ISFIFO(Status(PutAsideOf("pipe.log")).st_mode));
    EXPECT_EQ(tolktest::ReadTextFile(PutAsideOf("theirs.log")), "theirs");
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);

    // A log folder reached through nobody's link is refused, and nothing is made there.
    Plant([&]() { return symlink(outside_.c_str(), (shared + "/Logs").c_str()) == 0; });
    std::string note;
    std::string refusal;
    EXPECT_LT(platform::OpenLogForAppending(shared_ + "/Logs/new.log", 0644, note, refusal), 0);
    EXPECT_EQ(errno, EPERM);
    EXPECT_THAT(refusal, HasSubstr("\"" + shared_ + "/Logs\" of user " + tolktest::NobodyText()));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);
}

TEST_F(TrustedPathsFaultTest, AFolderWalkedBeforeInTheRunIsJudgedAgainOnceItChanged)
{
    platform::WalkedFoldersHold run;
    const std::string app = shared_ + "/App";
    tolktest::MakeFolders(app);
    ASSERT_EQ(chmod(app.c_str(), 0755), 0);
    platform::TrustedPath place;
    ASSERT_EQ(place.Walk(app + "/file", false), 0);
    ASSERT_EQ(place.Walk(app + "/file", false), 0);  // from the folder kept

    // Another user's link where the folder was: the walk meets it, and refuses it.
    ASSERT_EQ(rename(app.c_str(), (shared_ + "/Old").c_str()), 0);
    const std::string shared = shared_;
    const std::string outside = outside_;
    Plant([&]() { return symlink(outside.c_str(), (shared + "/App").c_str()) == 0; });
    EXPECT_EQ(place.Walk(app + "/victim", false), EPERM);
    EXPECT_EQ(platform::CheckNameChange(app + "/victim"), EPERM);

    // A folder kept whose mode changed since is judged by its new mode: once others can write
    // it, their files in it are theirs.
    const std::string old = shared_ + "/Old";
    ASSERT_EQ(place.Walk(old + "/theirs", false), 0);
    ASSERT_EQ(chmod(old.c_str(), 0777), 0);
    Plant([&]() {
        tolktest::WriteTextFile(shared + "/Old/theirs", "theirs");
        return true;
    });
    ASSERT_EQ(place.Walk(old + "/theirs", false), 0);
    EXPECT_EQ(place.CheckObject(), EPERM);
    EXPECT_EQ(tolktest::ReadTextFile(old + "/theirs"), "theirs");

    // One given to another user since, who plants a link in it: judged as it is now, the link is
    // refused instead of followed as a link in a folder of root's own.
    const std::string given = shared_ + "/Given";
    tolktest::MakeFolders(given);
    ASSERT_EQ(chmod(given.c_str(), 0755), 0);
    ASSERT_EQ(place.Walk(given + "/file", false), 0);
    ASSERT_EQ(place.Walk(given + "/file", false), 0);
    ASSERT_EQ(chown(given.c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    before_ = tolktest::DescribeTree(outside_, true);
    Plant([&]() { return symlink(outside.c_str(), (given + "/Contents").c_str()) == 0; });
    EXPECT_EQ(place.Walk(given + "/Contents", true), EPERM);
    EXPECT_THAT(place.Refusal(), HasSubstr("\"" + given + "/Contents\" of user " + tolktest::NobodyText()));
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);
}

namespace {

// How a shape is walked.
enum class WalkAs { kNamed, kFollowed, kKept };

// A path and what walking it answers: the error, and where it ends ("folder|name", " followed"
// when a link at the last name was followed) or, refused, the names the refusal quotes. "~" is
// the scratch folder; a relative path is walked from ~/outside.
struct Shape {
    const char* path;
    WalkAs as;
    int error;
    const char* answer;
};

// Every spelling of a path and every kind of link on its way, at every depth: the walk's answers
// as they are, so that a change in how it takes its names shows.
const Shape kShapes[] = {
    // Spellings of one path.
    {"~/outside/dir/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dir/file", WalkAs::kFollowed, 0, "~/outside/dir|file"},
    {"~/outside//dir///file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/./dir/./file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dir/file/", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dir/sub/../file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dir/.", WalkAs::kNamed, 0, "~/outside|dir"},
    {"~/outside/dir/..", WalkAs::kNamed, EINVAL, ""},
    {"/", WalkAs::kNamed, EINVAL, ""},
    {"//", WalkAs::kFollowed, EINVAL, ""},
    {"", WalkAs::kNamed, EINVAL, ""},
    {".", WalkAs::kNamed, EINVAL, ""},
    {"..", WalkAs::kNamed, EINVAL, ""},
    {"~/outside/nothere/x", WalkAs::kNamed, ENOENT, ""},
    {"~/outside/dir/nothere", WalkAs::kFollowed, 0, "~/outside/dir|nothere"},
    {"~/outside/dir/file/x", WalkAs::kNamed, ENOTDIR, ""},
    // Relative, from ~/outside.
    {"dir/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"./dir//file", WalkAs::kFollowed, 0, "~/outside/dir|file"},
    {"../outside/dir/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"dir", WalkAs::kNamed, 0, "~/outside|dir"},
    {"rel/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"dir/sub/back/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    // Root's links at each depth, absolute and relative, and through ".." after a link.
    {"~/outside/abs/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/rel/sub/deep", WalkAs::kNamed, 0, "~/outside/dir/sub|deep"},
    {"~/outside/chain/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/up/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dot/dir/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dotdot/outside/dir/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dir/sub/back/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/rel/../dir/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/outside/dangling/x", WalkAs::kNamed, ENOENT, ""},
    {"~/outside/loop/x", WalkAs::kNamed, ELOOP, ""},
    {"~/outside/lastlink/x", WalkAs::kNamed, ENOTDIR, ""},
    // A link as the last name.
    {"~/outside/lastlink", WalkAs::kNamed, 0, "~/outside|lastlink"},
    {"~/outside/rel/", WalkAs::kNamed, 0, "~/outside|rel"},
    {"~/outside/lastlink", WalkAs::kFollowed, 0, "~/outside/dir|file followed"},
    {"~/outside/rel", WalkAs::kFollowed, 0, "~/outside|dir followed"},
    {"~/outside/abs", WalkAs::kFollowed, 0, "~/outside|dir followed"},
    {"~/outside/todot", WalkAs::kFollowed, 0, "~/outside|dir followed"},
    {"~/outside/slash", WalkAs::kFollowed, 0, "~/outside|dir followed"},
    {"~/outside/dot", WalkAs::kFollowed, EINVAL, ""},
    {"~/outside/dotdot", WalkAs::kFollowed, EINVAL, ""},
    {"~/outside/dangling", WalkAs::kFollowed, 0, "~/outside|missing followed"},
    {"~/outside/loop", WalkAs::kFollowed, ELOOP, ""},
    // nobody's links: in a folder that others can write, and at depth, reached through root's.
    {"~/shared/evil/file", WalkAs::kNamed, EPERM, "~/shared/evil ~/shared"},
    {"~/shared//evil/./file", WalkAs::kNamed, EPERM, "~/shared/evil ~/shared"},
    {"~/shared/../shared/evil/file", WalkAs::kNamed, EPERM, "~/shared/evil ~/shared"},
    {"~/shared/evil", WalkAs::kNamed, 0, "~/shared|evil"},
    {"~/shared/evil", WalkAs::kFollowed, EPERM, "~/shared/evil ~/shared"},
    {"~/shared/mine/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    {"~/shared/deep/evil/file", WalkAs::kNamed, EPERM, "~/shared/deep/evil ~/shared/deep"},
    {"~/outside/dir/sub/toshared/file", WalkAs::kNamed, EPERM, "~/shared/deep/evil ~/shared/deep"},
    {"~/outside/theirs/file", WalkAs::kNamed, 0, "~/outside/dir|file"},
    // In nobody's own folder: followed as far as what nobody owns.
    {"~/shared/home/Docs/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/shared/home/Docs", WalkAs::kFollowed, 0, "~/shared/home|Other followed"},
    {"~/shared/home/Chain/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/shared/home/Up/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/outside/tohome/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/shared/home/Missing", WalkAs::kFollowed, 0, "~/shared/home|nothere followed"},
    {"~/shared/home/Root/file", WalkAs::kNamed, EPERM, "~/shared/home/Root ~/outside/dir"},
    {"~/shared/home/Root", WalkAs::kFollowed, EPERM, "~/shared/home/Root ~/outside/dir"},
    {"~/shared/home/RootMissing", WalkAs::kFollowed, EPERM, "~/shared/home/RootMissing ~/outside/dir"},
    {"~/shared/home/Parent/home/Other/doc", WalkAs::kNamed, EPERM, "~/shared/home/Parent ~/shared"},
    // Texts without names lead to the folder walked in then ("~" in a path is the scratch folder).
    {"~/shared/home/Slash~/outside/dir/file", WalkAs::kNamed, EPERM, "~/shared/home/Slash /"},
    {"~/shared/home/Slashes~/outside/dir/file", WalkAs::kNamed, EPERM, "~/shared/home/Slashes /"},
    {"~/shared/home/SlashDot~/outside/dir", WalkAs::kFollowed, EPERM, "~/shared/home/SlashDot /"},
    {"~/shared/home/Docs/Slash~/shared/home/Other/doc", WalkAs::kNamed, EPERM, "~/shared/home/Other/Slash /"},
    {"~/shared/home/Here/Docs/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    // The path's own ".." after a link of the user's climbs out of where the link led.
    {"~/shared/home/Here/../../outside/dir/file", WalkAs::kNamed, EPERM, "~/shared/home/Here ~/shared"},
    {"~/shared/home/Docs/../Here/../../outside/dir/file", WalkAs::kNamed, EPERM, "~/shared/home/Here ~/shared"},
    {"~/shared/home/Here/Other/Home/../../../outside/dir/file", WalkAs::kNamed, EPERM,
     "~/shared/home/Other/Home ~/shared"},
    {"~/shared/home/Here/Other/Home/../doc", WalkAs::kNamed, 0, "~/shared/home|doc"},
    {"~/shared/home/Docs/../../home/Other/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/shared/home/Docs/../Other/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/shared/home/Slash", WalkAs::kNamed, 0, "~/shared/home|Slash"},
    {"~/shared/home/Here", WalkAs::kFollowed, EINVAL, ""},
    // ... and inside chains, where they hid the links around them.
    {"~/shared/home/ViaSlash/file", WalkAs::kNamed, EPERM, "~/shared/home/Slash /"},
    {"~/shared/home/ToSlash~/outside/dir/file", WalkAs::kNamed, EPERM, "~/shared/home/Slash /"},
    {"~/shared/home/ViaHere/file", WalkAs::kNamed, EPERM, "~/shared/home/ViaHere ~/outside/dir"},
    {"~/shared/home/ViaHere", WalkAs::kFollowed, EPERM, "~/shared/home/ViaHere ~/outside/dir"},
    {"~/shared/home/Docs/ViaHere/file", WalkAs::kNamed, EPERM, "~/shared/home/Other/ViaHere ~/outside/dir"},
    {"~/shared/home/HereChain/doc", WalkAs::kNamed, 0, "~/shared/home/Other|doc"},
    {"~/outside/toviahere/file", WalkAs::kNamed, EPERM, "~/shared/home/ViaHere ~/outside/dir"},
    // To a kept file: every folder and link on the way root's, no folder that others can write.
    {"~/outside/dir/file", WalkAs::kKept, 0, "~/outside/dir|file"},
    {"~/outside//dir/./file", WalkAs::kKept, 0, "~/outside/dir|file"},
    {"~/outside/dir/../dir/file", WalkAs::kKept, 0, "~/outside/dir|file"},
    {"~/outside/rel/file", WalkAs::kKept, 0, "~/outside/dir|file"},
    {"~/outside/abs/file", WalkAs::kKept, 0, "~/outside/dir|file"},
    {"~/outside/dir/sub/back/file", WalkAs::kKept, 0, "~/outside/dir|file"},
    {"dir/file", WalkAs::kKept, EINVAL, ""},
    {"~/shared/mine/file", WalkAs::kKept, EPERM, "~/shared/mine/file ~/shared"},
    {"~/outside/theirs/file", WalkAs::kKept, EPERM, "~/outside/theirs/file ~/outside/theirs"},
    {"~/outside/nobodys/file", WalkAs::kKept, EPERM, "~/outside/nobodys/file ~/outside/nobodys"},
};

// The names a refusal quotes, in its order.
std::string QuotedIn(const std::string& refusal)
{
    std::string quoted;
    for (std::string::size_type open = refusal.find('"'); open != std::string::npos;) {
        const std::string::size_type close = refusal.find('"', open + 1);
        quoted += (quoted.empty() ? "" : " ") + refusal.substr(open + 1, close - open - 1);
        open = refusal.find('"', close + 1);
    }
    return quoted;
}

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

}  // namespace

TEST_F(TrustedPathsFaultTest, EveryShapeOfAPathMeetsTheSameLinks)
{
    const std::string scratch = sysroot_.Scratch();
    const std::string shared = shared_;
    const std::string outside = outside_;
    const std::string dir = outside_ + "/dir";
    tolktest::MakeFolders(dir + "/sub");
    tolktest::MakeFolders(outside_ + "/nobodys");
    tolktest::MakeFolders(shared_ + "/deep");
    tolktest::WriteTextFile(dir + "/file", "file");
    tolktest::WriteTextFile(dir + "/sub/deep", "deep");
    ASSERT_EQ(chmod((shared_ + "/deep").c_str(), 0777), 0);
    const std::vector<std::pair<std::string, std::string> > links = {
        {"abs", dir},
        {"rel", "dir"},
        {"chain", "rel"},
        {"up", "../outside/dir"},
        {"dot", "."},
        {"dotdot", ".."},
        {"todot", "dir/."},
        {"slash", "dir/"},
        {"lastlink", "dir/file"},
        {"dangling", "missing"},
        {"loop", "loop"},
        {"theirs", "dir"},
        {"tohome", shared_ + "/home/Docs"},
        {"toviahere", shared_ + "/home/ViaHere"},
        {"dir/sub/back", "../../rel"},
        {"dir/sub/toshared", shared_ + "/deep/evil"},
    };
    for (const auto& link : links)
        ASSERT_EQ(symlink(link.second.c_str(), (outside_ + "/" + link.first).c_str()), 0) << link.first;
    ASSERT_EQ(symlink(dir.c_str(), (shared_ + "/mine").c_str()), 0);
    // nobody's link in root's folder that nobody else can write, and nobody's folder there.
    ASSERT_EQ(lchown((outside_ + "/theirs").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    ASSERT_EQ(chown((outside_ + "/nobodys").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    const std::string home = shared_ + "/home";
    Plant([&]() {
        if (mkdir(home.c_str(), 0755) != 0 || mkdir((home + "/Other").c_str(), 0755) != 0)
            return false;
        tolktest::WriteTextFile(home + "/Other/doc", "theirs");
        return chmod(home.c_str(), 0755) == 0 && symlink(dir.c_str(), (shared + "/evil").c_str()) == 0 &&
               symlink(dir.c_str(), (shared + "/deep/evil").c_str()) == 0 &&
               symlink("Other", (home + "/Docs").c_str()) == 0 && symlink("Docs", (home + "/Chain").c_str()) == 0 &&
               symlink("../home/Other", (home + "/Up").c_str()) == 0 &&
               symlink("..", (home + "/Parent").c_str()) == 0 && symlink("nothere", (home + "/Missing").c_str()) == 0 &&
               symlink(dir.c_str(), (home + "/Root").c_str()) == 0 &&
               symlink((dir + "/nothere").c_str(), (home + "/RootMissing").c_str()) == 0 &&
               symlink("/", (home + "/Slash").c_str()) == 0 && symlink("//", (home + "/Slashes").c_str()) == 0 &&
               symlink("/.", (home + "/SlashDot").c_str()) == 0 && symlink(".", (home + "/Here").c_str()) == 0 &&
               symlink("/", (home + "/Other/Slash").c_str()) == 0 &&
               symlink(("Slash" + dir).c_str(), (home + "/ViaSlash").c_str()) == 0 &&
               symlink("Slash", (home + "/ToSlash").c_str()) == 0 &&
               symlink("Here/../../outside/dir", (home + "/ViaHere").c_str()) == 0 &&
               symlink("../Here/../../outside/dir", (home + "/Other/ViaHere").c_str()) == 0 &&
               symlink("Here/./Here/Docs", (home + "/HereChain").c_str()) == 0 &&
               symlink((home + "/Other").c_str(), (home + "/Other/Home").c_str()) == 0;
    });
    before_ = tolktest::DescribeTree(outside_, true);

    const auto inScratch = [&](std::string text) {
        for (std::string::size_type at; (at = text.find(scratch)) != std::string::npos;)
            text.replace(at, scratch.size(), "~");
        return text;
    };
    const std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(outside_.c_str()), 0);
    const std::size_t descriptors = OpenDescriptors();
    // Walked afresh, and in a run that holds its folders: a second time from the folders kept.
    for (const bool held : {false, true}) {
        std::optional<platform::WalkedFoldersHold> run;
        if (held)
            run.emplace();
        platform::TrustedPath place;
        for (const Shape& shape : kShapes) {
            std::string path = shape.path;
            for (std::string::size_type at; (at = path.find('~')) != std::string::npos;)
                path.replace(at, 1, scratch);
            for (int again = held ? 2 : 1; again-- > 0;) {
                const int error =
                    shape.as == WalkAs::kKept ? place.WalkKept(path) : place.Walk(path, shape.as == WalkAs::kFollowed);
                std::string answer;
                if (error == 0)
                    answer = inScratch(place.FolderPath() + "|" + place.Name()) +
                             (place.FollowedLastLink() ? " followed" : "");
                else if (error == EPERM)
                    answer = inScratch(QuotedIn(place.Refusal()));
                EXPECT_EQ(error, shape.error) << shape.path << " " << static_cast<int>(shape.as) << " held " << held;
                EXPECT_EQ(answer, shape.answer) << shape.path << " " << static_cast<int>(shape.as) << " held " << held;
            }
        }
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    EXPECT_EQ(tolktest::DescribeTree(outside_, true), before_);
}
