// Sessions on the installation database, its backup copy and the integrity check.
#include "caps.h"

#include "capsiFiles.h"
#include "capsiSession.h"

#include <new>

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
    capsStatus status = kCapsOK;
    if (!capsiDirectoryExists(backupFolder))
        status = capsiCreatePath(backupFolder);
    if (!capsiCopyDatabaseFile(file, backupFile))
        return kCapsIOError;
    return status;
}

capsStatus capsSessionCommit(capsiSession* session)
{
    if (session == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsOK;
    // Only a commit that changed "caps.db" can make its backup copy differ from it (or a copy
    // that is missing): reading sessions and the uninstall databases leave the copy alone.
    const bool wrote = store->inTransaction();
    const capsStatus committed = store->commit();
    if (committed != kCapsOK)
        return committed;
    if (session->backsUpInstallationDatabase && (wrote || !BackupExists()))
        capsBackup();  // the copy's own trouble is not the commit's
    return kCapsOK;
}

capsStatus capsSessionRollback(capsiSession* session)
{
    if (session == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsOK;
    return store->rollback();
}

capsStatus capsCloseSession(capsiSession* session)
{
    if (session == nullptr)
        return kCapsBadArgument;
    // A commit that failed lost the session's writes: that, not the close, is what the caller
    // must hear about.
    const capsStatus committed = capsSessionCommit(session);
    capsStatus closed = kCapsOK;
    if (CapsiDataStore* store = capsiStoreOf(session))
        closed = store->dbClose();
    delete session;
    return committed != kCapsOK ? committed : closed;
}
