#include "capsiFiles.h"

#include "capsiHooks.h"

#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/RunReport.h"
#include "platform/Folders.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"

#include <sqlite3.h>

#include <dirent.h>
#include <fcntl.h>
#include <libgen.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* const dbDir = "caps";
const char* const dbName = "caps.db";
const char* const dbBackupDir = "backup";
const char* const dbUninstallDir = "Uninstall";

namespace {

const char* const kBaseFolderName = "Orvex";
const std::uint32_t kApplicationSupportFolderType = platform::FourCharCode('a', 's', 'u', 'p');
const uid_t kDbOwner = 0;
const gid_t kDbGroup = 80;  // the admin group of the system the files are shared with

bool StatPath(const std::string& path, struct stat& info)
{
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

void ApplyAccess(const std::string& path, mode_t mode)
{
    // Never through a link, nor to what another user planted where others can write.
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode) || platform::CheckWrite(path) != 0)
        return;
    // Owner and mode are a courtesy to the other admin tools; the database works without them,
    // so a file system that refuses either is not an error.
    if (capsiRunningAsRoot() && (info.st_uid != kDbOwner || info.st_gid != kDbGroup))
        static_cast<void>(lchown(path.c_str(), kDbOwner, kDbGroup) == 0);
    fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW);
}

const mode_t kFolderMode = 0775;

bool FolderIsEmpty(const std::string& path)
{
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr)
        return false;
    bool empty = true;
    while (const struct dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(folder);
    return empty;
}

// The process's umask, read without setting it (umask(2) sets it for every thread at once).
bool ProcessUmask(mode_t& mask)
{
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr)
        return false;
    char line[256];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        found = std::sscanf(line, "Umask: %o", &value) == 1;
        mask = static_cast<mode_t>(value);
    }
    std::fclose(status);
    return found;
}

// mkdir gives a folder the mode less the umask, and the full mode follows; a run that died in
// between left the folder with exactly that. Such a folder, still empty and ours, is given the
// full mode now; one with any other mode (an administrator's choice) is left as it is.
void FinishFolderMode(const std::string& path)
{
    struct stat info;
    mode_t mask = 0;
    if (!capsiRunningAsRoot() || lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != geteuid() || !ProcessUmask(mask))
        return;
    const mode_t mode = info.st_mode & 07777;
    if (mode == kFolderMode || mode != (kFolderMode & ~mask) || !FolderIsEmpty(path) ||
        platform::CheckWrite(path) != 0)
        return;
    fchmodat(AT_FDCWD, path.c_str(), kFolderMode, AT_SYMLINK_NOFOLLOW);
}

// Makes the rename of a finished copy durable; a failure only weakens that, so it is ignored.
void SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

bool SyncFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

// One page-by-page copy of the whole database under one read lock of the source.
bool BackupInto(sqlite3* source, const std::string& target)
{
    sqlite3* destination = nullptr;
    if (sqlite3_open_v2(target.c_str(), &destination, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(destination);
        return false;
    }
    // The copy is renamed into place only when whole, so it needs no journal of its own.
    sqlite3_exec(destination, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
    bool copied = false;
    if (sqlite3_backup* backup = sqlite3_backup_init(destination, "main", source, "main")) {
        const int stepped = sqlite3_backup_step(backup, -1);
        const int finished = sqlite3_backup_finish(backup);
        copied = stepped == SQLITE_DONE && finished == SQLITE_OK;
    }
    return sqlite3_close(destination) == SQLITE_OK && copied;
}

bool IsDamage(int code)
{
    code &= 0xFF;  // the primary code of an extended one
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

}  // namespace

capsStatus capsiCheckDatabaseFile(const std::string& path)
{
    std::string refusal;
    bool refused = platform::CheckKeptFileInOwnFolder(path, refusal) == EPERM;
    // SQLite reads the files it keeps beside the database by their names (a hot journal is played
    // into it): each that is there must be one that no other user made or can write, as one left
    // from before its folder was closed to them may be.
    for (const char* beside : {"-journal", "-wal", "-shm"}) {
        if (!refused)
            refused = platform::CheckKeptFile(path + beside, refusal) == EPERM;
    }
    if (!refused)
        return kCapsOK;
    platform::ReportRefusal(refusal);
    // Whatever the run wanted of the database fails for it, and is then told in words (a failed
    // operation, a status) that do not say why.
    RunReport::NoteCause(refusal);
    return kCapsAccessDenied;
}

capsiDatabaseCondition capsiCheckDatabase(const std::string& path)
{
    // Opened to be written (a hot journal is rolled back): never through what another user planted.
    if (platform::CheckWrite(path) != 0)
        return kCapsiDatabaseUnknown;
    sqlite3* database = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READWRITE, nullptr);
    if (opened != SQLITE_OK) {
        sqlite3_close(database);
        return IsDamage(opened) ? kCapsiDatabaseDamaged : kCapsiDatabaseUnknown;
    }
    sqlite3_busy_timeout(database, kCapsiBusyTimeoutMs);
    capsiDatabaseCondition condition = kCapsiDatabaseUnknown;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(database, "PRAGMA integrity_check(1)", -1, &statement, nullptr);
    if (code == SQLITE_OK)
        code = sqlite3_step(statement);
    if (code == SQLITE_ROW) {
        const unsigned char* verdict = sqlite3_column_text(statement, 0);
        condition = verdict != nullptr && std::string(reinterpret_cast<const char*>(verdict)) == "ok"
                        ? kCapsiDatabaseSound
                        : kCapsiDatabaseDamaged;
    } else if (IsDamage(code)) {
        condition = kCapsiDatabaseDamaged;
    }
    sqlite3_finalize(statement);
    if (condition == kCapsiDatabaseSound) {
        statement = nullptr;
        code = sqlite3_prepare_v2(database, "SELECT value FROM pcd_meta WHERE key = 'schema_version'", -1,
                                  &statement, nullptr);
        if (code == SQLITE_OK)
            code = sqlite3_step(statement);
        // No such table fails the compile with a plain error; locks and I/O say nothing.
        if (code != SQLITE_ROW)
            condition = code == SQLITE_DONE || code == SQLITE_ERROR ? kCapsiDatabaseNoSchema : kCapsiDatabaseUnknown;
        sqlite3_finalize(statement);
    }
    sqlite3_close(database);
    return condition;
}

bool capsiDbPath(std::string& out)
{
    std::string applicationSupport;
    if (!MacUtils::StdStringFindFolder(platform::kLocalDomain, kApplicationSupportFolderType, false,
                                       applicationSupport))
        return false;
    return capsiPathAppend(applicationSupport, kBaseFolderName, out);
}

bool capsiPathAppend(const std::string& first, const std::string& second, std::string& out)
{
    if (first.size() + second.size() > kCapsiMaxPathLength)
        return false;
    std::string::size_type start = 0;
    while (start < second.size() && second[start] == '/')
        ++start;
    if (second.empty()) {
        out = first;
        return true;
    }
    std::string joined = first;
    while (!joined.empty() && joined.back() == '/')
        joined.pop_back();
    joined += '/';
    joined.append(second, start, std::string::npos);
    out = joined;
    return true;
}

bool capsiIsSafeFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool capsiPathExists(const std::string& path)
{
    struct stat info;
    return !path.empty() && lstat(path.c_str(), &info) == 0;
}

bool capsiFileExists(const std::string& path)
{
    struct stat info;
    return StatPath(path, info) && S_ISREG(info.st_mode);
}

bool capsiDirectoryExists(const std::string& path)
{
    struct stat info;
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

std::string capsiPathParent(const std::string& path)
{
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    return dirname(buffer.data());
}

long capsiGetFileModTime(const std::string& path)
{
    struct stat info;
    if (!StatPath(path, info))
        return 0;
    return static_cast<long>(info.st_mtime);
}

capsStatus capsiCreatePath(const std::string& path)
{
    if (path.empty())
        return kCapsBadArgument;
    if (capsiDirectoryExists(path)) {
        FinishFolderMode(path);
        return kCapsOK;
    }
    if (capsiPathExists(path))
        return kCapsIOError;
    const std::string parent = capsiPathParent(path);
    if (parent != path) {
        const capsStatus status = capsiCreatePath(parent);
        if (status != kCapsOK)
            return status;
    }
    return capsiCreateDirectory(path);
}

capsStatus capsiCreateDirectory(const std::string& path)
{
    if (!capsiRunningAsRoot())
        return kCapsAccessDenied;
    // The mode is set after mkdir rather than by changing the umask, which is process-wide; never
    // in a folder reached through a link that another user planted where others can write.
    std::string refusal;
    const int error = platform::MakeFolder(path, kFolderMode, true, refusal);
    if (!refusal.empty())
        platform::ReportRefusal(refusal);
    switch (error) {
    case 0:
        return kCapsOK;
    case EEXIST:
        return capsiDirectoryExists(path) ? kCapsOK : kCapsIOError;
    case ENAMETOOLONG:
        return kCapsBadArgument;
    case EACCES:
    case EPERM:
        return kCapsAccessDenied;
    default:
        return kCapsIOError;
    }
}

capsStatus capsiSetDbAccess(const std::string& folder, const std::string& fileName, bool shared)
{
    if (capsiPathExists(folder))
        ApplyAccess(folder, shared ? 01777 : 0755);
    std::string file;
    if (capsiPathAppend(folder, fileName, file) && capsiPathExists(file))
        ApplyAccess(file, shared ? 0666 : 0644);
    return kCapsOK;
}

bool capsiCopyDatabaseFile(const std::string& source, const std::string& destination)
{
    struct stat sourceInfo;
    if (!StatPath(source, sourceInfo) || !S_ISREG(sourceInfo.st_mode) || destination.empty() ||
        capsiCheckDatabaseFile(source) != kCapsOK || platform::CheckNameChange(destination) != 0)
        return false;

    // The source is read through SQLite only: a plain open and close of a database file would
    // drop the POSIX locks that this process's other connections hold on it.
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(source.c_str(), &database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        return false;
    }
    sqlite3_busy_timeout(database, kCapsiBusyTimeoutMs);

    std::vector<char> pattern(destination.begin(), destination.end());
    const std::string suffix = ".XXXXXX";
    pattern.insert(pattern.end(), suffix.begin(), suffix.end());
    pattern.push_back('\0');
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        sqlite3_close(database);
        return false;
    }
    const std::string temporary = pattern.data();
    // Locked (flock, which SQLite's own locks leave alone) until it has its place: a copy that
    // nobody holds was left by a process that died, and the next run removes it.
    flock(fd, LOCK_EX | LOCK_NB);
    const bool prepared = fchmod(fd, sourceInfo.st_mode & 07777) == 0;

    // A damaged or empty source makes a copy that is no better: the last good one stays.
    bool copied = prepared && BackupInto(database, temporary) &&
                  capsiCheckDatabase(temporary) == kCapsiDatabaseSound && SyncFile(temporary);
    sqlite3_close(database);
    if (copied)
        copied = rename(temporary.c_str(), destination.c_str()) == 0;
    if (!copied) {
        unlink(temporary.c_str());
        unlink((temporary + "-journal").c_str());
    } else {
        SyncFolder(capsiPathParent(destination));
    }
    close(fd);
    return copied;
}

bool capsiLoadFileContents(const std::string& path, std::vector<unsigned char>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::vector<unsigned char> contents;
    unsigned char block[16384];
    bool complete = true;
    for (;;) {
        const std::size_t count = std::fread(block, 1, sizeof(block), file);
        contents.insert(contents.end(), block, block + count);
        if (count < sizeof(block)) {
            complete = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!complete)
        return false;
    bytes.swap(contents);
    return true;
}
