// The schema lists of the installation database and of the uninstall databases: entry i holds
// the statements that bring a file from version i to version i + 1.
#pragma once

// The statements of one schema version, ended by a null entry.
typedef const char* const* capsiSchemaStatements;
// The versions of one kind of database, in order, ended by a null entry.
typedef const capsiSchemaStatements* capsiSchemaList;

extern const capsiSchemaStatements gCapsSchemas[];
extern const capsiSchemaStatements gUninstallSchemas[];

// The number of versions in a list: the newest version a program with that list supports.
int capsiSchemaLatestVersion(capsiSchemaList schemas);
