#include "platform/files/FileAlias.h"

#include "platform/files/Volumes.h"
#include "platform/formats/PropertyList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace platform {

namespace {

const std::int64_t kRecordVersion = 1;

int CanonicalPath(const std::string& path, std::string& canonical)
{
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr)
        return errno;
    canonical = resolved;
    return 0;
}

std::string FolderOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start < path.size()) {
        std::string::size_type end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The path from one canonical folder to a canonical path: "../" for each step up, then down.
std::string RelativePath(const std::string& fromFolder, const std::string& to)
{
    const std::vector<std::string> from = Components(fromFolder);
    const std::vector<std::string> target = Components(to);
    std::size_t common = 0;
    while (common < from.size() && common < target.size() && from[common] == target[common])
        ++common;
    std::string relative;
    for (std::size_t i = common; i < from.size(); ++i)
        relative += relative.empty() ? ".." : "/..";
    for (std::size_t i = common; i < target.size(); ++i)
        relative += (relative.empty() ? "" : "/") + target[i];
    return relative.empty() ? "." : relative;
}

std::string JoinPath(const std::string& folder, const std::string& relative)
{
    if (relative.empty())
        return folder;
    return folder == "/" ? "/" + relative : folder + "/" + relative;
}

// The kernel's handle of a file, as name_to_handle_at(2) lays it out.
struct KernelHandle {
    unsigned int bytes;
    int type;
    unsigned char data[128];
};

bool HandleOf(const std::string& path, int& type, std::string& handle)
{
    KernelHandle buffer;
    buffer.bytes = sizeof(buffer.data);
    int mountId = 0;
    if (name_to_handle_at(AT_FDCWD, path.c_str(), reinterpret_cast<struct file_handle*>(&buffer), &mountId, 0) != 0)
        return false;
    type = buffer.type;
    handle.assign(reinterpret_cast<const char*>(buffer.data), buffer.bytes);
    return true;
}

bool SameObject(const struct stat& info, std::uint64_t device, std::uint64_t inode)
{
    return static_cast<std::uint64_t>(info.st_dev) == device && static_cast<std::uint64_t>(info.st_ino) == inode;
}

// Whether the path names an object of the given kind; its canonical path when it does.
bool ExistsAsKind(const std::string& path, bool folder, std::string& found)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode) != folder)
        return false;
    return CanonicalPath(path, found) == 0;
}

PropertyValuePtr MakeBytes(const std::string& text)
{
    return PropertyValue::MakeData(std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool ReadBytes(const PropertyValue& dictionary, const char* key, std::string& value)
{
    ConstPropertyValuePtr item = dictionary.Get(key);
    if (!item)
        return true;  // every text field but the path is optional
    if (item->GetType() != PropertyValue::kData)
        return false;
    value.assign(item->DataValue().begin(), item->DataValue().end());
    return true;
}

bool ReadInteger(const PropertyValue& dictionary, const char* key, std::int64_t& value)
{
    ConstPropertyValuePtr item = dictionary.Get(key);
    if (!item || item->GetType() != PropertyValue::kInteger)
        return false;
    value = item->IntegerValue();
    return true;
}

}  // namespace

int FileAlias::Make(const std::string& target, const std::string& startingPoint, FileAlias& record)
{
    FileAlias made;
    if (const int error = CanonicalPath(target, made.path_))
        return error;
    struct stat info;
    if (stat(made.path_.c_str(), &info) != 0)
        return errno;
    made.device_ = info.st_dev;
    made.inode_ = info.st_ino;
    made.folder_ = S_ISDIR(info.st_mode);

    VolumeStatus volume;
    if (StatVolume(made.path_, volume) == 0) {
        made.volumeRoot_ = volume.mountPoint;
        VolumeParameters parameters;
        if (GetVolumeParameters(volume.mountPoint, parameters))
            made.volumeName_ = parameters.displayName;
        std::string inside = made.path_.substr(std::min(volume.mountPoint.size(), made.path_.size()));
        while (!inside.empty() && inside[0] == '/')
            inside.erase(0, 1);
        made.volumePath_ = inside;
    }
    HandleOf(made.path_, made.handleType_, made.handle_);

    if (!startingPoint.empty()) {
        std::string from;
        if (const int error = CanonicalPath(startingPoint, from))
            return error;
        made.relativePath_ = RelativePath(FolderOf(from), made.path_);
    }
    record = made;
    return 0;
}

bool FileAlias::ToBytes(std::string& bytes) const
{
    PropertyValuePtr dictionary = PropertyValue::MakeDictionary();
    dictionary->Set("version", PropertyValue::MakeInteger(kRecordVersion));
    dictionary->Set("path", MakeBytes(path_));
    dictionary->Set("device", PropertyValue::MakeInteger(static_cast<std::int64_t>(device_)));
    dictionary->Set("inode", PropertyValue::MakeInteger(static_cast<std::int64_t>(inode_)));
    dictionary->Set("folder", PropertyValue::MakeBoolean(folder_));
    dictionary->Set("volume", MakeBytes(volumeRoot_));
    dictionary->Set("volumeName", MakeBytes(volumeName_));
    dictionary->Set("volumePath", MakeBytes(volumePath_));
    if (!relativePath_.empty())
        dictionary->Set("relativePath", MakeBytes(relativePath_));
    if (!handle_.empty()) {
        dictionary->Set("handleType", PropertyValue::MakeInteger(handleType_));
        dictionary->Set("handle", MakeBytes(handle_));
    }
    return SerializePropertyListBinary(*dictionary, bytes);
}

bool FileAlias::FromBytes(const std::string& bytes, FileAlias& record)
{
    PropertyValuePtr value;
    if (bytes.empty() || !ParsePropertyList(bytes, value) || !value || !value->IsDictionary())
        return false;
    FileAlias parsed;
    std::int64_t version = 0, device = 0, inode = 0;
    if (!ReadInteger(*value, "version", version) || version != kRecordVersion || !ReadInteger(*value, "device", device) ||
        !ReadInteger(*value, "inode", inode))
        return false;
    ConstPropertyValuePtr folder = value->Get("folder");
    if (!folder || folder->GetType() != PropertyValue::kBoolean)
        return false;
    if (!ReadBytes(*value, "path", parsed.path_) || parsed.path_.empty() || parsed.path_[0] != '/' ||
        !ReadBytes(*value, "volume", parsed.volumeRoot_) || !ReadBytes(*value, "volumeName", parsed.volumeName_) ||
        !ReadBytes(*value, "volumePath", parsed.volumePath_) || !ReadBytes(*value, "relativePath", parsed.relativePath_) ||
        !ReadBytes(*value, "handle", parsed.handle_) || parsed.handle_.size() > sizeof(KernelHandle::data))
        return false;
    // Every path must be one C string: a NUL inside would name some other object.
    for (const std::string* text : {&parsed.path_, &parsed.volumeRoot_, &parsed.volumePath_, &parsed.relativePath_}) {
        if (text->find('\0') != std::string::npos)
            return false;
    }
    std::int64_t handleType = 0;
    if (!parsed.handle_.empty() && !ReadInteger(*value, "handleType", handleType))
        return false;
    parsed.handleType_ = static_cast<int>(handleType);
    parsed.device_ = static_cast<std::uint64_t>(device);
    parsed.inode_ = static_cast<std::uint64_t>(inode);
    parsed.folder_ = folder->BooleanValue();
    record = parsed;
    return true;
}

int FileAlias::Resolve(const std::string& startingPoint, std::string& path) const
{
    struct stat info;
    // Inode numbers are reused, so a folder made where a file was may carry the file's number.
    if (stat(path_.c_str(), &info) == 0 && SameObject(info, device_, inode_) && S_ISDIR(info.st_mode) == folder_ &&
        CanonicalPath(path_, path) == 0)
        return 0;

    // The volume mounted elsewhere or renamed: the same device, or the same name, under another
    // root. A remounted volume may have a new device number, so only the inode is compared there.
    std::vector<VolumeStatus> volumes;
    std::string handleRoot;
    struct stat rootInfo;
    if (!volumeRoot_.empty() && stat(volumeRoot_.c_str(), &rootInfo) == 0 &&
        static_cast<std::uint64_t>(rootInfo.st_dev) == device_)
        handleRoot = volumeRoot_;
    if (!volumeRoot_.empty() && ListVolumes(volumes)) {
        for (const VolumeStatus& volume : volumes) {
            if (volume.mountPoint == volumeRoot_ || stat(volume.mountPoint.c_str(), &rootInfo) != 0)
                continue;
            const bool sameDevice = static_cast<std::uint64_t>(rootInfo.st_dev) == device_;
            if (sameDevice && handleRoot.empty())
                handleRoot = volume.mountPoint;
            VolumeParameters parameters;
            if (!sameDevice && (volumeName_.empty() || !GetVolumeParameters(volume.mountPoint, parameters) ||
                                parameters.displayName != volumeName_))
                continue;
            const std::string candidate = JoinPath(volume.mountPoint, volumePath_);
            if (stat(candidate.c_str(), &info) == 0 && static_cast<std::uint64_t>(info.st_ino) == inode_ &&
                S_ISDIR(info.st_mode) == folder_ && CanonicalPath(candidate, path) == 0)
                return 0;
        }
    }

    // Moved within its volume: the kernel finds the object by its handle (opening by handle
    // needs the right to search any folder, so this step is skipped without it).
    if (!handle_.empty() && !handleRoot.empty()) {
        const int mountFd = open(handleRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (mountFd >= 0) {
            KernelHandle buffer;
            buffer.bytes = static_cast<unsigned int>(handle_.size());
            buffer.type = handleType_;
            std::memcpy(buffer.data, handle_.data(), handle_.size());
            const int fd = open_by_handle_at(mountFd, reinterpret_cast<struct file_handle*>(&buffer), O_PATH | O_CLOEXEC);
            close(mountFd);
            if (fd >= 0) {
                char linkText[PATH_MAX];
                const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
                const ssize_t length = readlink(procPath.c_str(), linkText, sizeof(linkText));
                close(fd);
                if (length > 0 && static_cast<std::size_t>(length) < sizeof(linkText)) {
                    const std::string found(linkText, static_cast<std::size_t>(length));
                    // A removed object reads as "path (deleted)", which names nothing or something else.
                    if (found[0] == '/' && lstat(found.c_str(), &info) == 0 && SameObject(info, device_, inode_)) {
                        path = found;
                        return 0;
                    }
                }
            }
        }
    }

    std::string found;
    if (!relativePath_.empty() && !startingPoint.empty()) {
        std::string from;
        if (CanonicalPath(startingPoint, from) == 0 && ExistsAsKind(JoinPath(FolderOf(from), relativePath_), folder_, found)) {
            path = found;
            return 0;
        }
    }
    if (ExistsAsKind(path_, folder_, found)) {
        path = found;
        return 0;
    }
    return ENOENT;
}

}  // namespace platform
