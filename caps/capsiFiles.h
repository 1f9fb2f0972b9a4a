// The files and folders of the installation database: the base folder, path joining, the
// folder chain that only root creates, owners and modes, and the backup copy of a database.
#pragma once

#include "capsTypes.h"

#include <string>
#include <vector>

// Folder and file names under the base folder.
extern const char* const dbDir;           // "caps": the installation database's folder
extern const char* const dbName;          // "caps.db", also the name of its backup copy
extern const char* const dbBackupDir;     // "backup": the backup copy's folder
extern const char* const dbUninstallDir;  // "Uninstall": the uninstall databases' folder

const std::size_t kCapsiMaxPathLength = 1024;
// How long every connection waits for another connection's lock before giving up (status 14).
const int kCapsiBusyTimeoutMs = 2000;

// The base folder: the local Application Support folder with "/Orvex" appended. False when
// that folder cannot be found (it is never created here).
bool capsiDbPath(std::string& out);
// first + exactly one "/" + second without its leading slashes (an empty second gives first).
// False when the two lengths together exceed 1024.
bool capsiPathAppend(const std::string& first, const std::string& second, std::string& out);
// Whether a name used as a file or folder name stays inside its folder: not empty, not "." or
// "..", and without "/" or NUL. Storage keys and collection codes become file names.
bool capsiIsSafeFileName(const std::string& name);

bool capsiPathExists(const std::string& path);       // anything, even a dangling link
bool capsiFileExists(const std::string& path);       // a regular file
bool capsiDirectoryExists(const std::string& path);
std::string capsiPathParent(const std::string& path); // as the system's dirname
// Seconds since 1970; 0 when the path cannot be examined.
long capsiGetFileModTime(const std::string& path);

// Creates the missing folders of the chain, from the first missing ancestor down; 4 when part
// of the path exists but is not a folder, else capsiCreateDirectory's status.
capsStatus capsiCreatePath(const std::string& path);
// Creates one folder with mode 0775; only root may (11 otherwise). An existing folder is 0;
// something else in the way 4, a name too long 10, permission denied 11, other failures 4.
capsStatus capsiCreateDirectory(const std::string& path);
// Owner 0 and group 80 (when root) and the modes of a shared (01777/0666) or private
// (0755/0644) store for the folder and the file, each that exists. Failures are ignored: 0.
capsStatus capsiSetDbAccess(const std::string& folder, const std::string& fileName, bool shared);

// Whether a database file may be opened: SQLite opens it by its path, and reads and writes what
// lies there, so only a plain file with one name, of root or of this process's user, that no
// other user can write, reached through folders that no other user can change, is opened; and
// SQLite makes and reads its journal beside it by name, so its own folder must be one that no
// other user can write, sticky or not (platform::CheckKeptFileInOwnFolder). 0 (also when nothing
// is there yet, to be made), or 11 with the refusal reported and noted as the run's cause.
capsStatus capsiCheckDatabaseFile(const std::string& path);

// What SQLite's integrity check (which compares the indexes with their tables too) and the
// schema's version row say of a database file.
enum capsiDatabaseCondition {
    kCapsiDatabaseSound,     // the check passes and the schema's version is there
    kCapsiDatabaseNoSchema,  // a database without records of ours: an empty file, or no version row
    kCapsiDatabaseDamaged,   // not a database, or the check finds damage
    kCapsiDatabaseUnknown    // it could not be looked at (locked, unreadable): nothing is said
};
// Looks at the database through a connection of its own, which also rolls back a transaction
// that a process left behind when it died.
capsiDatabaseCondition capsiCheckDatabase(const std::string& path);

// Replaces destination with a consistent copy of the database at source, taken through SQLite
// so that the copy never sees a half-written transaction. The copy is written beside the
// destination and renamed over it only when complete and sound (capsiCheckDatabase), so a
// failure, or a source that is damaged or empty, leaves the old copy whole. True when the copy
// replaced the destination.
bool capsiCopyDatabaseFile(const std::string& source, const std::string& destination);
// Reads a whole file; true when every byte was read (an empty file included).
bool capsiLoadFileContents(const std::string& path, std::vector<unsigned char>& bytes);
