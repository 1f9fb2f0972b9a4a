// FileSystemUtilsMac: the file-system queries and operations that only this platform has.
#pragma once

#include "FileSystemPath.h"
#include "FileSystemVolume.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace FileSystemUtilsMac {

// ---- Path-level queries ----

// Appends one volume per mounted file system that can be referenced; the list is not cleared.
bool GetAllVolumes(std::vector<boost::shared_ptr<FileSystemVolume> >& volumes);
// Whether the object itself is a regular file (a symbolic link is not).
bool IsRegularFile(const FileSystemPath& path, bool& isRegularFile);
bool IsSymlink(const FileSystemPath& path, bool& isSymlink);
// Nothing to unlock on this platform.
bool UnlockPathObject(const FileSystemPath& path);

// ---- Folders ----

// Makes a new folder only the owner may enter, from "/tmp/.tempdirXXXXXXXX".
bool CreateTemporaryDirectory(FileSystemPath& path);
// Removes an empty folder, and only an empty one; the flag is not used.
bool DeleteDirectory(const FileSystemPath& path, bool unused);

}  // namespace FileSystemUtilsMac
