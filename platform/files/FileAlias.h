// Alias records: what this platform keeps to find a file or folder again after it, its folder
// or its volume has moved or been renamed (the Alias Manager's records), in a format of our own:
// a binary property list of the object's path, device and inode, its volume (root, name and the
// path inside it), the kernel's handle of the object where the file system gives one, and, for a
// record made relative to an alias file, the path from that file's folder to the object.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class FileAlias {
public:
    // A record of the existing object at the target (symbolic links followed). With a starting
    // point (the alias file, which must exist) the record is relative to it; an empty starting
    // point makes an absolute record. 0, or the errno of the failure (ENOENT for a missing
    // target).
    static int Make(const std::string& target, const std::string& startingPoint, FileAlias& record);

    // False for bytes that are not a whole record of this format.
    static bool FromBytes(const std::string& bytes, FileAlias& record);
    // False only when the record cannot be written.
    bool ToBytes(std::string& bytes) const;

    // The object's present path, tried in this order: the stored path when it still names the
    // same object; the same path inside its volume when the volume was mounted elsewhere or
    // renamed; the object found by its handle (where the process may open by handle); the
    // relative path from the starting point's folder (relative records, with a starting point,
    // which must exist);
    // last, whatever object of the same kind now lies at the stored path. ENOENT when none
    // answers.
    int Resolve(const std::string& startingPoint, std::string& path) const;

    const std::string& StoredPath() const { return path_; }
    bool IsRelative() const { return !relativePath_.empty(); }

private:
    std::string path_;  // canonical, as it was when the record was made
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    bool folder_ = false;
    std::string volumeRoot_;
    std::string volumeName_;
    std::string volumePath_;    // the path inside the volume, without a leading "/"
    std::string relativePath_;  // from the starting point's folder; empty for absolute records
    int handleType_ = 0;
    std::string handle_;        // empty when the file system gave none
};

}  // namespace platform
