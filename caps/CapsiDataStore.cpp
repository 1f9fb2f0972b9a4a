#include "CapsiDataStore.h"

#include "capsiFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// What a failed or empty query leaves in its caller's out-parameter.
const char kEmptyText[] = "";
const char* const kEmptyList[] = {nullptr};

bool BeginsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool OpensTransaction(const char* sql)
{
    return BeginsWith(sql, "INSERT ") || BeginsWith(sql, "UPDATE ") || BeginsWith(sql, "DELETE ");
}

// The statement of a format with its values as parameters: "'%q'" (a quoted text), "%d" and
// "%ld" become "?", and kinds receives 'q', 'd' or 'l' for each. False for a format with any
// other conversion, which is formatted as text on every use instead.
bool ParameterizedStatement(const char* format, std::string& sql, std::string& kinds)
{
    sql.clear();
    kinds.clear();
    for (const char* at = format; *at != '\0'; ++at) {
        if (std::strncmp(at, "'%q'", 4) == 0) {
            sql += '?';
            kinds += 'q';
            at += 3;
        } else if (std::strncmp(at, "%d", 2) == 0) {
            sql += '?';
            kinds += 'd';
            at += 1;
        } else if (std::strncmp(at, "%ld", 3) == 0) {
            sql += '?';
            kinds += 'l';
            at += 2;
        } else if (*at == '%') {
            return false;
        } else {
            sql += *at;
        }
    }
    return true;
}

}  // namespace

capsStatus capsiSQLiteErrorMap(int sqliteResult)
{
    // Extended codes (a trigger's abort is SQLITE_CONSTRAINT_TRIGGER) count as their primary code.
    switch (sqliteResult & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return kCapsOK;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return kCapsAccessDenied;
    case SQLITE_BUSY:
        return kCapsBusy;
    case SQLITE_NOMEM:
        return kCapsNoMemory;
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_FULL:
    case SQLITE_NOTADB:
        return kCapsIOError;
    case SQLITE_NOTFOUND:
    case SQLITE_EMPTY:
        return kCapsNotFound;
    case SQLITE_CONSTRAINT:
        return kCapsConstraint;
    default:
        return kCapsDatabaseError;
    }
}

CapsiDataStore::CapsiDataStore()
    : status_(kCapsFailure), db_(nullptr), schemas_(nullptr), shared_(false)
{
}

CapsiDataStore::CapsiDataStore(const std::string& folder, const std::string& fileName, capsiSchemaList schemas,
                               bool shared)
    : status_(kCapsFailure), db_(nullptr), folder_(folder), fileName_(fileName), schemas_(schemas), shared_(shared)
{
    status_ = dbOpen();
    if (status_ == kCapsOK)
        capsiSetDbAccess(folder_, fileName_, shared_);
}

CapsiDataStore::~CapsiDataStore()
{
    dbClose();
}

capsStatus CapsiDataStore::dbOpen()
{
    if (db_ != nullptr)
        return kCapsOK;
    // The file name may come from a storage key or collection code: it must not leave its folder.
    std::string path;
    if (!capsiIsSafeFileName(fileName_) || !capsiPathAppend(folder_, fileName_, path))
        return kCapsBadArgument;
    if (!capsiFileExists(path)) {
        // Another opener may have made the file since the first look: only something that is
        // still no regular file blocks the path.
        if (capsiPathExists(path)) {
            if (!capsiFileExists(path))
                return kCapsFailure;
        } else {
            const capsStatus created = capsiCreatePath(folder_);
            if (created != kCapsOK)
                return created;
        }
    }

    // SQLite follows a link at the file's name and reads whatever lies there: what another user
    // planted, or could have, is refused before it is read or written.
    if (capsiCheckDatabaseFile(path) != kCapsOK)
        return kCapsAccessDenied;
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (opened != SQLITE_OK) {
        sqlite3_close(db);
        return capsiSQLiteErrorMap(opened);
    }
    // The schema's triggers, not foreign keys, keep the tables consistent, and INSERT OR REPLACE
    // must not run the delete triggers: pin both, whatever this SQLite's defaults are.
    sqlite3_extended_result_codes(db, 0);
    sqlite3_exec(db, "PRAGMA foreign_keys=OFF", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA recursive_triggers=OFF", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, kCapsiBusyTimeoutMs);
    db_ = db;
    status_ = kCapsOK;

    // A file that cannot be used as it is stays untouched. Several processes may open a new file
    // at once: each version is loaded under the write lock, after looking again whether another
    // connection has loaded it meanwhile, so the schema is made once and every opener succeeds.
    const int latest = capsiSchemaLatestVersion(schemas_);
    int current = 0;
    capsStatus result = recordedSchemaVersion(current);
    if (result == kCapsOK && current > 0)
        result = checkCompatibility();
    for (int version = current + 1; result == kCapsOK && version <= latest; ++version)
        result = loadSchema(version);
    // A schema made by another program while this one waited may be one it cannot use.
    if (result == kCapsOK && current == 0)
        result = checkCompatibility();

    if (result != kCapsOK) {
        dbClose();
        return result;
    }
    return kCapsOK;
}

capsStatus CapsiDataStore::recordedSchemaVersion(int& version)
{
    version = 0;
    const char* value = nullptr;
    // Only a file without the table is new; any other failed read is that failure (a busy file
    // is not a new one).
    capsStatus status =
        querySingle(&value, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'pcd_meta'");
    if (status != kCapsOK)
        return status;
    if (value == nullptr || std::strtol(value, nullptr, 10) == 0)
        return kCapsOK;
    status = querySingle(&value, "SELECT value FROM pcd_meta WHERE key = 'schema_version'");
    if (status == kCapsNotFound)
        return kCapsOK;
    if (status != kCapsOK)
        return status;
    version = value != nullptr ? static_cast<int>(std::strtol(value, nullptr, 10)) : 0;
    return kCapsOK;
}

capsStatus CapsiDataStore::checkCompatibility()
{
    const char* value = nullptr;
    const capsStatus status =
        querySingle(&value, "SELECT value FROM pcd_meta WHERE key = 'schema_compatibility_version'");
    if (status != kCapsOK)
        return status;
    if (value != nullptr && std::strtol(value, nullptr, 10) > capsiSchemaLatestVersion(schemas_))
        return kCapsSchemaTooNew;
    return kCapsOK;
}

void CapsiDataStore::forgetKeptStatements()
{
    for (auto& entry : kept_)
        sqlite3_finalize(entry.second.statement);
    kept_.clear();
}

capsStatus CapsiDataStore::dbClose()
{
    if (db_ == nullptr)
        return kCapsOK;
    forgetKeptStatements();
    int closed = sqlite3_close(db_);
    if (closed != SQLITE_OK)
        sqlite3_close_v2(db_);  // never forget a connection that is still alive
    db_ = nullptr;
    status_ = kCapsFailure;
    return capsiSQLiteErrorMap(closed);
}

capsStatus CapsiDataStore::loadSchema(int version)
{
    if (db_ == nullptr)
        return kCapsFailure;
    if (version < 1)
        return kCapsBadArgument;
    if (schemas_ == nullptr)
        return kCapsSchemaMissing;
    for (int index = 0; index < version; ++index) {
        if (schemas_[index] == nullptr)
            return kCapsSchemaMissing;
    }
    // The write lock first, then a second look: another connection may have loaded this version
    // while this one waited. Waiting beyond the busy time-out is reported as busy.
    const capsStatus began = execute("BEGIN IMMEDIATE");
    if (began != kCapsOK)
        return began == kCapsBusy ? kCapsBusy : kCapsFailure;
    // A commit that fails (readers kept the file beyond the time-out) must not leave it open.
    auto commitSchema = [this]() {
        const capsStatus committed = execute("COMMIT");
        if (committed != kCapsOK)
            execute("ROLLBACK");
        return committed;
    };
    int current = 0;
    const capsStatus recorded = recordedSchemaVersion(current);
    if (recorded != kCapsOK) {
        execute("ROLLBACK");
        return recorded == kCapsBusy ? kCapsBusy : kCapsFailure;
    }
    if (current >= version)
        return commitSchema();
    for (capsiSchemaStatements statement = schemas_[version - 1]; *statement != nullptr; ++statement) {
        if (queryNR("%s", *statement) != kCapsOK) {
            execute("ROLLBACK");
            return kCapsFailure;
        }
    }
    return commitSchema();
}

capsStatus CapsiDataStore::prepare(sqlite3_stmt** statement, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const capsStatus status = vprepare(statement, format, arguments);
    va_end(arguments);
    return status;
}

capsStatus CapsiDataStore::vprepare(sqlite3_stmt** statement, const char* format, va_list arguments)
{
    *statement = nullptr;
    char* sql = sqlite3_vmprintf(format, arguments);
    if (sql == nullptr)
        return kCapsNoMemory;
    if (db_ == nullptr) {
        const capsStatus status = BeginsWith(sql, "SELECT") ? kCapsNotFound : status_;
        sqlite3_free(sql);
        return status;
    }
    capsStatus began = kCapsOK;
    if (sqlite3_get_autocommit(db_) && OpensTransaction(sql))
        began = execute("BEGIN");
    const int compiled = sqlite3_prepare_v2(db_, sql, -1, statement, nullptr);
    sqlite3_free(sql);
    if (compiled != SQLITE_OK) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
        return capsiSQLiteErrorMap(compiled);
    }
    if (began != kCapsOK) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    return began;
}

capsStatus CapsiDataStore::vprepareKept(sqlite3_stmt** statement, bool& kept, const char* format, va_list arguments)
{
    kept = false;
    *statement = nullptr;
    if (db_ == nullptr)
        return vprepare(statement, format, arguments);
    std::map<std::string, KeptStatement>::iterator entry = kept_.find(format);
    if (entry == kept_.end()) {
        KeptStatement made;
        std::string sql;
        if (ParameterizedStatement(format, sql, made.kinds)) {
            sqlite3_stmt* compiled = nullptr;
            // A statement that does not compile (yet: its table may be made later) is left to
            // the formatted path, which reports why.
            if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &compiled, nullptr) != SQLITE_OK || compiled == nullptr) {
                sqlite3_finalize(compiled);
                return vprepare(statement, format, arguments);
            }
            made.statement = compiled;
            made.writes = OpensTransaction(sql.c_str());
        }
        entry = kept_.emplace(format, made).first;
    }
    KeptStatement& keptStatement = entry->second;
    if (keptStatement.statement == nullptr)
        return vprepare(statement, format, arguments);

    // A null text formats as "(NULL)" but would bind as NULL: such a call takes the formatted path.
    va_list values;
    va_copy(values, arguments);
    bool bound = true;
    for (std::size_t index = 0; index < keptStatement.kinds.size() && bound; ++index) {
        const int parameter = static_cast<int>(index) + 1;
        switch (keptStatement.kinds[index]) {
        case 'q': {
            const char* text = va_arg(values, const char*);
            bound = text != nullptr &&
                    sqlite3_bind_text(keptStatement.statement, parameter, text, -1, SQLITE_TRANSIENT) == SQLITE_OK;
            break;
        }
        case 'd':
            bound = sqlite3_bind_int(keptStatement.statement, parameter, va_arg(values, int)) == SQLITE_OK;
            break;
        default:
            bound = sqlite3_bind_int64(keptStatement.statement, parameter, va_arg(values, long)) == SQLITE_OK;
            break;
        }
    }
    va_end(values);
    if (!bound) {
        sqlite3_clear_bindings(keptStatement.statement);
        return vprepare(statement, format, arguments);
    }
    if (keptStatement.writes && sqlite3_get_autocommit(db_)) {
        const capsStatus began = execute("BEGIN");
        if (began != kCapsOK) {
            sqlite3_clear_bindings(keptStatement.statement);
            return began;
        }
    }
    *statement = keptStatement.statement;
    kept = true;
    return kCapsOK;
}

capsStatus CapsiDataStore::finish(sqlite3_stmt* statement, capsStatus stepStatus, bool kept)
{
    if (kept) {
        const int reset = sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return reset != SQLITE_OK ? capsiSQLiteErrorMap(reset) : stepStatus;
    }
    const int finalized = sqlite3_finalize(statement);
    return finalized != SQLITE_OK ? capsiSQLiteErrorMap(finalized) : stepStatus;
}

capsStatus CapsiDataStore::execute(const char* sql)
{
    if (db_ == nullptr)
        return status_;
    return capsiSQLiteErrorMap(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

capsStatus CapsiDataStore::queryNR(const char* format, ...)
{
    sqlite3_stmt* statement = nullptr;
    bool kept = false;
    va_list arguments;
    va_start(arguments, format);
    const capsStatus prepared = vprepareKept(&statement, kept, format, arguments);
    va_end(arguments);
    if (prepared != kCapsOK || statement == nullptr)
        return prepared;
    int stepped;
    do {
        stepped = sqlite3_step(statement);
    } while (stepped == SQLITE_ROW);
    return finish(statement, stepped == SQLITE_DONE ? kCapsOK : capsiSQLiteErrorMap(stepped), kept);
}

capsStatus CapsiDataStore::querySingle(const char** out, const char* format, ...)
{
    if (out == nullptr)
        return kCapsBadArgument;
    *out = kEmptyText;
    sqlite3_stmt* statement = nullptr;
    bool kept = false;
    va_list arguments;
    va_start(arguments, format);
    const capsStatus prepared = vprepareKept(&statement, kept, format, arguments);
    va_end(arguments);
    if (prepared != kCapsOK)
        return prepared;
    *out = nullptr;
    if (statement == nullptr)
        return kCapsNotFound;

    capsStatus status;
    const int stepped = sqlite3_step(statement);
    if (stepped == SQLITE_ROW) {
        // A NULL column reads as an empty text: callers take the value as a string.
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        const int length = text != nullptr ? sqlite3_column_bytes(statement, 0) : 0;
        *out = pool_.strdup(text != nullptr ? text : "", static_cast<std::size_t>(length));
        status = *out != nullptr ? kCapsOK : kCapsNoMemory;
    } else if (stepped == SQLITE_DONE) {
        status = kCapsNotFound;
    } else {
        status = capsiSQLiteErrorMap(stepped);
    }
    return finish(statement, status, kept);
}

capsStatus CapsiDataStore::queryList(capsStringList* out, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const capsStatus status = vqueryList(out, nullptr, format, arguments);
    va_end(arguments);
    return status;
}

capsStatus CapsiDataStore::queryListCounted(capsStringList* out, std::size_t* count, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const capsStatus status = vqueryList(out, count, format, arguments);
    va_end(arguments);
    return status;
}

capsStatus CapsiDataStore::queryRow(capsStringList* out, std::size_t columns, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::size_t count = 0;
    const capsStatus status = vqueryList(out, &count, format, arguments);
    va_end(arguments);
    if (status != kCapsOK)
        return status;
    return count == columns ? kCapsOK : kCapsDatabaseError;
}

capsStatus CapsiDataStore::vqueryList(capsStringList* out, std::size_t* count, const char* format,
                                      va_list arguments)
{
    if (out == nullptr)
        return kCapsBadArgument;
    *out = kEmptyList;
    if (count != nullptr)
        *count = 0;
    sqlite3_stmt* statement = nullptr;
    bool kept = false;
    const capsStatus prepared = vprepareKept(&statement, kept, format, arguments);
    if (prepared != kCapsOK)
        return prepared;
    if (statement == nullptr)
        return kCapsNotFound;

    std::vector<const char*> entries;
    capsStatus status = kCapsOK;
    bool anyRow = false;
    try {
        int stepped;
        while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
            anyRow = true;
            const int columns = sqlite3_column_count(statement);
            for (int column = 0; column < columns && status == kCapsOK; ++column) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
                if (text == nullptr) {
                    entries.push_back(nullptr);
                    continue;
                }
                const char* copy =
                    pool_.strdup(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
                if (copy == nullptr)
                    status = kCapsNoMemory;
                entries.push_back(copy);
            }
            if (status != kCapsOK)
                break;
        }
        if (status == kCapsOK && stepped != SQLITE_DONE)
            status = capsiSQLiteErrorMap(stepped);
    } catch (const std::bad_alloc&) {
        status = kCapsNoMemory;
    }
    status = finish(statement, status, kept);
    if (status != kCapsOK)
        return status;
    if (!anyRow)
        return kCapsNotFound;

    void* block = pool_.malloc((entries.size() + 1) * sizeof(const char*));
    if (block == nullptr)
        return kCapsNoMemory;
    const char** list = static_cast<const char**>(block);
    std::copy(entries.begin(), entries.end(), list);
    list[entries.size()] = nullptr;
    *out = list;
    if (count != nullptr)
        *count = entries.size();
    return kCapsOK;
}

capsStatus CapsiDataStore::commit()
{
    if (db_ == nullptr || sqlite3_get_autocommit(db_))
        return kCapsOK;
    return execute("COMMIT");
}

bool CapsiDataStore::inTransaction() const
{
    return db_ != nullptr && !sqlite3_get_autocommit(db_);
}

capsStatus CapsiDataStore::beginSavepoint(const std::string& name)
{
    if (db_ == nullptr)
        return status_;
    char* sql = sqlite3_mprintf("SAVEPOINT \"%w\"", name.c_str());
    if (sql == nullptr)
        return kCapsNoMemory;
    const capsStatus status = execute(sql);
    sqlite3_free(sql);
    return status;
}

capsStatus CapsiDataStore::endSavepoint(const std::string& name, bool keep)
{
    if (db_ == nullptr)
        return status_;
    char* sql = keep ? sqlite3_mprintf("RELEASE \"%w\"", name.c_str())
                     : sqlite3_mprintf("ROLLBACK TO \"%w\"; RELEASE \"%w\"", name.c_str(), name.c_str());
    if (sql == nullptr)
        return kCapsNoMemory;
    const capsStatus status = execute(sql);
    sqlite3_free(sql);
    return status;
}

capsStatus CapsiDataStore::rollback()
{
    if (db_ == nullptr || sqlite3_get_autocommit(db_))
        return kCapsOK;
    return execute("ROLLBACK");
}
