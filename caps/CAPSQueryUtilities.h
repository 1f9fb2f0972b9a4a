// CAPSQueryUtilities: the package-management rules that the engine applies to the installation
// database after (or instead of) a payload's physical work: recording a payload as installed
// with its conflicts and upgrades, removing it again, recording or removing a collection, and
// the queries about effective codes, upgrades and collections they rest on.
//
// Every function works inside the caller's session and transaction and never commits: the
// caller commits after success and rolls back otherwise (closing a session commits).
#pragma once

#include "capsTypes.h"

#include "Shared/PayloadOperationConstants.h"

#include <map>
#include <set>
#include <string>

namespace CAPSQueryUtilities {

typedef std::set<std::string> OrvexCodeSet;
// original payload code -> code of the payload that upgraded it
typedef std::map<std::string, std::string> UpgradedPayloadsMap;

// The input of one package-management operation.
struct PackageManagementData {
    // A payload operation.
    PackageManagementData(const std::string& collectionCode, const std::string& payloadCode,
                          PayloadOperationConstants::InstallAction action);
    // An operation on the whole collection.
    PackageManagementData(const std::string& collectionCode, PayloadOperationConstants::InstallAction action);

    std::string collectionCode;
    std::string payloadCode;
    PayloadOperationConstants::InstallAction action;
    bool collectionOperation;
    // As recorded in tolk_payload; an empty one makes the install fail (10).
    std::string productFamily;
    std::string productName;
    std::string version;
    std::string signature;
    OrvexCodeSet upgrades;   // codes the payload upgrades
    OrvexCodeSet conflicts;  // codes the payload conflicts with
    std::string driverPayloadCode;
};

// The output of one package-management operation.
struct PackageManagementOperationResult {
    PackageManagementOperationResult();
    // Status 0, the sets and the session code empty.
    void Clear();

    capsStatus status;          // the last database status the operation recorded
    OrvexCodeSet conflicts;     // installed payloads that stand in the way
    OrvexCodeSet upgraded;      // no operation fills it yet
    OrvexCodeSet corrupted;     // still installed in a collection that cannot be removed
    std::string sessionCode;    // the code under which the payload is linked in the collection
};

// The one rule by which callers judge a package-management step: it was carried out only when
// the call returned true and the result's status is 0. The call alone may answer true after a
// failed database write, leaving the failure in the status.
bool PackageManagementOperationSucceeded(bool returned, const PackageManagementOperationResult& result);

/* Queries. */

// effectiveCode = the code of the payload that upgraded payloadCode, or payloadCode itself
// (also when the upgrades cannot be read). False for an empty code.
bool GetEffectiveOrvexCodeFromOriginal(capsiSession* session, const std::string& payloadCode,
                                       std::string& effectiveCode);
// Every recorded upgrade; false only on a database failure.
bool GetUpgradedPayloadsMap(capsiSession* session, UpgradedPayloadsMap& upgrades);
// The code under which effectiveCode is linked in the collection: itself, or an original it
// upgraded. True with an empty code when either argument is empty; otherwise true when found.
bool GetSessionOrvexCodeFromEffective(capsiSession* session, const std::string& collectionCode,
                                      const std::string& effectiveCode, std::string& sessionCode);
// The payloads installed somewhere whose upgrade constraints name payloadCode. Always true.
bool GetAllInstalledPayloadsThatUpgradePackage(capsiSession* session, const std::string& payloadCode,
                                               OrvexCodeSet& payloads);
// The collections in which payloadCode, or an original it upgraded, is installed. False only
// for an empty code.
bool GetInstallingCollectionsFromOrvexCode(capsiSession* session, const std::string& payloadCode,
                                           OrvexCodeSet& collections);
// The effective codes of the collection's payloads in the state.
bool GetSessionEffectiveOrvexCodes(capsiSession* session, capsInstallState state, const std::string& collectionCode,
                                   OrvexCodeSet& effectiveCodes);
// What installing a payload with these upgrade codes replaces: the upgraded payloads that are
// installed and not upgraded already, with every payload that lives only in the collections
// that one of them drives (payloads), and those collections (collections).
bool GetAllPayloadsToBePhysicallyUpgraded(capsiSession* session, const OrvexCodeSet& upgradeCodes,
                                          OrvexCodeSet& payloads, OrvexCodeSet& collections);

/* Operations. */

// Takes down what the data's payload replaces: the collections its upgraded payloads drive
// (links marked not installed, collection removed). payloadsToRemove receives the payloads of
// those collections, for removal once the new payload is recorded.
bool DoPayloadUpgradeManipulations(capsiSession* session, const PackageManagementData& data,
                                   OrvexCodeSet& payloadsToRemove);
// Records the data's payload (unless recorded already) and marks it installed in the collection.
bool AddPayloadToCaps(capsiSession* session, const PackageManagementData& data);
// Applies the data's action. Judge the outcome with PackageManagementOperationSucceeded.
bool DoCAPSPackageManagementOperations(capsiSession* session, const PackageManagementData& data,
                                       PackageManagementOperationResult& result);

}  // namespace CAPSQueryUtilities
