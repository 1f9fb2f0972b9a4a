// The file operations of FileSystemUtils that rest on the platform: the copy of every fork and
// the catalog information, the move and the exchange of two files.
#include "Common/source/xplat/FileSystemUtils.h"
#include "FileSystemUtilsMac.h"

#include "platform/FaultInjection.h"
#include "platform/Folders.h"
#include "platform/files/DiskNames.h"
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/FileRef.h"
#include "platform/files/Rename.h"
#include "platform/files/TrustedPath.h"

#include <boost/format.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace FileSystemUtils {

namespace {

const std::size_t kCopyBufferSize = 16384;
const std::uint16_t kFinderFlagHasBeenInited = 0x0100;

// Closes the descriptor when it goes out of scope (unless released first).
class ScopedDescriptor {
public:
    explicit ScopedDescriptor(int fd) : fd_(fd) {}
    ~ScopedDescriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and answers whether the close reported no error (a late write error shows here).
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

void NoteAttributeFailure(const char* what, const FileSystemPath& path, int error)
{
    NoteFailureReason(boost::str(boost::format("Unable to keep the %1% of \"%2%\": %3%") % what % path.AsUTF8String() %
                                 platform::ExtendedAttributeErrorText(error)));
}

void NoteCopyFailure(const FileSystemPath& source, const FileSystemPath& target, int error)
{
    NoteFailureReason(boost::str(boost::format("Unable to copy \"%1%\" to \"%2%\": %3%") % source.AsUTF8String() %
                                 target.AsUTF8String() % (error != 0 ? std::strerror(error) : "short write")));
}

// Reads one attribute of the source for the copy: false only for a read error, so that a file
// system without attributes reads as a file without them.
bool ReadSourceAttribute(int fd, const char* name, std::string& value, bool& present)
{
    const int error = platform::GetExtendedAttribute(fd, name, value);
    present = error == 0;
    return error == 0 || error == ENODATA || error == ENOTSUP;
}

// Copies what read/write must: the rest of the data from the descriptors' current offsets.
bool CopyDataThroughBuffer(int from, int to)
{
    std::vector<char> buffer(kCopyBufferSize);
    for (;;) {
        const ssize_t count = read(from, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (count == 0)
            return true;
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(count)) {
            const ssize_t result = write(to, buffer.data() + written, static_cast<std::size_t>(count) - written);
            if (result < 0 && errno == EINTR)
                continue;
            if (result <= 0)
                return false;
            written += static_cast<std::size_t>(result);
        }
    }
}

// The data fork, to the end of the source: copied by the kernel where it can (no round trip
// through our memory, and a file system that can share blocks shares them), through a buffer
// where it cannot.
bool CopyData(int from, int to)
{
    const std::size_t kChunk = 1 << 30;
    for (;;) {
        const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
        if (copied > 0)
            continue;
        if (copied == 0)
            return true;
        if (errno == EINTR)
            continue;
        // Between file systems that cannot copy to each other, or where the call is missing,
        // the buffer takes over from where the kernel stopped.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)
            return CopyDataThroughBuffer(from, to);
        return false;
    }
}

// Everything of the copy after the target was created; false leaves the caller to delete it.
// Without sourceOwner the copy keeps the owner it was made with.
bool FillCopy(int source, const struct stat& sourceInfo, int target, const FileSystemPath& targetPath, bool sourceOwner)
{
    std::string finderInfoBytes;
    std::string resourceFork;
    bool hasFinderInfo = false;
    bool hasResourceFork = false;
    // Most files carry no attributes at all: one look says so for both.
    if (!platform::HasNoExtendedAttributes(source) &&
        (!ReadSourceAttribute(source, platform::kFinderInfoAttribute, finderInfoBytes, hasFinderInfo) ||
         !ReadSourceAttribute(source, platform::kResourceForkAttribute, resourceFork, hasResourceFork)))
        return false;

    if (hasFinderInfo) {
        if (finderInfoBytes.size() == sizeof(platform::FinderInfo().bytes))
            finderInfoBytes[8] = static_cast<char>(finderInfoBytes[8] & ~(kFinderFlagHasBeenInited >> 8));
        if (finderInfoBytes.find_first_not_of('\0') == std::string::npos)
            hasFinderInfo = false;
    }
    if (hasFinderInfo) {
        if (const int error = platform::SetExtendedAttribute(target, platform::kFinderInfoAttribute, finderInfoBytes)) {
            NoteAttributeFailure("Finder information", targetPath, error);
            return false;
        }
    }
    // Where tests make a copy run out of space or into an I/O error.
    if (const int injected = platform::InjectedFault("copy-data", targetPath.AsUTF8String())) {
        errno = injected;
        return false;
    }
    if (!CopyData(source, target))
        return false;
    if (hasResourceFork) {
        if (const int error = platform::SetExtendedAttribute(target, platform::kResourceForkAttribute, resourceFork)) {
            NoteAttributeFailure("resource fork", targetPath, error);
            return false;
        }
    }

    const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (futimens(target, times) != 0)
        return false;
    // Owner before mode: a change of owner clears the set-id bits that the mode may set.
    struct stat targetInfo;
    if (fstat(target, &targetInfo) != 0)
        return false;
    if (sourceOwner && (targetInfo.st_uid != sourceInfo.st_uid || targetInfo.st_gid != sourceInfo.st_gid) &&
        fchown(target, sourceInfo.st_uid, sourceInfo.st_gid) != 0)
        return false;
    return fchmod(target, sourceInfo.st_mode & 07777) == 0;
}

// lstat(2) of a path as the file system spells it (another spelling of a name, on a volume that
// ignores case); onDisk receives that spelling, or the path as given when nothing is there.
bool LookUpOnDisk(const FileSystemPath& path, std::string& onDisk, struct stat& info)
{
    return platform::LookUpOnDisk(path.AsUTF8String(), onDisk, info) == 0;
}

}  // namespace

NewFilePlace::NewFilePlace(const FileSystemPath& path)
    : walk_(new platform::TrustedPath), folder_(-1), folderError_(0), taken_(false)
{
    const std::string text = path.AsUTF8String();
    const std::string::size_type slash = text.find_last_of('/');
    if (slash == std::string::npos || slash + 1 >= text.size()) {
        // The root, or no full path: nothing new can be made there.
        folderError_ = EEXIST;
        taken_ = slash != std::string::npos;
        return;
    }
    folderPath_ = slash == 0 ? std::string("/") : text.substr(0, slash);
    name_ = text.substr(slash + 1);
    // The folder is reached without following a link that another user planted where others can
    // write; the name itself is never followed (the copy is made exclusively).
    platform::TrustedPath& place = *walk_;
    bool walked = FileSystemUtilsMac::WalkTrusted(text, false, false, place);
    int error = errno;
    if (!walked && error == ENOENT) {
        // The folder under another spelling, on a volume that ignores case.
        const std::string spelled = platform::OnDiskPathOfMissing(folderPath_);
        if (spelled != folderPath_) {
            walked = FileSystemUtilsMac::WalkTrusted(spelled + "/" + name_, false, false, place);
            error = errno;
            if (walked)
                folderPath_ = spelled;
        }
    }
    // The walk's own descriptor serves (a folder kept for the run among them): no copy of it.
    if (!walked || (folder_ = place.Folder()) < 0) {
        folderError_ = walked ? EBADF : error;
        folderRefusal_ = place.Refusal();
        return;
    }
    struct stat info;
    if (fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        taken_ = true;
    } else if (errno == ENOENT) {
        std::string spelled;
        // The walk's own look at the folder serves, where it took one (a folder kept for the run).
        if (platform::OtherSpellingInFolder(folder_, folderPath_, place.FolderStatus(), name_, spelled)) {
            name_.swap(spelled);
            taken_ = true;
        }
    }
}

NewFilePlace::~NewFilePlace() = default;

bool CopyFile(const FileSystemPath& source, const FileSystemPath& target)
{
    NewFilePlace place(target);
    return CopyFile(source, target, place);
}

bool CopyFile(const FileSystemPath& source, const FileSystemPath& target, NewFilePlace& place)
{
    ClearFailureReason();
    // The two opens decide whether the copy can be made at all: a missing source, or a missing
    // folder for the target, fails them. The source's is not blocking, so that a named pipe is
    // refused below instead of waiting for a writer.
    const std::string sourceText = source.AsUTF8String();
    int sourceFd = open(sourceText.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (sourceFd < 0 && errno == ENOENT) {
        // Another spelling of the name, on a volume that ignores case.
        const std::string onDisk = platform::OnDiskPathOfMissing(sourceText);
        if (onDisk != sourceText)
            sourceFd = open(onDisk.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ScopedDescriptor from(sourceFd);
    struct stat sourceInfo;
    if (from.get() < 0 || fstat(from.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return false;

    // A copy made in another user's home, for that user, is that user's, not the source's owner's.
    const platform::UserDomainIdentity identity(place.folder_ < 0 ? nullptr : place.walk_.get());
    if (!identity.Taken())
        return false;
    // Exclusive, and never through a link: an existing target, whatever it is (another spelling
    // of its name on a volume that ignores case included), fails the copy. Owner-only until the
    // copy is complete and gets the source's mode.
    ScopedDescriptor to(place.folder_ < 0 ? -1
                                          : openat(place.folder_, place.name_.c_str(),
                                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (to.get() < 0) {
        const int error = place.folder_ < 0 ? place.folderError_ : errno;
        // An existing target is the refusal callers expect; anything else is worth a reason.
        if (!place.folderRefusal_.empty())
            NoteFailureReason(place.folderRefusal_);
        else if (error != EEXIST)
            NoteCopyFailure(source, target, error);
        return false;
    }
    const bool filled = FillCopy(from.get(), sourceInfo, to.get(), target, !identity.Changed());
    const int fillError = filled ? 0 : errno;
    const bool closed = to.Close();
    if (closed && filled) {
        platform::NoteNameChangeInFolder(place.folder_, place.folderPath_, place.name_, true);
        return true;
    }
    // A full disk or an I/O error shows in the write or, late, in the close.
    if (LastFailureReason().empty())
        NoteCopyFailure(source, target, filled ? errno : fillError);
    unlinkat(place.folder_, place.name_.c_str(), 0);
    return false;
}

bool MoveFile(const FileSystemPath& source, const FileSystemPath& target)
{
    // Each path is looked up once, as the file system spells it, for the checks and the rename
    // alike (an uninstall moves every file it removes).
    std::string from;
    std::string to;
    struct stat sourceInfo;
    struct stat targetInfo;
    if (!LookUpOnDisk(source, from, sourceInfo) || LookUpOnDisk(target, to, targetInfo) ||
        !S_ISREG(sourceInfo.st_mode) || platform::CheckNameChange(from) != 0 ||
        platform::CheckNameChange(to) != 0)
        return false;
    const int error = platform::RenameNoReplace(from, to);
    if (error == 0) {
        platform::NoteNameChange(from, false);
        platform::NoteNameChange(to, true);
        return true;
    }
    // Something appeared at the target since the check: it is not ours to replace.
    if (error == EEXIST || !CopyFile(source, target))
        return false;
    if (DeleteFile(source, false))
        return true;
    DeleteFile(target, false);
    return false;
}

bool SwapFiles(const FileSystemPath& first, const FileSystemPath& second)
{
    bool firstIsFile = false;
    bool secondIsFile = false;
    platform::FileRef firstRef;
    platform::FileRef secondRef;
    if (!FileSystemUtilsMac::IsRegularFile(first, firstIsFile) || !firstIsFile ||
        !FileSystemUtilsMac::IsRegularFile(second, secondIsFile) || !secondIsFile ||
        platform::MakeFileRef(first.AsUTF8String(), firstRef) != platform::kNoErr ||
        platform::MakeFileRef(second.AsUTF8String(), secondRef) != platform::kNoErr ||
        platform::CheckWrite(firstRef.path) != 0 || platform::CheckWrite(secondRef.path) != 0)
        return false;
    if (platform::ExchangePaths(platform::OnDiskPath(first.AsUTF8String()), platform::OnDiskPath(second.AsUTF8String())) == 0)
        return true;

    FileSystemPath temp;
    if (!FileSystemUtilsMac::MoveFileToSiblingTemp(first, temp))
        return false;
    if (!MoveFile(second, first)) {
        if (!MoveFile(temp, first))
            throw std::runtime_error("Unable to restore first file in failed SwapFiles operation.");
        return false;
    }
    if (MoveFile(temp, second))
        return true;
    if (!MoveFile(first, second))
        throw std::runtime_error("Unable to restore both files in failed SwapFiles operation.");
    if (!MoveFile(temp, first))
        throw std::runtime_error("Unable to restore file in failed SwapFiles operation.");
    return false;
}

}  // namespace FileSystemUtils
