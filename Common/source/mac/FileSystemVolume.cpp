#include "Common/source/xplat/FileSystemVolume.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/files/FileRef.h"
#include "platform/files/Volumes.h"

#include <cerrno>
#include <stdexcept>

namespace {

bool StatRoot(const FileSystemPath& root, platform::VolumeStatus& status)
{
    return platform::StatVolume(root.AsUTF8String(), status) == 0;
}

// The File Manager's parameters of the volume mounted at the root; false when the root cannot
// be referenced or the parameters cannot be read.
bool RootParameters(const FileSystemPath& root, platform::VolumeParameters& parameters)
{
    platform::FileRef ref;
    if (platform::MakeFileRef(root.AsUTF8String(), ref) != platform::kNoErr)
        return false;
    return platform::GetVolumeParameters(root.AsUTF8String(), parameters);
}

}  // namespace

FileSystemVolume::FileSystemVolume(const FileSystemPath& path)
{
    std::string text = path.AsUTF8String();
    if (text.empty() || text[0] != '/')
        throw std::runtime_error("Unable to locate volume for path.");
    for (FileSystemPath current = path;;) {
        std::string mountPoint;
        const int error = platform::FindVolumeMountPoint(current.AsUTF8String(), mountPoint);
        if (error == 0) {
            data_.reset(new FileSystemVolumeData(FileSystemPath(mountPoint)));
            return;
        }
        if (error != ENOENT && error != ENAMETOOLONG)
            break;
        FileSystemPath parent = current.Parent();
        if (parent.AsUTF8String() == current.AsUTF8String())
            break;
        current = parent;
    }
    throw std::runtime_error("Unable to locate volume for path.");
}

bool FileSystemVolume::RootPath(FileSystemPath& root) const
{
    root = data_->root;
    return true;
}

bool FileSystemVolume::CapacityInBytes(std::uint64_t& bytes) const
{
    platform::VolumeStatus status;
    if (!StatRoot(data_->root, status))
        return false;
    bytes = status.blockSize * status.totalBlocks;
    return true;
}

bool FileSystemVolume::FreeSpaceInBytes(std::uint64_t& bytes) const
{
    platform::VolumeStatus status;
    if (!StatRoot(data_->root, status))
        return false;
    bytes = status.blockSize * status.availableBlocks;
    return true;
}

bool FileSystemVolume::FileSystemTypeName(std::string& name) const
{
    platform::VolumeStatus status;
    if (!StatRoot(data_->root, status))
        return false;
    name = status.typeName;
    return true;
}

bool FileSystemVolume::IsLocal(bool& isLocal) const
{
    platform::VolumeStatus status;
    if (!StatRoot(data_->root, status))
        return false;
    const std::string& device = status.mountedFrom;
    isLocal = !device.empty() && device[0] == '/' &&
              FileSystemUtils::ValidateUTF8FullPathString(device) == FileSystemUtils::kPathValid &&
              FileSystemUtils::Exists(FileSystemPath(device));
    return true;
}

bool FileSystemVolume::IsRemovable(bool& isRemovable) const
{
    isRemovable = true;
    bool isLocal = false;
    if (!IsLocal(isLocal))
        return false;
    if (!isLocal) {
        isRemovable = false;
        return true;
    }
    platform::VolumeStatus status;
    if (!StatRoot(data_->root, status))
        return true;
    bool removable = true;
    if (platform::GetMediaRemovable(status, removable))
        isRemovable = removable;
    return true;
}

bool FileSystemVolume::IsWritable(bool& isWritable) const
{
    platform::VolumeParameters parameters;
    if (!RootParameters(data_->root, parameters))
        return false;
    isWritable = parameters.writable;
    return true;
}

bool FileSystemVolume::IsCaseSensitive(bool& isCaseSensitive) const
{
    platform::VolumeParameters parameters;
    if (!RootParameters(data_->root, parameters))
        return false;
    isCaseSensitive = parameters.caseSensitive;
    return true;
}

bool FileSystemVolume::FriendlyNameUTF8(std::string& name) const
{
    platform::VolumeParameters parameters;
    if (!RootParameters(data_->root, parameters))
        return false;
    name = parameters.displayName;
    return true;
}

bool FileSystemVolume::RemovableVolumeRootPath(const std::string& volumeName, FileSystemPath& root) const
{
    FileSystemPath result(data_->root);
    result.AppendUTF8Segment("Volumes");
    result.AppendUTF8Segment(volumeName);
    root = FileSystemPath(result.AsUTF8String());
    return true;
}

bool FileSystemVolume::operator==(const FileSystemVolume& other) const
{
    return data_->root == other.data_->root;
}
