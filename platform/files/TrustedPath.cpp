#include "platform/files/TrustedPath.h"

#include "platform/files/AccessControlList.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <list>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

// As many links as the kernel follows in one path.
const int kMaxLinks = 40;

// What a step of a walk answers to go on with the next name (no errno value, nor 0).
const int kNextName = -1;

std::atomic<void (*)(const std::string&)> gRefusalListener(nullptr);

bool OfAnotherUser(const struct stat& status)
{
    return status.st_uid != geteuid() && status.st_uid != 0;
}

// Whether users besides its owner can write in the folder by its mode.
bool WritableByMode(const struct stat& folder)
{
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Whether the object is the business of the other user whose own folder (that nobody else can
// write) holds it: that user may make, change and replace it, as in any folder of their own.
bool OwnersOwn(const struct stat& folder, const struct stat& object)
{
    return OfAnotherUser(folder) && !WritableByMode(folder) && object.st_uid == folder.st_uid;
}

std::string Parent(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The names of a path, last first (so that the next one is at the back); empty names and "."
// left out.
void PushNames(const std::string& path, std::vector<std::string>& pending)
{
    std::vector<std::string> names;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        if (!name.empty() && name != ".")
            names.push_back(name);
        start = end + 1;
    }
    pending.insert(pending.end(), names.rbegin(), names.rend());
}

// The last name of a path, as PushNames would give it.
std::string LastName(const std::string& path)
{
    std::vector<std::string> names;
    PushNames(path, names);
    return names.empty() ? std::string() : names.front();
}

// An absolute path without empty, "." or ".." names and without a slash at its end: its names
// are exactly what lies between its slashes.
bool IsPlainAbsolute(const std::string& path)
{
    if (path.size() < 2 || path[0] != '/' || path.back() == '/')
        return false;
    std::string::size_type start = 1;
    while (start <= path.size()) {
        std::string::size_type end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string::size_type length = end - start;
        if (length == 0 || (path[start] == '.' && (length == 1 || (length == 2 && path[start + 1] == '.'))))
            return false;
        start = end + 1;
    }
    return true;
}

// A folder opened by a path in which the kernel met no link at all (then none needs judging),
// in one system call; -1 where it met one, or cannot tell.
int OpenWithoutLinks(const std::string& path)
{
    struct open_how how = {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof(how));
    return fd < 0 ? -1 : static_cast<int>(fd);
}

// The descriptor with the status of what it opened, or -1 (errno set) when it is -1 or cannot be
// looked at (it is closed then).
int WithStatus(int fd, struct stat& status)
{
    if (fd < 0 || fstat(fd, &status) == 0)
        return fd;
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
}

// The name in the folder opened (O_PATH, never through a link) with its status, or -1 (errno set).
int OpenName(int folder, const std::string& name, struct stat& status)
{
    return WithStatus(openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC), status);
}

// The last name of a walk looked at, and opened as OpenName does only where it is a link (to be
// read): the descriptor, AT_FDCWD for what is no link, or -1 (errno set).
int LookAtLast(int folder, const std::string& name, struct stat& status)
{
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    return S_ISLNK(status.st_mode) ? OpenName(folder, name, status) : AT_FDCWD;
}

// The text of the link opened at fd, which is closed: 0, or the errno value (ENOENT for an empty
// text, as the kernel answers).
int ReadLinkText(int fd, std::string& text)
{
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlinkat(fd, "", buffer, sizeof(buffer));
    const int error = errno;
    close(fd);
    if (length < 0)
        return error;
    if (static_cast<std::size_t>(length) >= sizeof(buffer))
        return ENAMETOOLONG;
    if (length == 0)
        return ENOENT;
    text.assign(buffer, static_cast<std::size_t>(length));
    return 0;
}

// The names of a path to walk first, as PushNames gives them: of a plain absolute path only the
// last name, after lastSlash. False for a path without a last name (empty, "/", ending in ".."
// or only in empty and "." names).
bool PushFirstNames(const std::string& path, std::string::size_type lastSlash, std::vector<std::string>& pending)
{
    if (lastSlash != std::string::npos) {
        pending.push_back(path.substr(lastSlash + 1));
        return true;
    }
    PushNames(path, pending);
    return !pending.empty() && pending.front() != "..";
}

// The folder of the last name of an absolute path without "..": before lastSlash when the path
// is plain, else made of the names pending (last first).
std::string FolderOfLast(const std::string& path, std::string::size_type lastSlash,
                         const std::vector<std::string>& pending)
{
    if (lastSlash != std::string::npos)
        return lastSlash == 0 ? std::string("/") : path.substr(0, lastSlash);
    std::string folder;
    for (std::size_t i = pending.size(); i-- > 1;)
        folder += "/" + pending[i];
    return folder.empty() ? std::string("/") : folder;
}

}  // namespace

// A folder that a walk of the run reached by its path's own text, held open with its status then.
struct WalkedFolder {
    WalkedFolder(int descriptor, const struct stat& judged) : fd(descriptor), status(judged) {}
    ~WalkedFolder() { close(fd); }
    WalkedFolder(const WalkedFolder&) = delete;
    WalkedFolder& operator=(const WalkedFolder&) = delete;

    const int fd;
    const struct stat status;
};

namespace {

// The folders kept while a WalkedFoldersHold lives, by the path they were reached by.
class WalkedFolders {
public:
    void Hold()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (holds_++ == 0)
            run_ = ++runs_;
    }

    void Release()
    {
        std::list<Entry> dropped;
        std::lock_guard<std::mutex> lock(mutex_);
        if (--holds_ == 0) {
            dropped.swap(folders_);
            run_ = 0;
        }
    }

    std::uint64_t Run() const { return run_; }

    bool Holding()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return holds_ > 0;
    }

    std::shared_ptr<const WalkedFolder> Find(const std::string& path)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = folders_.begin(); it != folders_.end(); ++it) {
            if (it->first != path)
                continue;
            if (it != folders_.begin())
                folders_.splice(folders_.begin(), folders_, it);
            return folders_.front().second;
        }
        return nullptr;
    }

    void Keep(const std::string& path, const std::shared_ptr<const WalkedFolder>& folder)
    {
        std::list<Entry> dropped;  // closed after the lock is let go
        std::lock_guard<std::mutex> lock(mutex_);
        if (holds_ == 0)
            return;
        for (auto it = folders_.begin(); it != folders_.end(); ++it) {
            if (it->first == path) {
                dropped.splice(dropped.end(), folders_, it);
                break;
            }
        }
        folders_.emplace_front(path, folder);
        if (folders_.size() > kKept)
            dropped.splice(dropped.end(), folders_, std::prev(folders_.end()));
    }

private:
    typedef std::pair<std::string, std::shared_ptr<const WalkedFolder> > Entry;
    // Few: a run works in one folder after another, and each kept folder holds a descriptor.
    static const std::size_t kKept = 32;

    std::mutex mutex_;  // guards holds_, runs_ and folders_
    int holds_ = 0;
    std::uint64_t runs_ = 0;
    std::atomic<std::uint64_t> run_{0};  // runs_ while a hold lives, else 0 (read without the lock)
    std::list<Entry> folders_;  // most recently used first
};

WalkedFolders& Walked()
{
    static WalkedFolders* folders = new WalkedFolders;
    return *folders;
}

// Whether the folder found at a path now is the one judged before, as it was then: the same
// object, whose mode and owner (all that the judgement of its names read) have not changed.
bool SameJudged(const struct stat& now, const struct stat& judged)
{
    return now.st_dev == judged.st_dev && now.st_ino == judged.st_ino && now.st_mode == judged.st_mode &&
           now.st_uid == judged.st_uid;
}

}  // namespace

WalkedFoldersHold::WalkedFoldersHold()
{
    Walked().Hold();
}

WalkedFoldersHold::~WalkedFoldersHold()
{
    Walked().Release();
}

std::uint64_t CurrentRunOfHeldFolders()
{
    return Walked().Run();
}

std::string DescribeUser(uid_t uid)
{
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof(buffer), &found) == 0 && found != nullptr && found->pw_name != nullptr)
        return std::string(found->pw_name) + " (" + std::to_string(uid) + ")";
    return std::to_string(uid);
}

bool OthersCanWrite(const struct stat& folder)
{
    return WritableByMode(folder) || OfAnotherUser(folder);
}

std::string OthersByMode(const struct stat& status)
{
    if ((status.st_mode & S_IWOTH) != 0)
        return "every user";
    if ((status.st_mode & S_IWGRP) != 0 && status.st_gid != 0 && status.st_gid != 80)
        return "the group " + std::to_string(status.st_gid);
    return std::string();
}

std::string DescribeObject(const struct stat& status)
{
    std::string what = "a special file";
    if (S_ISLNK(status.st_mode))
        what = "a symbolic link";
    else if (S_ISDIR(status.st_mode))
        what = "a folder";
    else if (S_ISFIFO(status.st_mode))
        what = "a pipe";
    else if (S_ISREG(status.st_mode))
        what = status.st_nlink > 1 ? "a file with " + std::to_string(status.st_nlink) + " names" : "a file";
    return what + " of user " + DescribeUser(status.st_uid);
}

TrustedPath::~TrustedPath()
{
    Reset();
}

void TrustedPath::Reset()
{
    Keep();
    kept_ = false;
    keptPath_.clear();
    if (folder_ >= 0 && ownsFolder_)
        close(folder_);
    folder_ = -1;
    ownsFolder_ = false;
    walked_.reset();
    mayKeep_ = false;
    folderPath_.clear();
    folderStatusKnown_ = false;
    name_.clear();
    nameStatusKnown_ = false;
    followedLastLink_ = false;
    refusal_.clear();
}

int TrustedPath::EnterFolder(int at, const char* name, const std::string& path)
{
    const int fd = openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    Enter(fd, nullptr, path);
    return 0;
}

void TrustedPath::Enter(int fd, const struct stat* status, const std::string& path)
{
    if (folder_ >= 0 && ownsFolder_)
        close(folder_);
    folder_ = fd;
    ownsFolder_ = true;
    walked_.reset();
    mayKeep_ = false;
    folderStatusKnown_ = status != nullptr;
    if (status != nullptr)
        folderStatus_ = *status;
    folderPath_ = path == "/" ? std::string() : path;
}

void TrustedPath::Enter(const std::shared_ptr<const WalkedFolder>& walked, const struct stat& status,
                        const std::string& path)
{
    Enter(walked->fd, &status, path);
    ownsFolder_ = false;
    walked_ = walked;
}

void TrustedPath::Keep()
{
    if (!mayKeep_ || !ownsFolder_ || folder_ < 0 || !Walked().Holding())
        return;
    struct stat status = folderStatus_;
    if (!folderStatusKnown_ && fstat(folder_, &status) != 0)
        return;
    Walked().Keep(FolderPath(), std::make_shared<const WalkedFolder>(folder_, status));
    ownsFolder_ = false;
    mayKeep_ = false;
}

const struct stat& TrustedPath::FolderStatus() const
{
    // A folder that cannot be looked at is taken for one that others can write.
    if (!folderStatusKnown_ && fstat(folder_, &folderStatus_) != 0) {
        folderStatus_ = {};
        folderStatus_.st_mode = S_IFDIR | 0777;
    }
    folderStatusKnown_ = true;
    return folderStatus_;
}

// What a walk carries from one name to the next.
struct TrustedPath::Walking {
    // The links of another user followed in that user's own folder, innermost last: each must
    // lead to what the same user owns, looked at as soon as the names of its text are walked
    // (when no more names are pending than before them): the folder or last name reached then,
    // or, for a text without names ("/", "."), the folder that it leads to.
    struct Lead {
        std::size_t pendingBefore;
        uid_t owner;
        std::string link;
    };

    // A name of the path itself, taken in a folder, which a ".." of the path that follows takes
    // back: by the path's text, that ".." climbs back into the folder the name was taken in. Where
    // links of another user, followed for the name, made it climb elsewhere, it may climb only into
    // what such a user owns.
    struct PathName {
        dev_t folderDevice;
        ino_t folderInode;
        std::vector<uid_t> linkOwners;
        std::string link;  // the first of those links
    };

    std::vector<std::string> pending;  // the names still to walk, the next one at the back
    std::size_t pathPending = 0;       // how many of them, at the front, are the path's own
    bool pathClimbs = false;           // whether the path holds a ".." (else pathNames stays empty)
    int links = 0;                     // followed so far
    std::vector<Lead> leads;
    std::vector<PathName> pathNames;
};

bool TrustedPath::JudgeLink(Walking& walk, const std::string& name, const struct stat& link)
{
    if (!OfAnotherUser(link))
        return true;
    if (kept_) {
        refusal_ = "Refused to read \"" + keptPath_ + "\": the symbolic link \"" + InFolder(name) +
                   "\" on its way belongs to user " + DescribeUser(link.st_uid);
        return false;
    }
    if (!OthersCanWrite(FolderStatus()))
        return true;
    // In a folder of the link's owner that nobody else can write, the link is that user's own,
    // followed as far as what that user owns.
    if (OwnersOwn(FolderStatus(), link)) {
        walk.leads.push_back(Walking::Lead{walk.pending.size(), link.st_uid, InFolder(name)});
        if (!walk.pathNames.empty()) {
            Walking::PathName& taken = walk.pathNames.back();
            if (taken.linkOwners.empty())
                taken.link = InFolder(name);
            taken.linkOwners.push_back(link.st_uid);
        }
        return true;
    }
    refusal_ = "Refused to follow the symbolic link \"" + InFolder(name) + "\" of user " + DescribeUser(link.st_uid) +
               ": it lies in \"" + FolderPath() + "\", a folder that other users can write";
    return false;
}

int TrustedPath::JudgeKeptFolder()
{
    if (!kept_)
        return 0;
    const struct stat& folder = FolderStatus();
    std::string why;
    if (OfAnotherUser(folder))
        why = "belongs to user " + DescribeUser(folder.st_uid);
    else if ((folder.st_mode & S_ISVTX) == 0 && !(why = OthersByAccess(folder_, folder)).empty())
        why = "can be written by " + why;
    if (why.empty())
        return 0;
    refusal_ = "Refused to read \"" + keptPath_ + "\"";
    struct stat found;
    if (lstat(keptPath_.c_str(), &found) == 0)
        refusal_ += ", " + DescribeObject(found);
    refusal_ += ": the folder \"" + FolderPath() + "\" on its way " + why;
    return EPERM;
}

bool TrustedPath::LedToOwnersOwn(Walking& walk, uid_t owner, const std::string& reached)
{
    // Every link whose names are used up, the outer ones of a chain with the innermost.
    for (; !walk.leads.empty() && walk.leads.back().pendingBefore >= walk.pending.size(); walk.leads.pop_back()) {
        const Walking::Lead& lead = walk.leads.back();
        if (lead.owner == owner)
            continue;
        refusal_ = "Refused to follow the symbolic link \"" + lead.link + "\" of user " + DescribeUser(lead.owner) +
                   ": it leads to \"" + reached + "\" of user " + DescribeUser(owner) + ", not to what its owner owns";
        return false;
    }
    return true;
}

int TrustedPath::Walk(const std::string& path, bool followLast)
{
    return Walk(path, followLast, false);
}

int TrustedPath::WalkKept(const std::string& path)
{
    return Walk(path, false, true);
}

int TrustedPath::Walk(const std::string& path, bool followLast, bool kept)
{
    Reset();
    followLast_ = followLast;
    kept_ = kept;
    Walking walk;
    if (const int error = StartWalk(path, walk))
        return error;
    walk.pathPending = walk.pending.size();
    walk.pathClimbs = std::find(walk.pending.begin(), walk.pending.end(), "..") != walk.pending.end();
    int step = kNextName;
    while (step == kNextName && !walk.pending.empty())
        step = TakeName(walk);
    // A link's text that named nothing beyond its folder ("." or "a/.").
    return step == kNextName ? EINVAL : step;
}

int TrustedPath::StartWalk(const std::string& path, Walking& walk)
{
    const bool absolute = !path.empty() && path[0] == '/';
    if (kept_) {
        if (!absolute)
            return EINVAL;
        keptPath_ = path;
    }
    // Most paths a run walks are absolute and plain: their folder is all before the last slash.
    const std::string::size_type lastSlash = IsPlainAbsolute(path) ? path.rfind('/') : std::string::npos;
    if (!PushFirstNames(path, lastSlash, walk.pending))
        return EINVAL;
    // Most paths hold no link: their folder is opened in one step, and only the last name is
    // walked. One that holds a link is walked from the start, as is the path to a kept file, whose
    // every folder is judged.
    const bool parentStep = std::find(walk.pending.begin(), walk.pending.end(), "..") != walk.pending.end();
    if (absolute && !parentStep && !kept_)
        EnterPlainFolder(path, lastSlash, walk);
    if (folder_ >= 0)
        return 0;
    if (lastSlash != std::string::npos)
        PushNames(path.substr(0, lastSlash), walk.pending);
    return EnterStart(absolute);
}

void TrustedPath::EnterPlainFolder(const std::string& path, std::string::size_type lastSlash, Walking& walk)
{
    const std::string folder = FolderOfLast(path, lastSlash, walk.pending);
    // A folder that the run judged before is taken where the path still finds it as it was.
    struct stat now;
    if (std::shared_ptr<const WalkedFolder> walked = Walked().Find(folder)) {
        if (stat(folder.c_str(), &now) == 0 && SameJudged(now, walked->status))
            Enter(walked, now, folder);
    }
    if (folder_ < 0) {
        const int fd = OpenWithoutLinks(folder);
        if (fd < 0)
            return;
        Enter(fd, nullptr, folder);
        mayKeep_ = true;
    }
    walk.pending.erase(walk.pending.begin() + 1, walk.pending.end());
}

int TrustedPath::EnterStart(bool absolute)
{
    std::string start = "/";
    if (!absolute) {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof(cwd)) == nullptr)
            return errno;
        start = cwd;
    }
    if (const int error = EnterFolder(AT_FDCWD, absolute ? "/" : ".", start))
        return error;
    return JudgeKeptFolder();
}

int TrustedPath::TakeName(Walking& walk)
{
    const std::string name = walk.pending.back();
    // The path's own names lie under those of the links' texts.
    const bool ofPath = walk.pending.size() == walk.pathPending;
    if (ofPath)
        --walk.pathPending;
    walk.pending.pop_back();
    const bool isLast = walk.pending.empty();
    // Only a link's text can end in ".." (the path itself was refused before).
    if (name == "..")
        return isLast ? EINVAL : StepOut(walk, ofPath);
    if (ofPath && walk.pathClimbs)
        walk.pathNames.push_back(Walking::PathName{FolderStatus().st_dev, FolderStatus().st_ino, {}, std::string()});
    if (isLast && !followLast_) {
        name_ = name;
        return 0;
    }
    // A folder on the way is opened, so that the walk goes on in the one it judged; the last
    // name is only looked at (what is done to it is done in its folder, by name), unless it
    // is a link, which is judged and read through a descriptor of its own like any other.
    struct stat status;
    const int child = isLast ? LookAtLast(folder_, name, status) : OpenName(folder_, name, status);
    if (child == -1)
        return isLast && errno == ENOENT ? JudgeLast(walk, name, -1, nullptr) : errno;
    if (S_ISLNK(status.st_mode))
        return FollowLink(walk, name, child, status, isLast);
    return isLast ? JudgeLast(walk, name, child, &status) : EnterNext(walk, name, child, status);
}

int TrustedPath::StepOut(Walking& walk, bool ofPath)
{
    if (const int error = EnterFolder(folder_, "..", folderPath_.empty() ? "/" : Parent(folderPath_)))
        return error;
    if (!ofPath || walk.pathNames.empty())
        return JudgeFolder(walk);
    const Walking::PathName taken = walk.pathNames.back();
    walk.pathNames.pop_back();
    const struct stat& reached = FolderStatus();
    const bool asWritten = reached.st_dev == taken.folderDevice && reached.st_ino == taken.folderInode;
    if (asWritten || taken.linkOwners.empty())
        return JudgeFolder(walk);
    if (std::find(taken.linkOwners.begin(), taken.linkOwners.end(), reached.st_uid) != taken.linkOwners.end()) {
        // Still the user's, but not where the text climbs to: the next ".." is judged the same way.
        if (!walk.pathNames.empty()) {
            Walking::PathName& before = walk.pathNames.back();
            if (before.linkOwners.empty())
                before.link = taken.link;
            before.linkOwners.insert(before.linkOwners.end(), taken.linkOwners.begin(), taken.linkOwners.end());
        }
        return JudgeFolder(walk);
    }
    refusal_ = "Refused to follow the symbolic link \"" + taken.link + "\" of user " +
               DescribeUser(taken.linkOwners.front()) + ": the path climbs out of where it leads, into \"" +
               FolderPath() + "\" of user " + DescribeUser(reached.st_uid);
    return EPERM;
}

int TrustedPath::EnterNext(Walking& walk, const std::string& name, int child, const struct stat& status)
{
    if (!S_ISDIR(status.st_mode)) {
        close(child);
        return ENOTDIR;
    }
    Enter(child, &status, InFolder(name));
    return JudgeFolder(walk);
}

int TrustedPath::JudgeFolder(Walking& walk)
{
    if (JudgeKeptFolder() != 0)
        return EPERM;
    return LedToOwnersOwn(walk, FolderStatus().st_uid, FolderPath()) ? kNextName : EPERM;
}

int TrustedPath::FollowLink(Walking& walk, const std::string& name, int link, const struct stat& status, bool isLast)
{
    if (!JudgeLink(walk, name, status)) {
        close(link);
        return EPERM;
    }
    std::string target;
    if (const int error = ReadLinkText(link, target))
        return error;
    if (++walk.links > kMaxLinks)
        return ELOOP;
    if (isLast)
        followedLastLink_ = true;
    if (isLast && LastName(target).empty())
        return EINVAL;
    PushNames(target, walk.pending);
    if (target[0] == '/') {
        if (const int error = EnterFolder(AT_FDCWD, "/", "/"))
            return error;
        if (JudgeKeptFolder() != 0)
            return EPERM;
    }
    // A text without names ("/", "//", "." or "./") leads to the folder walked in now: no later
    // step reaches it with as many names pending, so it is judged here.
    if (walk.leads.empty() || walk.leads.back().pendingBefore < walk.pending.size())
        return kNextName;
    return LedToOwnersOwn(walk, FolderStatus().st_uid, FolderPath()) ? kNextName : EPERM;
}

int TrustedPath::JudgeLast(Walking& walk, const std::string& name, int child, const struct stat* status)
{
    if (child >= 0)
        close(child);
    name_ = name;
    // What a link leads to that is not there yet would be made in this folder.
    if (status == nullptr)
        return LedToOwnersOwn(walk, FolderStatus().st_uid, FolderPath()) ? 0 : EPERM;
    nameStatus_ = *status;
    nameStatusKnown_ = true;
    return LedToOwnersOwn(walk, status->st_uid, NamePath()) ? 0 : EPERM;
}

int TrustedPath::CheckObject()
{
    struct stat status = nameStatus_;
    if (!nameStatusKnown_ && fstatat(folder_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISLNK(status.st_mode))
        return followLast_ ? ELOOP : 0;
    const bool otherNames = !S_ISDIR(status.st_mode) && status.st_nlink > 1;
    if ((!OfAnotherUser(status) && !otherNames) || !OthersCanWrite(FolderStatus()))
        return 0;
    // In a folder of another user that nobody else can write, that user's own objects are theirs
    // to have root change; a second name is still one that user may have given root's file.
    if (OfAnotherUser(status) && !OwnersOwn(FolderStatus(), status)) {
        refusal_ = "Refused to write \"" + NamePath() + "\" of user " + DescribeUser(status.st_uid) + ": it lies in \"" +
                   FolderPath() + "\", a folder that other users can write";
        return EPERM;
    }
    if (otherNames) {
        refusal_ = "Refused to write \"" + NamePath() + "\", which has " + std::to_string(status.st_nlink) +
                   " names: it lies in \"" + FolderPath() + "\", a folder that other users can write";
        return EPERM;
    }
    return 0;
}

int TrustedPath::OpenObject()
{
    const int fd = OpenName(folder_, name_, nameStatus_);
    nameStatusKnown_ = fd >= 0;
    if (fd < 0)
        return -1;
    if (const int error = CheckObject()) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int TrustedPath::ChangeMode(mode_t mode)
{
    const int fd = OpenObject();
    if (fd < 0)
        return errno;
    const int error = ChangeModeOf(fd, mode);
    close(fd);
    return error;
}

int TrustedPath::ChangeOwner(uid_t owner, gid_t group)
{
    const int fd = OpenObject();
    if (fd < 0)
        return errno;
    const int error = ChangeOwnerOf(fd, owner, group);
    close(fd);
    return error;
}

std::string DescriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

int ChangeModeOf(int fd, mode_t mode)
{
    // fchmod refuses a descriptor opened for its path alone.
    return chmod(DescriptorPath(fd).c_str(), mode) == 0 ? 0 : errno;
}

int ChangeOwnerOf(int fd, uid_t owner, gid_t group)
{
    return fchownat(fd, "", owner, group, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

int OpenForChange(const std::string& path, bool followLast)
{
    TrustedPath place;
    int error = place.Walk(path, followLast);
    const int fd = error == 0 ? place.OpenObject() : -1;
    if (fd >= 0)
        return fd;
    if (error == 0)
        error = errno;
    if (error == EPERM)
        ReportRefusal(place.Refusal());
    errno = error;
    return -1;
}

void SetRefusalListener(void (*listener)(const std::string& refusal))
{
    gRefusalListener.store(listener);
}

void ReportRefusal(const std::string& refusal)
{
    if (void (*listener)(const std::string&) = gRefusalListener.load())
        listener(refusal);
}

int CheckNameChange(const std::string& path)
{
    TrustedPath place;
    if (place.Walk(path, false) != EPERM)
        return 0;
    ReportRefusal(place.Refusal());
    return EPERM;
}

int CheckWrite(const std::string& path)
{
    TrustedPath place;
    const int walked = place.Walk(path, true);
    if (walked != 0 && walked != EPERM)
        return 0;
    if (walked == 0 && place.CheckObject() != EPERM)
        return 0;
    ReportRefusal(place.Refusal());
    return EPERM;
}

}  // namespace platform
