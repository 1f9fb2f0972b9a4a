// FileSystemUtils: file-system queries and file operations on FileSystemPath values. Every
// function answers true when it could do its work and passes answers through reference
// parameters, which a false result leaves untouched.
#pragma once

#include "FileSystemPath.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class TrustedPath;
}

namespace FileSystemUtils {

// Path-check codes of ValidateUTF8FullPathString.
const unsigned int kPathValid = 0;
const unsigned int kPathBadCharacters = 1;  // holds a NUL, which would end the text early for the system
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
// Why ValidateUTF8FullPathString refuses the text, in words that show it (bytes that are no
// UTF-8 as \xNN, a long path or name cut in the middle); empty when it is valid.
std::string InvalidPathReason(const std::string& text);

// The entries of a directory (without "." and ".."), in the order the system gives them. The
// list is cleared once the directory is open; a read error keeps what was read before it.
bool ChildrenForDirectory(const FileSystemPath& folder, std::vector<FileSystemPath>& children);

// A file name made of outside text (a product name from a proxy file or a page) and a suffix of
// the program's own: always one path component inside the folder it is joined to. Every "/" and
// NUL of the text becomes "-", and the text is cut at a character boundary so that text and
// suffix fit in one component; a name that would be "." or ".." becomes "-" plus the suffix.
std::string FileNameFromText(const std::string& text, const std::string& suffix);

// Compares two versions of up to four parts split at the delimiter text: 1 when a is higher,
// -1 when it is lower, 0 when they are equal. Parts are read as decimal numbers; an empty
// component ends the reading, and a part not read sorts below every part read.
int CompareVersionStrings(const std::string& a, const std::string& b, const std::string& delimiter);

bool SetWorkingDirectory(const FileSystemPath& path);
bool GetTempDirectory(FileSystemPath& path);

// Not available on this platform: both answer false and leave their output untouched.
bool ExpandInlineFolderTokens(const std::string& text, FileSystemPath& path);
bool GetRemovableDrives(std::vector<std::string>& drives);

// ---- File operations ----
//
// Each either completes or leaves the file system as it was, except where noted. Temporary
// names are ".temp" and six random characters; they are free when chosen but not reserved.

// Copies a file (symbolic links followed) into a new file at the target, which must not exist:
// the data, the Finder information (without the has-been-placed flag, so that the Finder places
// the copy afresh), the resource fork, the access and modification dates, then the owner, group
// and mode (in the home of another user's user domain the copy is that user's instead, see
// platform::UserDomainIdentity). Any failure after the target was created deletes it again.
bool CopyFile(const FileSystemPath& source, const FileSystemPath& target);

// Where a new file is to be made, looked up once for the check that nothing is there and for
// the making of the file: its folder, held open, so that both happen in that folder whatever
// becomes of its path in between (reached without following a link that another user planted
// where others can write), and the name, as the folder spells it on a volume that ignores case.
// A command that checks its target before it copies carries one from the check to the copy.
class NewFilePlace {
public:
    explicit NewFilePlace(const FileSystemPath& path);
    ~NewFilePlace();
    NewFilePlace(const NewFilePlace&) = delete;
    NewFilePlace& operator=(const NewFilePlace&) = delete;

    // What Exists answers for the path: something is there, a symbolic link or another
    // spelling of the name included.
    bool Taken() const { return taken_; }

private:
    friend bool CopyFile(const FileSystemPath& source, const FileSystemPath& target, NewFilePlace& place);

    // The walk to the folder, which holds it open (O_PATH) for as long as the place lives.
    std::unique_ptr<platform::TrustedPath> walk_;
    int folder_;         // the walk's folder; -1 when it could not be reached
    int folderError_;    // why it could not
    std::string folderRefusal_;  // the refusal, when a link that another user planted was in the way
    std::string folderPath_;
    std::string name_;   // the name in it, as it is spelled there when another spelling exists
    bool taken_;
};

// CopyFile into a place looked up before (for the target it was looked up for).
bool CopyFile(const FileSystemPath& source, const FileSystemPath& target, NewFilePlace& place);

// Moves a regular file (not a symbolic link) to a target where nothing exists, a dangling link
// counting as something: a rename that never replaces, or else (across volumes) a copy and the
// removal of the source; when the source cannot be removed the copy is removed again.
bool MoveFile(const FileSystemPath& source, const FileSystemPath& target);

// Exchanges two regular files: in one step where the file system can, else by three moves
// through a temporary name beside the first file, each undone when a later one fails. Throws
// std::runtime_error only when an undoing move fails too; the file left at the temporary name
// then keeps it.
bool SwapFiles(const FileSystemPath& first, const FileSystemPath& second);

// Copies a regular file (not a symbolic link) to a new temporary name in /tmp; the name is
// written to copy before the copy is made, so a caller can clean up after a failed copy.
bool CopyFileToTemp(const FileSystemPath& source, FileSystemPath& copy);

// A name in the folder that nothing has when it is chosen; nothing is created.
bool TempFilenameInDirectory(const FileSystemPath& folder, FileSystemPath& path);
// A temporary name alone (".temp" and six random characters), checked against no folder.
std::string RandomTempName();
// Test hook: the temporary names come from the function instead of chance (an empty one
// restores chance).
void SetTempNameSourceForTesting(const std::function<std::string()>& source);

// Removes a file, a symbolic link itself or an empty folder. The flag is not used.
bool DeleteFile(const FileSystemPath& path, bool flag);

// Reads a whole file (symbolic links followed); true only when every byte was read. An empty
// file gives an empty vector; what is no regular file (a pipe, a folder) is not read.
bool LoadFileContents(const FileSystemPath& path, std::vector<std::uint8_t>& contents);
// The same into text (a script read whole): no copy from bytes to text.
bool LoadFileContents(const FileSystemPath& path, std::string& contents);
// Reads a file that Setup keeps and later acts on (a stored uninstall script): only a plain file
// with one name, of root or of the running user, reached through folders that no other user can
// change (platform::OpenKeptFile). A refusal, which names the file, its owner and the folder, is
// noted as the failure's reason.
bool LoadKeptFileContents(const FileSystemPath& path, std::string& contents);

// Why the latest failed file operation of the calling thread failed, where it said (an
// attribute the file system refused, a link text that does not fit); empty when it did not.
// Every operation that gives reasons clears it when it starts. A noted reason is also written
// to the session log ("Sorvel") as an error.
std::string LastFailureReason();
void NoteFailureReason(const std::string& reason);
void ClearFailureReason();

}  // namespace FileSystemUtils
