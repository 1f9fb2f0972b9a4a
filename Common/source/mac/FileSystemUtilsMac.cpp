#include "FileSystemUtilsMac.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "MacUtils.h"

#include "platform/Folders.h"
#include "platform/SystemRoot.h"
#include "platform/files/DiskNames.h"
#include "platform/files/FileRef.h"
#include "platform/files/Rename.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"
#include "platform/files/Volumes.h"

#include <boost/format.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace FileSystemUtilsMac {

bool GetAllVolumes(std::vector<boost::shared_ptr<FileSystemVolume> >& volumes)
{
    std::vector<platform::VolumeStatus> mounted;
    if (!platform::ListVolumes(mounted) || mounted.empty())
        return false;
    for (const platform::VolumeStatus& status : mounted) {
        platform::FileRef ref;
        if (platform::MakeFileRef(status.mountPoint, ref) != platform::kNoErr ||
            FileSystemUtils::ValidateUTF8FullPathString(status.mountPoint) != FileSystemUtils::kPathValid)
            continue;
        volumes.push_back(boost::shared_ptr<FileSystemVolume>(new FileSystemVolume(FileSystemPath(status.mountPoint))));
    }
    return true;
}

namespace {

// The system's error of a step that made nothing, as the reason of the failure it causes (a full
// disk, a name too long).
void NoteSystemFailure(const char* what, const std::string& path, int error)
{
    FileSystemUtils::NoteFailureReason("Unable to " + std::string(what) + " \"" + path + "\": " + std::strerror(error));
}

// The path as the file system spells it (see platform::OnDiskPath).
std::string OnDisk(const FileSystemPath& path)
{
    return platform::OnDiskPath(path.AsUTF8String());
}

// lstat(2) of the object as the file system spells its path, in one look where it exists as given.
bool LookUp(const FileSystemPath& path, struct stat& info)
{
    std::string onDisk;
    return platform::LookUpOnDisk(path.AsUTF8String(), onDisk, info) == 0;
}

}  // namespace

bool IsRegularFile(const FileSystemPath& path, bool& isRegularFile)
{
    struct stat info;
    if (!LookUp(path, info))
        return false;
    isRegularFile = S_ISREG(info.st_mode);
    return true;
}

bool IsSymlink(const FileSystemPath& path, bool& isSymlink)
{
    struct stat info;
    if (!LookUp(path, info))
        return false;
    isSymlink = S_ISLNK(info.st_mode);
    return true;
}

bool UnlockPathObject(const FileSystemPath&)
{
    return true;
}

bool WalkTrusted(const std::string& path, bool followLast, bool forWriting, platform::TrustedPath& place)
{
    int error = place.Walk(path, followLast);
    if (error == 0 && forWriting)
        error = place.CheckObject();
    return NoteChange(place, error);
}

bool NoteChange(const platform::TrustedPath& place, int error)
{
    if (error == EPERM && !place.Refusal().empty())
        FileSystemUtils::NoteFailureReason(place.Refusal());
    errno = error;
    return error == 0;
}

// ---- Folders, temporary moves, modes, owners and symbolic links ----

namespace {

const char kTemporaryDirectoryTemplate[] = "/tmp/.tempdirXXXXXXXX";
// What an out-parameter starts as: a path made without asking for the working folder, which
// the default constructor does (a system call for every file an uninstall moves aside).
const FileSystemPath kNoPath(std::string("/"));
const std::uint32_t kChewableItemsFolderType = platform::FourCharCode('f', 'l', 'n', 't');
// Linux keeps link texts below 4096 bytes; other file systems may keep more, but a text beyond
// this is not one we can hand back whole.
const std::size_t kMaxSymlinkText = 65536;

bool IsExistingRegularFile(const FileSystemPath& path)
{
    bool isRegularFile = false;
    return IsRegularFile(path, isRegularFile) && isRegularFile;
}

// The temporary folder of a volume: held open where it is this user's own folder (as the
// volume's and the local domain's are), else known by its path only ("/tmp").
struct TemporaryFolder {
    FileSystemPath path = kNoPath;
    std::shared_ptr<platform::HeldFolder> held;
};

// The temporary folder found last for each volume of the current system root, held open; an
// uninstall moves one file after another into it.
struct TemporaryFolderCache {
    std::mutex mutex;  // guards systemRoot and folders
    std::string systemRoot;
    std::map<std::string, std::shared_ptr<platform::HeldFolder> > folders;  // volume root -> its folder
};

TemporaryFolderCache& TemporaryFolders()
{
    static TemporaryFolderCache* cache = new TemporaryFolderCache;
    return *cache;
}

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The temporary folder of a volume, where a file can be moved aside without leaving the volume.
// A folder found before is trusted as it was checked when found, while it is the folder at its
// path: a move that finds it gone or replaced forgets it (ForgetTemporaryFolder) and asks again.
bool GetDestructiveTempPreferringVolume(const std::string& root, TemporaryFolder& folder)
{
    TemporaryFolderCache& cache = TemporaryFolders();
    const std::string systemRoot = platform::SystemRoot::Path();
    {
        std::lock_guard<std::mutex> lock(cache.mutex);
        if (cache.systemRoot != systemRoot) {
            cache.folders.clear();
            cache.systemRoot = systemRoot;
        }
        std::map<std::string, std::shared_ptr<platform::HeldFolder> >::const_iterator known = cache.folders.find(root);
        if (known != cache.folders.end()) {
            folder.held = known->second;
            folder.path = FileSystemPath(folder.held->Path());
            return true;
        }
    }
    std::string found;
    if (MacUtils::StdStringFindFolder(FileSystemPath(root), kChewableItemsFolderType, true, found) ||
        MacUtils::StdStringFindFolder(platform::kLocalDomain, kChewableItemsFolderType, true, found)) {
        folder.path = FileSystemPath(found);
        // Held only where what is opened passes the same check as what was found.
        folder.held = platform::HeldFolder::Open(found, platform::IsPrivateFolderOfThisUser);
        if (folder.held) {
            std::lock_guard<std::mutex> lock(cache.mutex);
            if (cache.systemRoot == systemRoot)
                cache.folders[root] = folder.held;
        }
        return true;
    }
    return FileSystemUtils::GetTempDirectory(folder.path);
}

// Whether the folder is still there to move into: for one held, when it is the folder at its path
// and was not removed (a new folder may take the removed one's number on some file systems).
bool StillThere(const TemporaryFolder& folder)
{
    struct stat status;
    if (!folder.held)
        return IsFolder(folder.path.AsUTF8String());
    return folder.held->LookAtPath(status) == 0 && folder.held->Linked();
}

// Drops a volume's temporary folder that is gone or replaced at its path; false when it is still there.
bool ForgetTemporaryFolder(const std::string& root, const TemporaryFolder& folder)
{
    if (StillThere(folder))
        return false;
    TemporaryFolderCache& cache = TemporaryFolders();
    std::lock_guard<std::mutex> lock(cache.mutex);
    std::map<std::string, std::shared_ptr<platform::HeldFolder> >::iterator known = cache.folders.find(root);
    if (known != cache.folders.end() && known->second == folder.held)
        cache.folders.erase(known);
    return true;
}

// A temporary name in the folder that nothing has, in any spelling where the folder's volume
// ignores case (a move there would fail on it), as the folder's known names say; a folder held
// open answers from the names it keeps.
bool FreeTemporaryName(const TemporaryFolder& folder, FileSystemPath& name)
{
    const int kAttempts = 100;
    const std::string text = folder.path.AsUTF8String();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string candidate = FileSystemUtils::RandomTempName();
        const int found = folder.held ? folder.held->FindName(candidate) : platform::FindNameInFolder(text, candidate);
        if (found == EEXIST)
            continue;
        if (found != 0)  // no folder to read (gone since it was found): the path is looked at
            return FileSystemUtils::TempFilenameInDirectory(folder.path, name);
        name = folder.path;
        name.AppendUTF8Segment(candidate);
        return true;
    }
    return false;
}

}  // namespace

bool CreateTemporaryDirectory(FileSystemPath& path)
{
    const std::string pattern = platform::SystemRoot::Resolve(kTemporaryDirectoryTemplate);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr)
        return false;
    path = FileSystemPath(std::string(name.data()));
    return true;
}

bool NewTemporaryDirectoryName(FileSystemPath& path)
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string pattern = platform::SystemRoot::Resolve(kTemporaryDirectoryTemplate);
    const std::string::size_type letters = pattern.find("XXXXXXXX");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = pattern;
        for (std::string::size_type i = letters; i < letters + 8; ++i)
            name[i] = kLetters[random() % (sizeof(kLetters) - 1)];
        struct stat info;
        if (lstat(name.c_str(), &info) != 0 && errno == ENOENT) {
            path = FileSystemPath(name);
            return true;
        }
    }
    return false;
}

bool CreateTemporaryDirectoryAt(const FileSystemPath& path)
{
    return mkdir(path.AsUTF8String().c_str(), 0700) == 0;
}

bool MoveFileToSiblingTemp(const FileSystemPath& source, FileSystemPath& temp)
{
    FileSystemPath name = kNoPath;
    if (!IsExistingRegularFile(source) || !FileSystemUtils::TempFilenameInDirectory(source.Parent(), name))
        return false;
    temp = name;
    return FileSystemUtils::MoveFile(source, name);
}

bool MoveFileToTemp(const FileSystemPath& source, FileSystemPath& temp)
{
    // The file is looked up once, in its folder as the trusted walk reached it: that look decides
    // that it is a regular file and tells its volume that it is no link, and the move takes it
    // from that folder. A name spelled otherwise on disk is looked up by that spelling.
    std::string from = source.AsUTF8String();
    platform::TrustedPath place;
    struct stat info;
    const auto lookUp = [&]() {
        if (!WalkTrusted(from, false, false, place))
            return errno;
        return fstatat(place.Folder(), place.Name().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
    };
    int looked = lookUp();
    if (looked == ENOENT) {
        std::string spelled;
        if (platform::LookUpOnDisk(from, spelled, info) != 0 || spelled == from)
            return false;
        from.swap(spelled);
        looked = lookUp();
    }
    if (looked != 0 || !S_ISREG(info.st_mode))
        return false;
    std::string root;
    if (platform::FindVolumeMountPointInFolder(from, place.FolderStatus(), info, root) != 0) {
        const FileSystemVolume volume(source);
        FileSystemPath found = kNoPath;
        volume.RootPath(found);
        root = found.AsUTF8String();
    }
    const int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        TemporaryFolder folder;
        if (!GetDestructiveTempPreferringVolume(root, folder))
            return false;
        // A held folder takes the file only while it is the one at its path: the backup is known
        // by its path, and a rollback must find it there.
        if (folder.held && folder.held->CheckedAtPath() != 0) {
            ForgetTemporaryFolder(root, folder);
            if (attempt < kAttempts)
                continue;
            folder.held.reset();
        }
        FileSystemPath name = kNoPath;
        if (!FreeTemporaryName(folder, name))
            return false;
        temp = name;
        const std::string to = name.AsUTF8String();
        int error = 0;
        if (folder.held) {
            error = folder.held->MoveIn(place.Folder(), place.Name(), from, to.substr(to.find_last_of('/') + 1));
        } else if ((error = platform::RenameNoReplace(from, to)) == 0) {
            platform::NoteNameChange(from, false);
            platform::NoteNameChange(to, true);
        }
        if (error == 0)
            return true;
        // Something appeared at the name since it was chosen (it is not ours to replace: another
        // name is chosen), or the folder went away since it was found (it is found again).
        if (attempt < kAttempts && (error == EEXIST || (error == ENOENT && ForgetTemporaryFolder(root, folder))))
            continue;
        if (error == EEXIST)
            return false;
        // Another volume after all, or a failure that the whole move reports as it does.
        return FileSystemUtils::MoveFile(source, name);
    }
}

bool CreateDirectory(const FileSystemPath& path, unsigned short mode, bool exact)
{
    // Another spelling of the name on a volume that ignores case is the folder itself: mkdir fails.
    const std::string text = OnDisk(path);
    std::string refusal;
    const int error = platform::MakeFolder(text, static_cast<mode_t>(mode & 07777), exact, refusal);
    if (!refusal.empty())
        FileSystemUtils::NoteFailureReason(refusal);
    else if (error != 0 && error != EEXIST)
        NoteSystemFailure("create the folder", text, error);
    errno = error;
    if (error != 0)
        return false;
    platform::NoteNameChange(text);
    return true;
}

bool CreateDirectoryPath(const FileSystemPath& path, unsigned short mode, bool exact)
{
    if (FileSystemUtils::Exists(path))
        return true;
    const FileSystemPath parent = path.Parent();
    if (parent.AsUTF8String() != path.AsUTF8String() && !CreateDirectoryPath(parent, mode, exact))
        return false;
    return CreateDirectory(path, mode, exact);
}

bool DeleteDirectory(const FileSystemPath& path, bool)
{
    const std::string text = OnDisk(path);
    platform::TrustedPath place;
    if (!WalkTrusted(text, false, false, place) || unlinkat(place.Folder(), place.Name().c_str(), AT_REMOVEDIR) != 0)
        return false;
    platform::NoteNameChange(text);
    return true;
}

bool GetMode(const FileSystemPath& path, unsigned short& mode)
{
    struct stat info;
    if (!LookUp(path, info) || S_ISLNK(info.st_mode))
        return false;
    mode = static_cast<unsigned short>(info.st_mode & 07777);
    return true;
}

bool SetMode(const FileSystemPath& path, unsigned short mode)
{
    // The link was followed by the walk; the mode goes to the object judged, not to whatever
    // is put at its name since (the owner of a folder may replace what is in it).
    platform::TrustedPath place;
    return WalkTrusted(OnDisk(path), true, false, place) &&
           NoteChange(place, place.ChangeMode(static_cast<mode_t>(mode & 07777)));
}

bool GetOwnerGroup(const FileSystemPath& path, unsigned int& owner, unsigned int& group)
{
    struct stat info;
    if (!LookUp(path, info) || S_ISLNK(info.st_mode))
        return false;
    owner = info.st_uid;
    group = info.st_gid;
    return true;
}

bool SetOwnerGroup(const FileSystemPath& path, unsigned int owner, unsigned int group)
{
    platform::TrustedPath place;
    return WalkTrusted(OnDisk(path), true, false, place) &&
           NoteChange(place, place.ChangeOwner(static_cast<uid_t>(owner), static_cast<gid_t>(group)));
}

bool GetSymlinkDestination(const FileSystemPath& path, std::string& destination)
{
    FileSystemUtils::ClearFailureReason();
    std::string text;
    struct stat info;
    if (platform::LookUpOnDisk(path.AsUTF8String(), text, info) != 0 || !S_ISLNK(info.st_mode))
        return false;
    // The size lstat gives is only a hint (some file systems answer 0, and the link may be
    // replaced meanwhile): a text that fills the buffer may have been cut, so read again with more.
    std::size_t size = std::max<std::size_t>(static_cast<std::size_t>(info.st_size) + 1, 1024);
    while (size <= kMaxSymlinkText) {
        std::vector<char> buffer(size);
        const ssize_t length = readlink(text.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            destination.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        size *= 2;
    }
    FileSystemUtils::NoteFailureReason(
        boost::str(boost::format("The text of the symbolic link \"%1%\" is longer than %2% bytes") % text % kMaxSymlinkText));
    return false;
}

bool CreateSymlink(const FileSystemPath& path, const std::string& destination)
{
    // A NUL would end the text early and make a link other than the one asked for.
    if (destination.find('\0') != std::string::npos)
        return false;
    const std::string text = OnDisk(path);
    platform::TrustedPath place;
    if (!WalkTrusted(text, false, false, place))
        return false;
    // A link made in another user's home, for that user, is that user's.
    const platform::UserDomainIdentity identity(&place);
    if (!identity.Taken())
        return false;
    if (symlinkat(destination.c_str(), place.Folder(), place.Name().c_str()) != 0) {
        if (errno != EEXIST)
            NoteSystemFailure("create the symbolic link", text, errno);
        return false;
    }
    platform::NoteNameChange(text);
    return true;
}

bool GetDataLength(const FileSystemPath& path, std::uint64_t& length)
{
    struct stat info;
    if (!LookUp(path, info) || !S_ISREG(info.st_mode))
        return false;
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

}  // namespace FileSystemUtilsMac
