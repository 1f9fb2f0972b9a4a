// Sessions on the installation database, its backup copy and the integrity check.
#include "caps.h"

#include "capsiFiles.h"
#include "capsiSession.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <atomic>
#include <new>
#include <string>

namespace {

// The folder and full path of "caps.db"; false when the base folder is missing or a path
// cannot be built.
bool DatabasePaths(std::string& folder, std::string& file)
{
    std::string base;
    return capsiDbPath(base) && capsiPathAppend(base, dbDir, folder) && capsiPathAppend(folder, dbName, file);
}

bool BackupPaths(std::string& folder, std::string& file)
{
    std::string base;
    return capsiDbPath(base) && capsiPathAppend(base, dbBackupDir, folder) &&
           capsiPathAppend(folder, dbName, file);
}

bool BackupExists()
{
    std::string folder;
    std::string file;
    return BackupPaths(folder, file) && capsiFileExists(file);
}

capsStatus OpenSession(capsiSession** out)
{
    std::string folder;
    std::string file;
    if (!DatabasePaths(folder, file))
        return kCapsFailure;
    boost::shared_ptr<CapsiDataStore> store(new (std::nothrow) CapsiDataStore(folder, dbName, gCapsSchemas, false));
    if (!store)
        return kCapsNoMemory;
    if (store->status() != kCapsOK)
        return store->status();
    capsiSession* session = new (std::nothrow) capsiSession;
    if (session == nullptr)
        return kCapsNoMemory;
    session->store = store;
    session->backsUpInstallationDatabase = true;
    *out = session;
    return kCapsOK;
}

}  // namespace

capsStatus capsOpenSession(capsiSession** out)
{
    if (out == nullptr)
        return kCapsBadArgument;
    *out = nullptr;
    return OpenSession(out);
}

capsStatus capsOpenSessionNoCreate(capsiSession** out)
{
    if (out == nullptr)
        return kCapsBadArgument;
    *out = nullptr;
    std::string folder;
    std::string file;
    if (!DatabasePaths(folder, file) || !capsiFileExists(file))
        return kCapsNotFound;
    return OpenSession(out);
}

capsStatus capsGetLastModTime(long* out)
{
    if (out == nullptr)
        return kCapsBadArgument;
    std::string folder;
    std::string file;
    if (!DatabasePaths(folder, file) || !capsiFileExists(file))
        return kCapsNotFound;
    *out = capsiGetFileModTime(file);
    return kCapsOK;
}

bool capsGetDatabaseFiles(std::string& database, std::string& backup)
{
    std::string folder;
    std::string file;
    std::string backupFolder;
    std::string backupFile;
    if (!DatabasePaths(folder, file) || !BackupPaths(backupFolder, backupFile))
        return false;
    database = file;
    backup = backupFile;
    return true;
}

capsStatus capsVerifyIntegrity()
{
    std::string file;
    std::string backupFile;
    if (!capsGetDatabaseFiles(file, backupFile))
        return kCapsOK;
    const bool backedUp = capsiFileExists(backupFile);
    if (!capsiFileExists(file))
        return backedUp ? kCapsSchemaMissing : kCapsOK;
    // A file that is not to be read is not looked into: the sessions refuse it, saying why.
    if (capsiCheckDatabaseFile(file) != kCapsOK)
        return kCapsOK;
    switch (capsiCheckDatabase(file)) {
    case kCapsiDatabaseDamaged:
        return kCapsIOError;
    case kCapsiDatabaseNoSchema:
        // Without a backup it is a database not yet made; with one, the records are gone.
        return backedUp ? kCapsIOError : kCapsOK;
    default:
        return kCapsOK;
    }
}

capsStatus capsBackup()
{
    std::string folder;
    std::string file;
    std::string backupFolder;
    std::string backupFile;
    if (!DatabasePaths(folder, file) || !BackupPaths(backupFolder, backupFile) || !capsiFileExists(file))
        return kCapsNotFound;
    // Also when the folder exists: a run that died while making it left it to be finished.
    const capsStatus status = capsiCreatePath(backupFolder);
    if (!capsiCopyDatabaseFile(file, backupFile))
        return kCapsIOError;
    return status;
}

capsStatus capsRefreshStaleBackup()
{
    std::string file;
    std::string backupFile;
    if (!capsGetDatabaseFiles(file, backupFile))
        return kCapsOK;
    struct stat database;
    struct stat backup;
    if (stat(file.c_str(), &database) != 0 || !S_ISREG(database.st_mode))
        return kCapsOK;
    const bool stale = stat(backupFile.c_str(), &backup) != 0 ||
                       database.st_mtim.tv_sec > backup.st_mtim.tv_sec ||
                       (database.st_mtim.tv_sec == backup.st_mtim.tv_sec && database.st_mtim.tv_nsec > backup.st_mtim.tv_nsec);
    return stale ? capsBackup() : kCapsOK;
}

void capsClearStaleJournal()
{
    std::string file;
    std::string backupFile;
    if (!capsGetDatabaseFiles(file, backupFile) || !capsiPathExists(file + "-journal") || !capsiFileExists(file) ||
        capsiCheckDatabaseFile(file) != kCapsOK)
        return;
    // Leaving the persistent journal mode for the deleting one deletes the journal, under SQLite's
    // own locks: a journal that holds a transaction is rolled back first, one that another
    // connection writes stays.
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(database, kCapsiBusyTimeoutMs);
        sqlite3_exec(database, "PRAGMA journal_mode=PERSIST; PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
    }
    sqlite3_close(database);
}

namespace {

// Ends the handle's open part: kept, or undone. Keeping the outermost part commits the
// transaction, which refreshes the backup copy as every commit does.
capsStatus EndPart(capsiSession* session, bool keep)
{
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsOK;
    const capsStatus ended = store->endSavepoint(session->part, keep);
    if (ended != kCapsOK)
        return ended;
    session->part.clear();
    if (keep && !store->inTransaction() && session->backsUpInstallationDatabase)
        capsBackup();
    return kCapsOK;
}

}  // namespace

capsStatus capsShareSession(capsiSession* session, capsiSession** out)
{
    if (session == nullptr || out == nullptr)
        return kCapsBadArgument;
    *out = nullptr;
    capsiSession* handle = new (std::nothrow) capsiSession;
    if (handle == nullptr)
        return kCapsNoMemory;
    handle->store = session->store;
    handle->backsUpInstallationDatabase = session->backsUpInstallationDatabase;
    handle->shared = true;
    session->shared = true;
    *out = handle;
    return kCapsOK;
}

capsStatus capsSessionBeginPart(capsiSession* session)
{
    if (session == nullptr || !session->part.empty())
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsFailure;
    // Unique in the process, so that a part ended out of order can never end another's.
    static std::atomic<unsigned long long> parts(0);
    const std::string name = "caps_part_" + std::to_string(++parts);
    const capsStatus begun = store->beginSavepoint(name);
    if (begun == kCapsOK)
        session->part = name;
    return begun;
}

capsStatus capsSessionCommit(capsiSession* session)
{
    if (session == nullptr)
        return kCapsBadArgument;
    if (!session->part.empty())
        return EndPart(session, true);
    if (session->shared)
        return kCapsOK;  // the other handles' work is theirs to keep
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsOK;
    // Only a commit that changed "caps.db" can make its backup copy differ from it: reading
    // sessions and the uninstall databases leave an existing copy alone, and make a missing one.
    const bool wrote = store->inTransaction();
    const capsStatus committed = store->commit();
    if (committed != kCapsOK)
        return committed;
    if ((session->backsUpInstallationDatabase && wrote) || !BackupExists())
        capsBackup();  // the copy's own trouble is not the commit's
    return kCapsOK;
}

capsStatus capsSessionRollback(capsiSession* session)
{
    if (session == nullptr)
        return kCapsBadArgument;
    if (!session->part.empty())
        return EndPart(session, false);
    if (session->shared)
        return kCapsOK;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsOK;
    return store->rollback();
}

capsStatus capsCloseSession(capsiSession* session)
{
    if (session == nullptr)
        return kCapsBadArgument;
    if (session->shared) {
        // The transaction belongs to the parts: what none of them kept is discarded.
        capsStatus status = kCapsOK;
        if (!session->part.empty())
            status = EndPart(session, false);
        if (session->store.use_count() == 1) {
            if (CapsiDataStore* store = capsiStoreOf(session)) {
                const capsStatus rolledBack = store->rollback();
                const capsStatus closed = store->dbClose();
                if (status == kCapsOK)
                    status = rolledBack != kCapsOK ? rolledBack : closed;
            }
        }
        delete session;
        return status;
    }
    // A commit that failed lost the session's writes: that, not the close, is what the caller
    // must hear about.
    const capsStatus committed = capsSessionCommit(session);
    capsStatus closed = kCapsOK;
    if (CapsiDataStore* store = capsiStoreOf(session))
        closed = store->dbClose();
    delete session;
    return committed != kCapsOK ? committed : closed;
}
