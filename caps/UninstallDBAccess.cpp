#include "UninstallDBAccess.h"

#include "CapsiDataStore.h"
#include "caps.h"
#include "capsiFiles.h"
#include "capsiSchemas.h"
#include "capsiSession.h"

#include <sqlite3.h>

#include <boost/format.hpp>
#include <boost/lexical_cast.hpp>

#include <new>

namespace {

const char* const kDatabaseExtension = ".db";

// Steps a statement to its end, collecting at most maxRows rows (0: none). Status as the store's
// queries give it: the step's mapped failure, replaced by a failing finalisation's.
capsStatus RunStatement(CapsiDataStore& store, const std::string& sql, std::size_t maxRows,
                        UninstallDBAccess::Rows& rows)
{
    // A NUL would end the text early, in the middle of a quoted value.
    if (sql.find('\0') != std::string::npos)
        return kCapsBadArgument;
    sqlite3_stmt* statement = nullptr;
    // The text is handed over as an argument, never as the format: a "%" in a value stays.
    const capsStatus prepared = store.prepare(&statement, "%s", sql.c_str());
    if (prepared != kCapsOK)
        return prepared;
    if (statement == nullptr)
        return kCapsNotFound;

    capsStatus status = kCapsOK;
    int stepped;
    try {
        while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
            if (rows.size() >= maxRows)
                continue;
            UninstallDBAccess::Row row;
            const int columns = sqlite3_column_count(statement);
            for (int column = 0; column < columns; ++column) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
                if (text == nullptr) {
                    row.push_back(UninstallDBAccess::SharedString());
                    continue;
                }
                const int length = sqlite3_column_bytes(statement, column);
                row.push_back(UninstallDBAccess::SharedString(
                    new std::string(text, static_cast<std::size_t>(length))));
            }
            rows.push_back(row);
        }
        if (stepped != SQLITE_DONE)
            status = capsiSQLiteErrorMap(stepped);
    } catch (const std::bad_alloc&) {
        status = kCapsNoMemory;
    }
    const int finalized = sqlite3_finalize(statement);
    return finalized != SQLITE_OK ? capsiSQLiteErrorMap(finalized) : status;
}

// Whether every column of the row is present and there are exactly count of them.
bool IsCompleteRow(const UninstallDBAccess::Row& row, std::size_t count)
{
    if (row.size() != count)
        return false;
    for (const UninstallDBAccess::SharedString& column : row) {
        if (!column)
            return false;
    }
    return true;
}

}  // namespace

capsStatus UninstallDBAccess::Create(const std::string& storageKey, boost::shared_ptr<UninstallDBAccess>& out)
{
    // The key names a file: one that would leave the uninstall folder is refused like an empty one.
    if (storageKey.empty() || !capsiIsSafeFileName(storageKey + kDatabaseExtension))
        return kCapsBadArgument;
    UninstallDBAccess* access = new (std::nothrow) UninstallDBAccess(storageKey);
    if (access == nullptr)
        return kCapsNoMemory;
    out.reset(access);
    return kCapsOK;
}

bool UninstallDBAccess::DatabaseFile(const std::string& storageKey, std::string& file)
{
    if (storageKey.empty() || !capsiIsSafeFileName(storageKey + kDatabaseExtension))
        return false;
    std::string folder;
    std::string fileName;
    return UninstallDBAccess(storageKey).DatabaseLocation(folder, fileName, file);
}

UninstallDBAccess::UninstallDBAccess(const std::string& storageKey) : storageKey_(storageKey)
{
}

UninstallDBAccess::~UninstallDBAccess()
{
    // The store's connection closes with the last of the two, rolling back what is uncommitted.
    session_.reset();
    store_.reset();
}

bool UninstallDBAccess::DatabaseLocation(std::string& folder, std::string& fileName, std::string& file) const
{
    std::string base;
    fileName = storageKey_ + kDatabaseExtension;
    return capsiDbPath(base) && capsiPathAppend(base, dbUninstallDir, folder) &&
           capsiPathAppend(folder, fileName, file);
}

capsStatus UninstallDBAccess::Open()
{
    std::string folder;
    std::string fileName;
    std::string file;
    if (!DatabaseLocation(folder, fileName, file))
        return kCapsFailure;
    boost::shared_ptr<CapsiDataStore> store(new (std::nothrow)
                                                CapsiDataStore(folder, fileName, gUninstallSchemas, false));
    if (!store)
        return kCapsNoMemory;
    if (store->status() != kCapsOK)
        return store->status();
    boost::shared_ptr<capsiSession> session(new (std::nothrow) capsiSession);
    if (!session)
        return kCapsNoMemory;
    session->store = store;
    session_ = session;
    store_ = store;
    return kCapsOK;
}

bool UninstallDBAccess::Exists()
{
    std::string folder;
    std::string fileName;
    std::string file;
    return DatabaseLocation(folder, fileName, file) && capsiFileExists(file);
}

capsStatus UninstallDBAccess::Commit()
{
    if (!session_)
        return kCapsFailure;
    return capsSessionCommit(session_.get());
}

capsStatus UninstallDBAccess::Rollback()
{
    if (!session_)
        return kCapsFailure;
    return capsSessionRollback(session_.get());
}

capsStatus UninstallDBAccess::Query(const std::string& statement)
{
    if (!store_)
        return kCapsFailure;
    Rows none;
    return RunStatement(*store_, statement, 0, none);
}

capsStatus UninstallDBAccess::Query(SharedString& value, const std::string& statement)
{
    value.reset();
    if (!store_)
        return kCapsFailure;
    Rows rows;
    const capsStatus status = RunStatement(*store_, statement, 1, rows);
    if (status != kCapsOK)
        return status;
    if (rows.empty())
        return kCapsNotFound;
    if (!rows.front().empty())
        value = rows.front().front();
    return kCapsOK;
}

capsStatus UninstallDBAccess::Query(Row& row, const std::string& statement)
{
    row.clear();
    if (!store_)
        return kCapsFailure;
    Rows rows;
    const capsStatus status = RunStatement(*store_, statement, 1, rows);
    if (status != kCapsOK)
        return status;
    if (rows.empty())
        return kCapsNotFound;
    row.swap(rows.front());
    return kCapsOK;
}

capsStatus UninstallDBAccess::Query(Rows& rows, const std::string& statement)
{
    rows.clear();
    if (!store_)
        return kCapsFailure;
    const capsStatus status = RunStatement(*store_, statement, static_cast<std::size_t>(-1), rows);
    if (status != kCapsOK)
        return status;
    return rows.empty() ? kCapsNotFound : kCapsOK;
}

capsStatus UninstallDBAccess::GetAliasDataForPath(const std::string& installPath, SharedString& aliasData)
{
    return Query(aliasData, (boost::format("SELECT aliasData FROM path_aliases WHERE installPath = %1%") %
                             SQLValue(installPath)).str());
}

capsStatus UninstallDBAccess::SetAliasDataForPath(const std::string& installPath, const std::string& aliasData)
{
    return Query((boost::format("INSERT OR REPLACE INTO path_aliases (installPath,aliasData) VALUES(%1%,%2%)") %
                  SQLValue(installPath) % SQLValue(aliasData)).str());
}

capsStatus UninstallDBAccess::DeleteAliasDataForPath(const std::string& installPath)
{
    return Query((boost::format("DELETE FROM path_aliases WHERE installPath = %1%") % SQLValue(installPath)).str());
}

capsStatus UninstallDBAccess::GetAliasDataForAllPaths(AliasDataMap& aliases)
{
    Rows rows;
    const capsStatus status = Query(rows, "SELECT installPath,aliasData FROM path_aliases");
    if (status != kCapsOK)
        return status;
    aliases.clear();
    for (const Row& row : rows) {
        if (!IsCompleteRow(row, 2))
            return kCapsDatabaseError;
        aliases[*row[0]] = *row[1];
    }
    return kCapsOK;
}

capsStatus UninstallDBAccess::DeleteAliasDataForAllPaths()
{
    return Query("DELETE FROM path_aliases");
}

capsStatus UninstallDBAccess::GetTokenVolumeDataForAllTokens(TokenVolumeDataSet& records)
{
    Rows rows;
    const capsStatus status = Query(rows, "SELECT token,volumePath,volumeAliasData FROM token_volumes");
    if (status != kCapsOK)
        return status;
    records.clear();
    for (const Row& row : rows) {
        if (!IsCompleteRow(row, 3))
            return kCapsDatabaseError;
        records.insert(TokenVolumeData(*row[0], *row[1], *row[2]));
    }
    return kCapsOK;
}

capsStatus UninstallDBAccess::GetTokenVolumeDataForToken(TokenVolumeData& record)
{
    Row row;
    const capsStatus status =
        Query(row, (boost::format("SELECT volumePath,volumeAliasData FROM token_volumes WHERE token = %1%") %
                    SQLValue(record.token)).str());
    if (status != kCapsOK)
        return status;
    if (!IsCompleteRow(row, 2))
        return kCapsDatabaseError;
    record.volumePath = *row[0];
    record.volumeAliasData = *row[1];
    return kCapsOK;
}

capsStatus UninstallDBAccess::SetTokenVolumeData(const TokenVolumeData& record)
{
    return Query((boost::format("INSERT OR REPLACE INTO token_volumes (token,volumePath,volumeAliasData) "
                                "VALUES(%1%,%2%,%3%)") %
                  SQLValue(record.token) % SQLValue(record.volumePath) % SQLValue(record.volumeAliasData))
                     .str());
}

capsStatus UninstallDBAccess::DeleteTokenVolumeDataForToken(const std::string& token)
{
    return Query((boost::format("DELETE FROM token_volumes WHERE token = %1%") % SQLValue(token)).str());
}

capsStatus UninstallDBAccess::DeleteTokenVolumeDataForAllTokens()
{
    return Query("DELETE FROM token_volumes");
}

std::string UninstallDBAccess::SQLValue(const std::string& text)
{
    return "'" + SQLEscape(text) + "'";
}

std::string UninstallDBAccess::SQLValue(const SharedString& text)
{
    return text ? SQLValue(*text) : std::string("NULL");
}

std::string UninstallDBAccess::SQLValue(unsigned long number)
{
    return boost::lexical_cast<std::string>(number);
}

std::string UninstallDBAccess::SQLEscape(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char character : text) {
        escaped += character;
        if (character == '\'')
            escaped += '\'';
    }
    return escaped;
}
