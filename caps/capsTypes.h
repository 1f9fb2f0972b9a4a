// The value types of the installation database interface: status codes, install states,
// domains, constraint types, list results and the records that the get functions fill.
#pragma once

// The int result of every caps function.
typedef int capsStatus;

const capsStatus kCapsOK = 0;
const capsStatus kCapsFailure = 1;           // general failure, store not open, no base folder, schema statement failed
const capsStatus kCapsNoMemory = 3;
const capsStatus kCapsIOError = 4;           // I/O error, damaged file, disk full, folder path blocked, backup failed
const capsStatus kCapsSchemaMissing = 5;     // version not in the schema list; only the backup copy is present
const capsStatus kCapsConstraint = 6;        // key already present, or a trigger refused the change
const capsStatus kCapsNotFound = 8;          // no rows, no such record, file missing
const capsStatus kCapsNoStore = 9;           // the session has no store
const capsStatus kCapsBadArgument = 10;
const capsStatus kCapsAccessDenied = 11;
const capsStatus kCapsDatabaseError = 12;
const capsStatus kCapsSchemaTooNew = 13;
const capsStatus kCapsBusy = 14;
const capsStatus kCapsInstallConflict = 16;

// Install state of a payload in a collection. List queries also take 1 and 3 as a filter, and
// kCapsAnyInstallState for every state.
typedef int capsInstallState;
const capsInstallState kCapsNotInstalled = 0;
const capsInstallState kCapsInstalled = 2;
const capsInstallState kCapsAnyInstallState = 4;

// Domain of a collection_data or payload_data row; any int passes through unchecked.
typedef int capsDomain;
const capsDomain kCapsDomainInstaller = 0;  // the installer's own bookkeeping ("payloadPath", "aliasPath")
const capsDomain kCapsDomainScripts = 3;    // free for the command engine's scripts
const capsDomain kCapsDomainProperties = 5; // install properties

// Relation from a payload to another payload code.
typedef int capsConstraintType;
const capsConstraintType kCapsConflicts = 0;
const capsConstraintType kCapsUpgrades = 1;
const capsConstraintType kCapsRequires = 2;

// A list result: strings ended by a null pointer, every column of every row in order (a NULL
// column is a null entry inside the list). Owned by the session that handed it out.
typedef const char* const* capsStringList;

// The handle of one database session; every caps function takes it first.
struct capsiSession;

// One tolk_collection row; the texts are owned by the session.
struct capsCollection {
    const char* collectionID;
    const char* collectionPayloadID;
    int tsInstalled;  // seconds since 1970
    int tsModified;   // seconds since 1970
};

// One tolk_payload row; the texts are owned by the session.
struct capsPayload {
    const char* payloadID;
    const char* productFamily;
    const char* productName;
    const char* version;
    const char* signature;
};
