// TrustedPath: paths walked the way a privileged program must walk them where other users can
// write. Inside a folder that a user other than this process's own (the super-user aside) can
// write, no symbolic link of such a user is followed, and no file of such a user, nor one with
// more names than one, is written, replaced or given another mode, owner or attribute. A folder
// of another user that nobody else can write is that user's own: the user's files and links in it
// are the user's business, and such a link is followed only where it leads to what the same user
// owns. A refused step answers EPERM with a text that names the path and its owner.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct WalkedFolder;

// A user as messages name one: "nobody (65534)", or the number alone for a user the password
// database does not know.
std::string DescribeUser(uid_t uid);

// Whether a user other than this process's own, the super-user aside, can write in the folder:
// its owner, or anyone through the group or others' write bits.
bool OthersCanWrite(const struct stat& folder);

// Who besides its owner can write the folder or file by its mode, for a message: "every user",
// "the group 1000"; empty when none can (the administrators' groups, 0 and 80, are not counted).
std::string OthersByMode(const struct stat& status);

// What a found object is, for a message: "a symbolic link of user nobody (65534)", "a pipe of
// user root (0)", "a file with 2 names of user root (0)".
std::string DescribeObject(const struct stat& status);

// A path's last name in its folder, the folder held open (O_PATH), reached from "/" (or, for a
// relative path, the working folder) one name at a time so that every link on the way is judged
// before it is followed. The *at calls made on Folder() act on that folder, whatever becomes of
// its path meanwhile.
class TrustedPath {
public:
    TrustedPath() = default;
    ~TrustedPath();
    TrustedPath(const TrustedPath&) = delete;
    TrustedPath& operator=(const TrustedPath&) = delete;

    // Walks to the folder of the path's last name. With followLast, a link at the last name is
    // judged and followed like any other, so that the name reached is none; without it the last
    // name is only named (to make, remove or rename it). 0; EPERM with Refusal() when a link of
    // another user stands in a folder that others can write, or a link in its owner's own folder
    // leads to what its owner does not own (a folder or file of root or of a third user); EINVAL for a path without a
    // last name (empty, "/", ".", or ending in ".."; a trailing "." names the folder before it); else the errno value
    // that the walk met (ENOENT for a missing folder). A missing last name is no failure.
    int Walk(const std::string& path, bool followLast);
    // Walks to the last name of an absolute path as Walk does without following it, for a file
    // that this process keeps and later reads to act on it: every folder on the way, "/" included,
    // and every link, must be the super-user's or this process's user's, and no folder may be
    // writable by other users, by its mode or its access control list (unless sticky, or writable
    // only by the administrators' groups 0 and 80; see OthersByAccess). EPERM with Refusal() naming
    // the path and the folder or link otherwise; EINVAL for a relative path.
    int WalkKept(const std::string& path);

    // After a Walk: whether the object at the last name may be written, replaced or given another
    // mode, owner or attribute. EPERM with Refusal() when the folder is one that others can write
    // and the object is another user's (but for its owner's own in the owner's folder), or a file
    // with more names than this one (another user may have linked it there); 0 otherwise, nothing there included. A
    // link there (not followed) is the caller's to replace or remove, and is no refusal; after a walk that followed the
    // last name it is one that appeared meanwhile: ELOOP.
    int CheckObject();
    // After a Walk: the object at the last name opened (O_PATH, never through a link) and judged
    // as CheckObject judges it, so that what is done through the descriptor is done to what was
    // judged, whatever is put at the name meanwhile: the descriptor, or -1 with errno set (EPERM
    // with Refusal()).
    int OpenObject();
    // After a Walk: gives the object that OpenObject opens the mode, or the owner and group: 0,
    // EPERM with Refusal(), or the errno value met.
    int ChangeMode(mode_t mode);
    int ChangeOwner(uid_t owner, gid_t group);

    int Folder() const { return folder_; }
    // The folder as it was reached, every link resolved ("/" for the root).
    std::string FolderPath() const { return folderPath_.empty() ? std::string("/") : folderPath_; }
    const std::string& Name() const { return name_; }
    // The folder's path joined with the last name, or with another name.
    std::string NamePath() const { return InFolder(name_); }
    std::string InFolder(const std::string& name) const { return folderPath_ + "/" + name; }
    // The folder's status, looked at when first asked for (most walks never need it).
    const struct stat& FolderStatus() const;
    // Whether the walk followed a link at the last name that the caller named.
    bool FollowedLastLink() const { return followedLastLink_; }
    const std::string& Refusal() const { return refusal_; }

private:
    void Reset();
    // Makes fd the folder walked in, at the path text, with its status when known (else null).
    void Enter(int fd, const struct stat* status, const std::string& path);
    // Makes a folder that the run walked to before the folder walked in, with its status now.
    void Enter(const std::shared_ptr<const WalkedFolder>& walked, const struct stat& status, const std::string& path);
    // Gives the folder walked in to the run's folders, when one keeps them and may keep it.
    void Keep();
    // Opens the folder name of the folder at (or AT_FDCWD) and enters it: 0 or the errno value.
    int EnterFolder(int at, const char* name, const std::string& path);
    // In a walk to a kept file, the folder entered: 0, or EPERM with the refusal (0 in any other walk).
    int JudgeKeptFolder();

    // The steps of a walk. Each step that takes a name answers kNextName to go on with the next,
    // else the walk's answer.
    struct Walking;
    int Walk(const std::string& path, bool followLast, bool kept);
    // The names of the path to walk, and the folder they are walked from: 0 or the errno value.
    int StartWalk(const std::string& path, Walking& walk);
    // For an absolute path without "..": its last name's folder, opened in one step where the
    // path's text reaches it without a link (or taken from the run's folders).
    void EnterPlainFolder(const std::string& path, std::string::size_type lastSlash, Walking& walk);
    // "/" for an absolute path, else the working folder.
    int EnterStart(bool absolute);
    // The next pending name, taken in the folder walked in.
    int TakeName(Walking& walk);
    // A ".." of a link's text, or of the path (ofPath), which takes back the path's name before
    // it: the folder's parent is entered.
    int StepOut(Walking& walk, bool ofPath);
    // A folder on the way, opened as child, is entered.
    int EnterNext(Walking& walk, const std::string& name, int child, const struct stat& status);
    // The folder just entered, for a kept file and as where the links followed lead.
    int JudgeFolder(Walking& walk);
    // A link on the way, opened as link, judged and then walked in its text's names.
    int FollowLink(Walking& walk, const std::string& name, int link, const struct stat& status, bool isLast);
    // Whether a link of the status may be followed from the folder; the refusal when not. One in
    // its owner's own folder is noted, to lead only to what its owner owns.
    bool JudgeLink(Walking& walk, const std::string& name, const struct stat& link);
    // The last name reached: its status (null when nothing is there), judged as where the links
    // followed lead; child, when open, is closed.
    int JudgeLast(Walking& walk, const std::string& name, int child, const struct stat* status);
    // Whether the links of another user whose text was walked up to here led to what that user
    // owns (owner, at reached); the refusal when not.
    bool LedToOwnersOwn(Walking& walk, uid_t owner, const std::string& reached);

    int folder_ = -1;
    bool ownsFolder_ = false;
    std::shared_ptr<const WalkedFolder> walked_;  // holds folder_ open when it came from a run's folders
    bool mayKeep_ = false;    // folder_ was opened by the path's own text, no link met: a run may keep it
    std::string folderPath_;  // "" for the root
    mutable struct stat folderStatus_ = {};
    mutable bool folderStatusKnown_ = false;
    std::string name_;
    // The last name's status as the walk found it (a walk that followed the last name looks).
    struct stat nameStatus_ = {};
    bool nameStatusKnown_ = false;
    bool followLast_ = false;
    bool followedLastLink_ = false;
    bool kept_ = false;
    std::string keptPath_;  // the path of the kept file walked to, for refusals
    std::string refusal_;
};

// While one lives, the folders that walks reach by their path's own text (no link met on the way)
// are kept open, with their status, for the walks that follow: a walk to such a folder again
// looks at its path once (stat) and, where the same folder with the same mode and owner is found
// there, goes on in the one held open instead of walking and judging the path again. Whatever
// the path met meanwhile, what is done then is done in the folder judged before; another folder
// at the path, or a changed mode or owner, is walked anew. A run of file operations holds one
// (an install or uninstall walks to the same few folders for every file).
class WalkedFoldersHold {
public:
    WalkedFoldersHold();
    ~WalkedFoldersHold();
    WalkedFoldersHold(const WalkedFoldersHold&) = delete;
    WalkedFoldersHold& operator=(const WalkedFoldersHold&) = delete;
};

// The run that holds its folders now: a number of its own for each time a first
// WalkedFoldersHold begins, 0 while none lives. A folder of this process's own that a run checks
// once (its private temporary folder) is taken as checked for the rest of that run.
std::uint64_t CurrentRunOfHeldFolders();

// ---- Checks that report ----
//
// Each answers 0, or EPERM after handing the refusal to the listener; any other error of the
// walk answers 0, leaving the operation that follows to fail on it as it would have.

// For making, removing or renaming the path's last name: the folders that lead to it.
int CheckNameChange(const std::string& path);
// For writing the object at the path, or changing its mode, owner or attributes: the folders,
// a link at the last name, and the object reached.
int CheckWrite(const std::string& path);

// For changing the object at the path in place (its attributes, mode or owner): the path walked
// as for CheckWrite (a link at the last name followed or, without followLast, opened itself), and
// the object reached opened (TrustedPath::OpenObject) so that the change goes to what was judged.
// The descriptor, or -1 with errno set (EPERM after reporting the refusal).
int OpenForChange(const std::string& path, bool followLast);
// The path through which an object opened for its path alone (O_PATH) is reached by the calls
// that take a path and follow links ("/proc/self/fd/N").
std::string DescriptorPath(int fd);
// Give the object opened for its path alone the mode, or the owner and group: 0 or the errno value.
int ChangeModeOf(int fd, mode_t mode);
int ChangeOwnerOf(int fd, uid_t owner, gid_t group);

// Sets the function that hears every reported refusal, on the thread that was refused (the
// common layer's notes it as a failure reason in the session log); null drops them.
void SetRefusalListener(void (*listener)(const std::string& refusal));
void ReportRefusal(const std::string& refusal);

}  // namespace platform
