#include "tests/support/RawDatabase.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace tolktest {

RawDatabase::RawDatabase(const std::string& path)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot open " << path;
}

RawDatabase::~RawDatabase()
{
    sqlite3_close(db_);
}

int RawDatabase::Exec(const std::string& sql)
{
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

std::string RawDatabase::ErrorMessage() const
{
    return sqlite3_errmsg(db_);
}

std::vector<std::string> RawDatabase::Rows(const std::string& sql)
{
    std::vector<std::string> values;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr)) << sqlite3_errmsg(db_);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const unsigned char* text = sqlite3_column_text(statement, column);
            values.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "<null>");
        }
    }
    sqlite3_finalize(statement);
    return values;
}

std::vector<std::string> RawDatabase::JoinedRows(const std::string& sql, std::size_t columns)
{
    const std::vector<std::string> values = Rows(sql);
    std::vector<std::string> rows;
    for (std::size_t index = 0; index + columns <= values.size(); index += columns) {
        std::string row = values[index];
        for (std::size_t column = 1; column < columns; ++column)
            row += " " + values[index + column];
        rows.push_back(row);
    }
    return rows;
}

std::string RawDatabase::Value(const std::string& sql)
{
    const std::vector<std::string> values = Rows(sql);
    return values.empty() ? "" : values.front();
}

}  // namespace tolktest
