// FileSystemUtilsMac: the file-system queries and operations that only this platform has.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemVolume.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class TrustedPath;
}

namespace FileSystemUtilsMac {

// ---- Path-level queries ----

// Appends one volume per mounted file system that can be referenced; the list is not cleared.
bool GetAllVolumes(std::vector<boost::shared_ptr<FileSystemVolume> >& volumes);
// Whether the object itself is a regular file (a symbolic link is not).
bool IsRegularFile(const FileSystemPath& path, bool& isRegularFile);
bool IsSymlink(const FileSystemPath& path, bool& isSymlink);
// Nothing to unlock on this platform.
bool UnlockPathObject(const FileSystemPath& path);

// ---- Where other users can write ----

// Walks to the last name of the path (as the file system spells it: platform::OnDiskPath) as a
// privileged process must (platform::TrustedPath): with followLast a link at the last name is
// followed where it may be, and with forWriting the object reached must be one this process may
// write. False, with errno set, when it cannot; a refusal (a link or file that another user
// planted where others can write) is noted as the failure's reason.
bool WalkTrusted(const std::string& path, bool followLast, bool forWriting, platform::TrustedPath& place);
// The answer of a step taken on what a walk reached (0 or an errno value): true for 0; else false
// with errno set, a refusal noted as the failure's reason.
bool NoteChange(const platform::TrustedPath& place, int error);
// (Where the operation that follows works on the path, platform::CheckNameChange and CheckWrite
// make the same checks; their refusals are noted alike.)

// ---- Folders, temporary moves, modes, owners and symbolic links ----
//
// Each answers true on success; out-parameters are written only then, except that the two
// temporary moves write the chosen name before they move.

// A new folder ".tempdirXXXXXXXX" in the system root's "/tmp" that only the owner may use.
bool CreateTemporaryDirectory(FileSystemPath& path);
// A name for such a folder that nothing has now, the folder not made yet: a caller that must
// find the folder again after a crash notes the name first, then makes it
// (CreateTemporaryDirectoryAt, which fails when anything lies there by then).
bool NewTemporaryDirectoryName(FileSystemPath& path);
bool CreateTemporaryDirectoryAt(const FileSystemPath& path);

// Moves a regular file (not a symbolic link) to a temporary name in its own folder.
bool MoveFileToSiblingTemp(const FileSystemPath& source, FileSystemPath& temp);
// Moves a regular file (not a symbolic link) to a temporary name in the temporary-items folder
// of its own volume (else of the local domain, else /tmp), so that the move stays on the volume.
// Throws std::runtime_error when the file's volume cannot be found.
bool MoveFileToTemp(const FileSystemPath& source, FileSystemPath& temp);

// One folder with the mode, which the umask narrows unless exact is set; with exact the mode is
// applied again and, when that fails, the new folder is removed. Like every change below, never
// through a link, nor to a file, that another user planted where others can write. Like the
// links below, and files (FileSystemUtils::CopyFile), a folder made in the home of another user's
// user domain is that user's (platform::UserDomainIdentity).
bool CreateDirectory(const FileSystemPath& path, unsigned short mode, bool exact);
// The folder and every missing parent, parents first, each with CreateDirectory; true at once
// when anything exists at the path. Parents made before a failure stay.
bool CreateDirectoryPath(const FileSystemPath& path, unsigned short mode, bool exact);
// Removes an empty folder. The flag is not used.
bool DeleteDirectory(const FileSystemPath& path, bool flag);

// The twelve low mode bits (permissions, set-id and sticky bits); false for a symbolic link.
bool GetMode(const FileSystemPath& path, unsigned short& mode);
// Follows a symbolic link.
bool SetMode(const FileSystemPath& path, unsigned short mode);
// False for a symbolic link.
bool GetOwnerGroup(const FileSystemPath& path, unsigned int& owner, unsigned int& group);
// Follows a symbolic link.
bool SetOwnerGroup(const FileSystemPath& path, unsigned int owner, unsigned int group);

// The whole text of a symbolic link, never a part of it; false when the path is no link or its
// text does not fit the largest buffer read.
bool GetSymlinkDestination(const FileSystemPath& path, std::string& destination);
// A symbolic link at the path holding the text, which may name anything; false when anything
// exists at the path.
bool CreateSymlink(const FileSystemPath& path, const std::string& destination);

// The size of a regular file (not followed through a symbolic link).
bool GetDataLength(const FileSystemPath& path, std::uint64_t& length);

// ---- Finder aliases, display flags and application registration ----
//
// Finder flags live in each object's Finder information; alias records are the platform's.

// A new alias file at the alias path for the existing target: an empty file whose Finder
// information carries the is-alias flag and a type and creator chosen from the target, and whose
// resource fork holds the alias record (relative to the alias file) and, when an icon source is
// given, the custom icons of its resource fork, with the has-custom-icon flag. A half-made alias
// file is removed; on success the Finder is asked to refresh the target's path.
bool CreateMacAlias(const FileSystemPath& aliasPath, const FileSystemPath& targetPath,
                    const FileSystemPath* iconSourcePath);
// Replaces the alias record of an existing alias file by one for the new target; false when the
// file has no alias record. A failure leaves the alias file as it was.
bool RetargetMacAlias(const FileSystemPath& aliasPath, const FileSystemPath& newTargetPath);
bool IsMacAlias(const FileSystemPath& path, bool& isAlias);
// The alias file's target, resolved one level.
bool GetMacAliasTarget(const FileSystemPath& aliasPath, FileSystemPath& targetPath);

// The bytes of an absolute alias record of an existing object, and their resolution to the
// object's present path.
bool GetMacAliasDataForPath(const FileSystemPath& path, std::vector<std::uint8_t>& data);
bool ResolveMacAliasDataToPath(const std::vector<std::uint8_t>& data, FileSystemPath& path);

// Display flags: bit 0x1 hidden, 0x2 custom icon.
const std::uint32_t kDisplayAttributeHidden = 0x1;
const std::uint32_t kDisplayAttributeCustomIcon = 0x2;
bool GetDisplayAttributes(const FileSystemPath& path, std::uint32_t& attributes);
// Sets or clears the flags of the bits set in mask, after values; other flags stay. Then asks
// the Finder to redraw the object, whatever it answers.
bool SetDisplayAttributes(const FileSystemPath& path, std::uint32_t values, std::uint32_t mask);

// Registers (or updates) the application with the system's application database, then asks the
// Finder to refresh its path in every case; true when the registration succeeded.
bool RegisterApplication(const FileSystemPath& path);

}  // namespace FileSystemUtilsMac
