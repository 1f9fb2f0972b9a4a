// FileSystemVolume: the mounted volume that holds a path, with its root, size, free space and
// properties. Copies share one immutable record.
#pragma once

#include "FileSystemPath.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>

class FileSystemVolume {
public:
    // The volume of the path, or of its nearest existing ancestor; throws std::runtime_error
    // "Unable to locate volume for path." when there is none.
    explicit FileSystemVolume(const FileSystemPath& path);

    bool RootPath(FileSystemPath& root) const;
    bool CapacityInBytes(std::uint64_t& bytes) const;
    bool FreeSpaceInBytes(std::uint64_t& bytes) const;
    bool FileSystemTypeName(std::string& name) const;
    bool IsLocal(bool& isLocal) const;
    // Sets the answer to true before it starts: a volume whose disk says nothing is removable.
    bool IsRemovable(bool& isRemovable) const;
    bool IsWritable(bool& isWritable) const;
    bool IsCaseSensitive(bool& isCaseSensitive) const;
    bool FriendlyNameUTF8(std::string& name) const;
    // Where a removable volume of the given name would be mounted: "Volumes/<name>" under this
    // volume's root.
    bool RemovableVolumeRootPath(const std::string& volumeName, FileSystemPath& root) const;

    bool operator==(const FileSystemVolume& other) const;
    bool operator!=(const FileSystemVolume& other) const { return !(*this == other); }

    struct FileSystemVolumeData {
        explicit FileSystemVolumeData(const FileSystemPath& mountPoint) : root(mountPoint) {}
        const FileSystemPath root;
    };

private:
    boost::shared_ptr<FileSystemVolumeData> data_;
};
