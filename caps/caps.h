// The installation database interface: sessions on "caps.db", its backup copy and integrity
// check, collections, payloads, constraints, install states and key/value data per domain.
// Every function checks its pointer arguments first (a null one gives 10); strings, records
// and lists handed back belong to the session and stay valid until it is closed.
#pragma once

#include "capsTypes.h"

#include <string>

/* ---- Sessions ---- */

// Opens "caps.db" in the folder "caps" under the base folder, creating folders (root only),
// file and schema when missing. 0 and a new handle in out; on failure out is null.
capsStatus capsOpenSession(capsiSession** out);
// 8 when "caps.db" does not exist; otherwise as capsOpenSession.
capsStatus capsOpenSessionNoCreate(capsiSession** out);
// The modification time of "caps.db"; 8 (out unchanged) when it does not exist.
capsStatus capsGetLastModTime(long* out);
// 5 when "caps.db" is missing but its backup copy exists; 4 when it is damaged (SQLite's integrity
// check fails, or it is no database), or holds no records of ours while a backup copy exists;
// 0 otherwise, also when it cannot be looked at.
capsStatus capsVerifyIntegrity();
// The paths of "caps.db" and of its backup copy; false when the base folder cannot be found.
bool capsGetDatabaseFiles(std::string& database, std::string& backup);
// Replaces the backup copy with a copy of "caps.db"; a copy that is damaged or holds no records
// replaces nothing (4).
capsStatus capsBackup();
// Refreshes the backup copy when "caps.db" changed after the copy was made (the process that
// committed died before it copied); 0 when nothing was to be done, else as capsBackup.
capsStatus capsRefreshStaleBackup();
// Removes a journal of "caps.db" that holds no transaction to roll back (a process died while
// it was just begun), which SQLite would otherwise leave until the next write.
void capsClearStaleJournal();
// Commits the open transaction (if any). When that wrote to "caps.db", or its backup copy is
// missing, refreshes the copy.
capsStatus capsSessionCommit(capsiSession* session);
// Discards the open transaction (if any).
capsStatus capsSessionRollback(capsiSession* session);
// Commits (with backup), closes the file and frees the handle; the close's status.
capsStatus capsCloseSession(capsiSession* session);

/* ---- Shared sessions: several writers of one transaction ---- */

// A further handle on the session's connection, so that separate pieces of work write into one
// transaction instead of waiting for each other's write lock. Each handle works in a part of
// its own (capsSessionBeginPart): on a shared handle, capsSessionCommit keeps the handle's part
// and capsSessionRollback undoes it, leaving the other handles' work alone (both do nothing while
// the handle has no open part). Closing a handle
// while another still shares the connection only frees it; closing the last one discards what
// no part kept and closes the connection.
capsStatus capsShareSession(capsiSession* session, capsiSession** out);
// Opens the handle's part (an SQLite savepoint; 10 when one is open already). Parts nest and are
// ended newest first; keeping the outermost commits the transaction it began (with backup).
capsStatus capsSessionBeginPart(capsiSession* session);

/* ---- Marks of committed runs ---- */

// Writes, in the session's open transaction (or one it begins), the mark that the command-engine
// run named run has committed its records, with its description; drops the marks of every other
// run that keep (a null-terminated list of run names, or null) does not name.
capsStatus capsMarkRunCommitted(capsiSession* session, const char* run, const char* description,
                                const char* const* keep);
// 0 when the run's mark is recorded, 8 when it is not; other failures as the store reports them.
capsStatus capsGetRunMark(capsiSession* session, const char* run);
// Drops, in the session's transaction, the marks of every run that keep does not name; changes
// (and so writes) nothing where there is none to drop.
capsStatus capsForgetRunMarks(capsiSession* session, const char* const* keep);

/* ---- Collections ---- */

capsStatus capsAddCollection(capsiSession* session, const char* collectionID, const char* collectionPayloadID);
// Removes the collection and the payloads that only it held and that upgraded nothing.
capsStatus capsRemoveCollection(capsiSession* session, const char* collectionID);
capsStatus capsGetCollections(capsiSession* session, capsStringList* out);
capsStatus capsGetCollection(capsiSession* session, const char* collectionID, capsCollection* out);
capsStatus capsGetCollectionPayloads(capsiSession* session, capsInstallState state, const char* collectionID,
                                     capsStringList* out);

/* ---- Payloads ---- */

// Records the payload (insert or replace) and links it to the collection in state 0 unless it
// is linked already; conflicts and upgrades are null-terminated lists of codes, or null.
capsStatus capsAddPayload(capsiSession* session, const char* collectionID, const char* payloadID,
                          const char* productFamily, const char* productName, const char* version,
                          const char* signature, const char* const* conflicts, const char* const* upgrades);
// Removes the payload and the originals that it upgraded.
capsStatus capsRemovePayload(capsiSession* session, const char* payloadID);
capsStatus capsGetPayload(capsiSession* session, const char* payloadID, capsPayload* out);
capsStatus capsGetPayloads(capsiSession* session, capsInstallState state, capsStringList* out);
capsStatus capsGetPayloadCollections(capsiSession* session, capsInstallState state, const char* payloadID,
                                     capsStringList* out);
capsStatus capsGetPayloadCollectionsAcrossUpgrades(capsiSession* session, capsInstallState state,
                                                   const char* payloadID, capsStringList* out);
// Pairs: original, upgrading payload.
capsStatus capsGetUpgradedPayloadsKeysAndValues(capsiSession* session, capsStringList* out);

/* ---- Constraints ---- */

capsStatus capsAddPayloadConstraint(capsiSession* session, const char* payloadID, capsConstraintType type,
                                    const char* payloadIDb);
// A null payloadIDb removes every constraint of the type.
capsStatus capsRemovePayloadConstraint(capsiSession* session, const char* payloadID, capsConstraintType type,
                                       const char* payloadIDb);
capsStatus capsGetPayloadConstraint(capsiSession* session, const char* payloadID, capsConstraintType type,
                                    capsStringList* out);

/* ---- Install states ---- */

// Only 0 and 2; marking installed first refuses conflicts (16) and records upgrades.
capsStatus capsSetInstallState(capsiSession* session, const char* collectionID, const char* payloadID,
                               capsInstallState state);
// out receives the state, or 0 when the payload is not linked to the collection (then 8).
capsStatus capsGetInstallState(capsiSession* session, const char* collectionID, const char* payloadID,
                               capsInstallState* out);

/* ---- Data per collection and domain ---- */

capsStatus capsGetCollectionData(capsiSession* session, const char* collectionID, capsDomain domain,
                                 const char* key, const char** out);
// A null value removes the key.
capsStatus capsSetCollectionData(capsiSession* session, const char* collectionID, capsDomain domain,
                                 const char* key, const char* value);
capsStatus capsRemoveCollectionData(capsiSession* session, const char* collectionID, capsDomain domain,
                                    const char* key);
capsStatus capsRemoveCollectionDomainData(capsiSession* session, const char* collectionID, capsDomain domain);
capsStatus capsGetCollectionDataKeys(capsiSession* session, const char* collectionID, capsDomain domain,
                                     capsStringList* out);
// key, value, key, value ... in no particular order.
capsStatus capsGetCollectionDataKeysAndValues(capsiSession* session, const char* collectionID, capsDomain domain,
                                              capsStringList* out);

/* ---- Data per payload and domain ---- */

capsStatus capsGetPayloadData(capsiSession* session, const char* payloadID, capsDomain domain, const char* key,
                              const char** out);
capsStatus capsSetPayloadData(capsiSession* session, const char* payloadID, capsDomain domain, const char* key,
                              const char* value);
capsStatus capsRemovePayloadData(capsiSession* session, const char* payloadID, capsDomain domain,
                                 const char* key);
capsStatus capsRemovePayloadDomainData(capsiSession* session, const char* payloadID, capsDomain domain);
capsStatus capsGetPayloadDataKeys(capsiSession* session, const char* payloadID, capsDomain domain,
                                  capsStringList* out);
capsStatus capsGetPayloadDataKeysAndValues(capsiSession* session, const char* payloadID, capsDomain domain,
                                           capsStringList* out);
