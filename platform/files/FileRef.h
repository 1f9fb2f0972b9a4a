// FileRef: the identity of an existing file-system object (device and inode), standing in for
// the File Manager's file references, with its error codes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The File Manager's result codes that the logic above is written against.
const int kNoErr = 0;
const int kIOErr = -36;
const int kFileNotFoundErr = -43;
const int kPermissionErr = -54;
const int kPathTooLongErr = -2110;
const int kNotAFolderErr = -1407;

struct FileRef {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string path;  // the path the reference was made from, with the letter case found on disk
};

// The object a path names, following symbolic links; kFileNotFoundErr when it (or a folder on
// the way) does not exist. On a volume that is not case-sensitive a name that matches no entry
// exactly is matched ignoring case, as such a volume does.
int MakeFileRef(const std::string& path, FileRef& ref);

bool SameFileRef(const FileRef& a, const FileRef& b);

// Maps an errno value to the File Manager's code.
int FileManagerError(int error);

}  // namespace platform
