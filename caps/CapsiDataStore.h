// CapsiDataStore: one open SQLite database file of this subsystem (the installation database
// or an uninstall database): opening and schema upgrade, statements with SQLite's printf
// formats ("%q", "%d", "%ld"), transactions, and the pool that owns every result.
#pragma once

#include "CapsiPool.h"
#include "capsTypes.h"
#include "capsiSchemas.h"

#include <boost/noncopyable.hpp>

#include <cstdarg>
#include <cstddef>
#include <map>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The one mapping of SQLite result codes (primary or extended) to capsStatus.
capsStatus capsiSQLiteErrorMap(int sqliteResult);

class CapsiDataStore : private boost::noncopyable {
public:
    // A store with status 1 and nothing open.
    CapsiDataStore();
    // Opens folder/fileName (creating the folder chain, file and schema as needed); status()
    // tells the outcome. An opened store gets its owner and modes.
    CapsiDataStore(const std::string& folder, const std::string& fileName, capsiSchemaList schemas, bool shared);
    ~CapsiDataStore();

    // 0 while open, 1 while nothing is open, else the status with which opening failed.
    capsStatus status() const { return status_; }
    bool isOpen() const { return db_ != nullptr; }
    CapsiPool& pool() { return pool_; }

    /* Opening and closing. */
    capsStatus dbOpen();
    capsStatus dbClose();
    capsStatus loadSchema(int version);

    /* Statements. The first INSERT, UPDATE or DELETE outside a transaction begins one, which
       lasts until commit, rollback or close. */
    capsStatus prepare(sqlite3_stmt** statement, const char* format, ...);
    capsStatus queryNR(const char* format, ...);
    // out: the first column of the first row (pool text), null when there is no row (8).
    capsStatus querySingle(const char** out, const char* format, ...);
    // out: every column of every row; the static empty list when there is no row (8).
    capsStatus queryList(capsStringList* out, const char* format, ...);
    // As queryList; count receives the number of entries, NULL columns included.
    capsStatus queryListCounted(capsStringList* out, std::size_t* count, const char* format, ...);
    // out: the columns of the one row that a record's query finds; kCapsDatabaseError when it
    // finds another number of columns.
    capsStatus queryRow(capsStringList* out, std::size_t columns, const char* format, ...);

    /* Transactions: 0 when the store is not open or no transaction is open. */
    capsStatus commit();
    capsStatus rollback();
    // Whether a transaction is open: something was written since the last commit or rollback.
    bool inTransaction() const;
    /* Savepoints of that name: opening one outside a transaction begins it, and keeping (releasing)
       the outermost commits it. Undoing rolls back to the savepoint and releases it. */
    capsStatus beginSavepoint(const std::string& name);
    capsStatus endSavepoint(const std::string& name, bool keep);

private:
    // A statement prepared once from a format and kept for the store's connection: "'%q'",
    // "%d" and "%ld" become parameters, bound anew on every use.
    struct KeptStatement {
        sqlite3_stmt* statement = nullptr;
        std::string kinds;  // 'q', 'd' or 'l' per parameter, in order
        bool writes = false;
    };

    capsStatus vprepare(sqlite3_stmt** statement, const char* format, va_list arguments);
    // As vprepare, from the kept statement of the format where it has one; kept tells which.
    capsStatus vprepareKept(sqlite3_stmt** statement, bool& kept, const char* format, va_list arguments);
    capsStatus vqueryList(capsStringList* out, std::size_t* count, const char* format, va_list arguments);
    capsStatus execute(const char* sql);
    // The schema version the file records; 0 for a file without one (a new file). A file that
    // cannot be read (busy, damaged) gives its status.
    capsStatus recordedSchemaVersion(int& version);
    // The compatibility version of a file with a schema: 13 when it is newer than this program's.
    capsStatus checkCompatibility();
    // The stepping's status, unless finalising (or resetting a kept statement) reports an error
    // of its own.
    capsStatus finish(sqlite3_stmt* statement, capsStatus stepStatus, bool kept = false);
    void forgetKeptStatements();

    capsStatus status_;
    sqlite3* db_;
    CapsiPool pool_;
    std::string folder_;
    std::string fileName_;
    capsiSchemaList schemas_;
    bool shared_;
    std::map<std::string, KeptStatement> kept_;  // by format; a null statement: the format cannot be kept
};
