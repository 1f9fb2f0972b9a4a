// A plain SQLite connection to a database file, for the tests that look at the installation and
// uninstall databases behind the program's back, or hold their locks.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct sqlite3;

namespace tolktest {

class RawDatabase {
public:
    // Opens the file for reading and writing; a failure to open fails the test.
    explicit RawDatabase(const std::string& path);
    ~RawDatabase();
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    int Exec(const std::string& sql);
    std::string ErrorMessage() const;
    // Every column of every row, as the caps list results hold them ("<null>" for NULL).
    std::vector<std::string> Rows(const std::string& sql);
    // The rows of a query of that many columns, the columns of a row joined by blanks.
    std::vector<std::string> JoinedRows(const std::string& sql, std::size_t columns);
    // The first column of the first row; "" when there is none.
    std::string Value(const std::string& sql);

private:
    sqlite3* db_ = nullptr;
};

}  // namespace tolktest
