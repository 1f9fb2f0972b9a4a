// UninstallDBAccess: the uninstall database of one storage key ("<key>.db" in the folder
// "Uninstall" under the base folder), which keeps the path aliases and token volumes that the
// command engine needs to find moved items again when it uninstalls or repairs.
#pragma once

#include "capsTypes.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <set>
#include <string>
#include <vector>

class CapsiDataStore;
struct capsiSession;

class UninstallDBAccess : private boost::noncopyable {
public:
    // One token_volumes row.
    class TokenVolumeData {
    public:
        TokenVolumeData(const std::string& token, const std::string& volumePath, const std::string& volumeAliasData)
            : token(token), volumePath(volumePath), volumeAliasData(volumeAliasData)
        {
        }

        // Orders by token, so a set holds one record per token.
        struct LtComparator {
            bool operator()(const TokenVolumeData& a, const TokenVolumeData& b) const { return a.token < b.token; }
        };

        std::string token;
        std::string volumePath;
        std::string volumeAliasData;
    };

    // A column value; empty for NULL.
    typedef boost::shared_ptr<std::string> SharedString;
    typedef std::vector<SharedString> Row;
    typedef std::vector<Row> Rows;
    typedef std::set<TokenVolumeData, TokenVolumeData::LtComparator> TokenVolumeDataSet;
    // install path -> alias data
    typedef std::map<std::string, std::string> AliasDataMap;

    // 10 for an empty key, or one whose file name would not stay inside the uninstall folder;
    // otherwise a new accessor, not yet opened, in out and 0. Touches no file.
    static capsStatus Create(const std::string& storageKey, boost::shared_ptr<UninstallDBAccess>& out);
    // The path of the key's database file; false for a key that Create refuses, or when the base
    // folder cannot be found. Touches no file.
    static bool DatabaseFile(const std::string& storageKey, std::string& file);

    // Discards whatever was written since the last Commit.
    virtual ~UninstallDBAccess();

    // Opens the key's database, creating folder, file and schema when missing (the folder as
    // root only). 1 when the base folder cannot be found; the store's status otherwise. A
    // second Open replaces the first one's store and session.
    virtual capsStatus Open();
    // Whether the key's database file exists; opens nothing.
    virtual bool Exists();
    // Commits (which also refreshes the installation database's backup copy); 1 when not open.
    virtual capsStatus Commit();
    virtual capsStatus Rollback();

    /* Statements, run exactly as given. Each gives 1 when the accessor is not open. The first
       writing statement begins the transaction that Commit or Rollback ends. */
    // A statement that returns no rows.
    virtual capsStatus Query(const std::string& statement);
    // The first column of the first row (empty for NULL); 8 when there is no row.
    virtual capsStatus Query(SharedString& value, const std::string& statement);
    // Every column of the first row; 8 when there is no row.
    virtual capsStatus Query(Row& row, const std::string& statement);
    // Every row; 8 when there is none.
    virtual capsStatus Query(Rows& rows, const std::string& statement);

    /* Path aliases. */
    // 8 when the path has no record.
    virtual capsStatus GetAliasDataForPath(const std::string& installPath, SharedString& aliasData);
    virtual capsStatus SetAliasDataForPath(const std::string& installPath, const std::string& aliasData);
    virtual capsStatus DeleteAliasDataForPath(const std::string& installPath);
    // 8 (aliases untouched) when there are no records; 12 for a row of the wrong shape.
    virtual capsStatus GetAliasDataForAllPaths(AliasDataMap& aliases);
    virtual capsStatus DeleteAliasDataForAllPaths();

    /* Token volumes. */
    // 8 (records untouched) when there are no records; 12 for a row of the wrong shape.
    virtual capsStatus GetTokenVolumeDataForAllTokens(TokenVolumeDataSet& records);
    // The record's token is the input; its volume fields are filled. 8 (record untouched) when
    // the token has no record.
    virtual capsStatus GetTokenVolumeDataForToken(TokenVolumeData& record);
    virtual capsStatus SetTokenVolumeData(const TokenVolumeData& record);
    virtual capsStatus DeleteTokenVolumeDataForToken(const std::string& token);
    virtual capsStatus DeleteTokenVolumeDataForAllTokens();

    /* Quoting of values for the statements. */
    // The text between single quotes, every single quote doubled.
    static std::string SQLValue(const std::string& text);
    // As above; "NULL" for a missing text.
    static std::string SQLValue(const SharedString& text);
    // The number in decimal.
    static std::string SQLValue(unsigned long number);
    // Single quotes doubled, without surrounding quotes.
    static std::string SQLEscape(const std::string& text);

protected:
    explicit UninstallDBAccess(const std::string& storageKey);

private:
    // The folder and file name of the key's database; false when the base folder is missing
    // or a path cannot be built.
    bool DatabaseLocation(std::string& folder, std::string& fileName, std::string& file) const;

    const std::string storageKey_;
    // Declared before the session, which holds the same store, so the session goes first.
    boost::shared_ptr<CapsiDataStore> store_;
    boost::shared_ptr<capsiSession> session_;
};
