// Whole-file reads and writes that the property-list, bundle and settings readers share.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// Where bytes go piece by piece, in order: false when it cannot take a piece, which fails the
// whole read or write it serves.
typedef std::function<bool(const char* bytes, std::size_t size)> ByteSink;

// Reads the open file to its end and hands each piece to the sink, trying a read that a signal
// cut short again. False when a read fails (errno says why) or the sink refuses a piece; the
// file stays open either way.
bool ReadUntilEnd(int fd, const ByteSink& sink);

// Reads a regular file whole; false when it cannot be opened or read, or is a folder.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Reads a file that this process keeps, opened with OpenKeptFile; false when it cannot be, with
// refusal saying why when it was refused (errno EPERM).
bool ReadKeptFile(const std::string& path, std::string& bytes, std::string& refusal);

// What a write does with a symbolic link at its path.
enum class LinkHandling {
    // The new file takes the link's place: where others may plant links (the shared temporary
    // folder), nothing is ever written through one.
    kReplaceLink,
    // The link stays and the regular file it leads to is replaced, as for settings that the
    // system keeps behind links; a link to nothing or to anything else is refused.
    kWriteThrough,
};

// Writes the bytes to a new file beside the file replaced and renames it over that file, so that
// a reader sees the old file or the new one, never a half-written one. A replaced regular file
// keeps its owner (where the process may give files away) and permission bits; a new one gets
// 0644. In the home of another user's user domain the new file is that user's
// (UserDomainIdentity). False, with everything unchanged, on any failure. Where others can write in the folder,
// what took the new file's name before it was renamed into place (and so was renamed in its
// place) is no file of this write's: it is removed and the refusal reported.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         LinkHandling links = LinkHandling::kReplaceLink);

// The same for contents made piece by piece, so that a large file need not be built in memory
// first: produce hands each piece to the sink it is given, in order, and answers false (as the
// sink does when the file cannot take a piece) to fail the whole write.
bool WriteFileAtomically(const std::string& path, const std::function<bool(const ByteSink& write)>& produce,
                         LinkHandling links = LinkHandling::kReplaceLink);

// Writes the bytes in place of the file at the path as WriteFileAtomically does (a link there is
// replaced), by way of a new file of the caller's fixed name stagedName in the same folder, so
// that a rerun after a kill takes up what the killed run left there: whatever is at that name is
// removed first (its name alone), and the new file is made there exclusively, never through a
// link, in the folder that the walk holds open; its owner and mode are given through its
// descriptor, from the replaced regular file as it is opened, without the set-ID bits; it is
// renamed over the path within that folder only while it is a plain file with one name, and what
// the rename put at the path must then be that file. 0, or an errno value with the staged name
// removed; EPERM with the refusal (not reported) when the walk or the object at the path is
// refused (see TrustedPath::CheckObject), or when another object took the staged name (before the
// new file was made there, after, or in the rename): that object is removed.
int WriteFileStaged(const std::string& path, const std::string& stagedName, const std::string& bytes,
                    std::string& refusal);

}  // namespace platform
