// DiskNames: names as a volume that is not case-sensitive matches them. Such a volume (a Mac
// start-up volume, as the system root's settings declare it) finds "Foo.txt" under "foo.txt";
// the Linux file system beneath it does not, so every lookup goes through OnDiskPath first.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// The path as the file system spells it: each component that names no entry exactly, but
// matches one ignoring case in a folder on a volume that is not case-sensitive, takes that
// entry's name; whatever does not exist stays as given. A path that exists as given comes back
// unchanged at the cost of one lstat(2).
std::string OnDiskPath(const std::string& path);
// The same for a path that lstat(2) has just found missing (ENOENT): spares the lstat again.
std::string OnDiskPathOfMissing(const std::string& path);

// lstat(2) of the object at a path as the file system spells it, in one look where the path exists
// as given: 0 and its spelling and status, or the errno value of the failure (onDisk then holds the
// path as given, or the other spelling that was tried).
int LookUpOnDisk(const std::string& path, std::string& onDisk, struct stat& info);

// Whether an entry of the folder has the name, as its known names say (one stat(2) of the folder
// while they are current): 0 when none has it, nor another spelling of it where the folder's
// volume ignores case; EEXIST when one has; ENOENT when the folder cannot be read.
int FindNameInFolder(const std::string& folder, const std::string& name);

// After this process made or removed the object at a path: keeps the names it knows of that
// folder up to date, so that a folder filled one file after another is not read again whole
// for each. (Without the note the folder is read again at its next lookup.)
void NoteNameChange(const std::string& path);
// The same, from a caller that knows whether the object now exists (it just made it, say), and
// that may hold the object's folder open (folderFd, or -1): its status is then taken from that.
void NoteNameChange(const std::string& path, bool exists, int folderFd = -1);

// ---- In a folder held open ----
// For a file about to be made: the lookups and the making happen in the one folder opened
// once (an O_PATH descriptor will do), whatever becomes of its path meanwhile, and each costs
// no walk along the path again. folder is the path it was opened by.

// The entry that stands for name in the folder on a volume that is not case-sensitive, when it
// is spelled otherwise (the caller has found nothing under name itself): true with its spelling.
bool OtherSpellingInFolder(int folderFd, const std::string& folder, const std::string& name, std::string& spelled);
// The same with the folder's status as the caller has just found it (a trusted walk's).
bool OtherSpellingInFolder(int folderFd, const std::string& folder, const struct stat& status, const std::string& name,
                           std::string& spelled);
// NoteNameChange for an entry of a folder held open.
void NoteNameChangeInFolder(int folderFd, const std::string& folder, const std::string& name, bool exists);

// ---- A folder held open for a run ----

// A trusted folder that one file after another is moved into and removed from (a volume's
// temporary folder during an uninstall): opened once, when it was found and checked, so that each
// name lookup, move and removal in it works through the descriptor instead of walking its path.
// While one lives, FindHeldFolder finds it by the path it was opened by.
class HeldFolder {
public:
    // Opens the folder at the path (never through a link at its last name) and holds it when
    // trusted accepts the status of what was opened: null otherwise.
    static std::shared_ptr<HeldFolder> Open(const std::string& path,
                                            const std::function<bool(const struct stat&)>& trusted);
    ~HeldFolder();
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    const std::string& Path() const { return path_; }

    // Whether the folder at its path is still this one: 0 with the status found there; ESTALE
    // when another object stands there now; else the errno value of the look (ENOENT: gone).
    int LookAtPath(struct stat& status) const;
    // The same, looked at once in each run of held folders (CurrentRunOfHeldFolders) and taken as
    // found for the rest of it: a folder private to this process's user that only this process
    // moves files into (an uninstall's temporary folder), which another process of that user
    // could replace only deliberately. A move that then finds the folder gone fails, and the
    // caller looks again. Outside a run, every call looks.
    int CheckedAtPath() const;
    // Whether the folder held still has a name anywhere (it was not removed).
    bool Linked() const;
    // FindNameInFolder for this folder, through its descriptor. In a run of held folders the
    // names are checked against the folder's time once and then kept up to date by MoveIn,
    // without a look at the folder for each name: a name that another process put there
    // meanwhile is no danger, since a move into the folder never replaces anything.
    int FindName(const std::string& name) const;
    // Moves the object at a path to the name in this folder without ever replacing anything
    // there (RenameNoReplace) and notes both names: 0 or the errno value of the failure.
    int MoveIn(const std::string& from, const std::string& name) const;
    // The same for the entry fromName of a folder held open by fromFolderFd, at the path from.
    int MoveIn(int fromFolderFd, const std::string& fromName, const std::string& from, const std::string& name) const;
    // Removes the entry of that name (a file, a link itself or an empty folder) and notes it: 0
    // or the errno value of the failure.
    int Remove(const std::string& name) const;

private:
    HeldFolder(const std::string& path, int fd, const struct stat& status);

    std::string path_;
    int fd_;
    dev_t device_;
    ino_t inode_;
    mutable std::atomic<std::uint64_t> checkedRun_{0};  // the run in which CheckedAtPath last found it
    mutable std::atomic<std::uint64_t> namesRun_{0};    // the run in which FindName last read the time
};

// The folder held open that was opened by this path, if any.
std::shared_ptr<HeldFolder> FindHeldFolder(const std::string& path);

}  // namespace platform
