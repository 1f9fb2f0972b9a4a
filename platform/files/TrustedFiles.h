// TrustedFiles: the file operations that a privileged program makes where other users may have
// planted links and files (see TrustedPath): folders, new unique files, and logs, with what
// another user put in their place set aside instead of followed or written.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace platform {

// Each answers 0 or an errno value; EPERM gives the refusal in refusal (not reported, so that a
// logger may use them on its own file).

// One folder with the mode (narrowed by the umask unless exact, with which the mode is applied
// again and, when that fails, the new folder removed). EEXIST when anything is at the path. In
// the home of another user's user domain it is made as that user (UserDomainIdentity).
int MakeFolder(const std::string& path, mode_t mode, bool exact, std::string& refusal);

// The folder and every missing one above it, parents first, each with MakeFolder (the umask
// narrows the mode); 0 at once when a folder is at the path. A refusal is reported.
int MakeFolders(const std::string& path, mode_t mode);

// Renames what is at the path, in its folder, to "<name>.put-aside." and six random characters,
// never replacing anything (asidePath receives the new path): for what another user left where
// this process keeps a file or folder of its own. 0 or an errno value (a refusal is reported).
int PutAside(const std::string& path, std::string& asidePath);

// Opens a log file to append to it, creating it with the mode when missing; never through a link
// at its name. A log that is no plain file of the super-user or of this process's user (a link,
// a pipe, a folder, another user's file, a file with other names) is put aside, renamed in its
// folder to "<name>.put-aside." and six random characters, and a new file takes its place; note
// then receives a sentence that says so. The descriptor, or -1 with errno set.
int OpenLogForAppending(const std::string& path, mode_t mode, std::string& note, std::string& refusal);

// A new file made in the folder held open, exclusively and never through a link, owner-only, named
// prefix and six random characters: its descriptor, open for writing (name receives the name), or
// -1 with errno set.
int CreateUniqueFile(int folder, const std::string& prefix, std::string& name);

// A file that this process keeps and later reads to act on it (a stored script, a journal, a
// database), looked at without opening it: 0 when it may be read; EPERM with the refusal when it
// is anything but a plain file with one name, of the super-user or of this process's user, that
// no other user can write, or when it is reached through a folder or link that another user can
// change (TrustedPath::WalkKept); else the errno value met (ENOENT when nothing is there, its
// folders having passed). What a path names through such folders can be opened by its path.
int CheckKeptFile(const std::string& path, std::string& refusal);
// The same for a file that is read with files beside it that are found by their names (a
// database, whose journals its library makes and reads beside it): its own folder must moreover be
// one that no other user can write, even a sticky one, in which every user can still make new
// names. Judged also when nothing is there yet, to be made.
int CheckKeptFileInOwnFolder(const std::string& path, std::string& refusal);
// CheckKeptFile, and the file opened with the flags (O_RDONLY or O_RDWR, perhaps O_APPEND), never
// through a link and never waiting on a pipe: the descriptor, or -1 with errno set (EPERM with
// the refusal).
int OpenKeptFile(const std::string& path, int flags, std::string& refusal);

// A folder that this process reads whole to act on what it holds (a patch that it copies over
// its own files), looked at without following links: 0 when it is reached as CheckKeptFile reaches
// a file, and it and everything in it belong to the super-user or to this process's user and no
// other user can write them (a link's own mode aside; a sticky folder inside it counts as
// writable). EPERM with the refusal naming the first object in the way otherwise; ENOENT when
// nothing is at the path; else the errno value met.
int CheckKeptTree(const std::string& path, std::string& refusal);

// Readies the path for a copy of the object at source (not followed) that writes over what is
// there, walked as TrustedPath walks without following the last name: a symbolic link at the path
// is removed, so that the copy puts an entry of its own in its place instead of writing through
// it; and a regular file there, when source is one, gives up the set-ID bits that source lacks,
// through the object opened and judged, so that the new bytes never run with rights that their
// own file does not give. 0 (also when nothing, or no folder on the way, is there: the copy makes
// it or fails on it), EPERM with the refusal (not reported), or the errno value met.
int ReadyForCopyOver(const std::string& source, const std::string& path, std::string& refusal);

// A program that this process runs (a system tool), looked at before it is run by its path: 0 when
// it may be run, as a kept file may be read (CheckKeptFile), but for its names: a plain file of the
// super-user or of this process's user that no other user can write, reached through folders and
// links that no other user can change, a link at its last name of the super-user or this
// process's user being followed to its target under the same rule. So nobody else can put another program
// at the path until it is run. EPERM with the refusal ("Refused to run ...") naming the program
// and the folder, link or file in the way; else the errno value met (ENOENT when nothing is
// there).
int CheckProgramFile(const std::string& path, std::string& refusal);

// Whether the open file may be appended to as a log at its name: a regular file with one name,
// of the super-user or of this process's user.
bool IsOwnPlainFile(const struct stat& status);

}  // namespace platform
