// FileSystemUtils: file-system queries and file operations on FileSystemPath values. Every
// function answers true when it could do its work and passes answers through reference
// parameters, which a false result leaves untouched.
#pragma once

#include "FileSystemPath.h"

#include <string>
#include <vector>

namespace FileSystemUtils {

// Path-check codes of ValidateUTF8FullPathString.
const unsigned int kPathValid = 0;
const unsigned int kPathTooLong = 2;     // longer than 1024 bytes, or a component of 256 bytes or more
const unsigned int kPathNotFullPath = 3;  // empty, or not beginning with "/"

const std::size_t kMaxPathLength = 1024;
const std::size_t kMaxComponentLength = 255;

// ---- Path-level queries ----

// Whether anything exists at the path; a symbolic link counts even when its target is missing.
bool Exists(const FileSystemPath& path);
// Whether the object itself (not a link's target) is a directory.
bool IsDirectory(const FileSystemPath& path, bool& isDirectory);
// Whether the path is the root of its volume; the volume lookup's error propagates.
bool IsVolumeRoot(const FileSystemPath& path, bool& isVolumeRoot);

unsigned int ValidateUTF8FullPathString(const std::string& text);
inline unsigned int ValidateNativeFullPathString(const std::string& text) { return ValidateUTF8FullPathString(text); }

// The entries of a directory (without "." and ".."), in the order the system gives them. The
// list is cleared once the directory is open; a read error keeps what was read before it.
bool ChildrenForDirectory(const FileSystemPath& folder, std::vector<FileSystemPath>& children);

// Compares two versions of up to four parts split at the delimiter text: 1 when a is higher,
// -1 when it is lower, 0 when they are equal. Parts are read as decimal numbers; an empty
// component ends the reading, and a part not read sorts below every part read.
int CompareVersionStrings(const std::string& a, const std::string& b, const std::string& delimiter);

bool SetWorkingDirectory(const FileSystemPath& path);
bool GetTempDirectory(FileSystemPath& path);

// Not available on this platform: both answer false and leave their output untouched.
bool ExpandInlineFolderTokens(const std::string& text, FileSystemPath& path);
bool GetRemovableDrives(std::vector<std::string>& drives);

}  // namespace FileSystemUtils
