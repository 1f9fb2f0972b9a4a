#include "CAPSQueryUtilities.h"

#include "caps.h"

#include <algorithm>
#include <exception>
#include <map>
#include <vector>

namespace CAPSQueryUtilities {

namespace {

// The entries of a list result; the list's texts belong to the session, the copies to the caller.
std::vector<std::string> Strings(capsStringList list)
{
    std::vector<std::string> strings;
    for (capsStringList entry = list; entry != nullptr && *entry != nullptr; ++entry)
        strings.push_back(*entry);
    return strings;
}

// The codes as the null-terminated list that capsAddPayload takes; valid while codes lives.
std::vector<const char*> CodeList(const OrvexCodeSet& codes)
{
    std::vector<const char*> list;
    for (const std::string& code : codes)
        list.push_back(code.c_str());
    list.push_back(nullptr);
    return list;
}

// An empty field is passed as missing, which capsAddPayload refuses.
const char* FieldOrMissing(const std::string& field)
{
    return field.empty() ? nullptr : field.c_str();
}

// The payloads linked to a collection in the state; empty when none or when the list fails.
bool CollectionPayloads(capsiSession* session, capsInstallState state, const std::string& collectionCode,
                        std::vector<std::string>& payloads)
{
    capsStringList list = nullptr;
    const capsStatus status = capsGetCollectionPayloads(session, state, collectionCode.c_str(), &list);
    payloads = Strings(status == kCapsOK ? list : nullptr);
    return status == kCapsOK;
}

// Whether the payload's constraints of the type name the code.
bool ConstraintNames(capsiSession* session, const std::string& payloadCode, capsConstraintType type,
                     const std::string& code)
{
    capsStringList named = nullptr;
    if (capsGetPayloadConstraint(session, payloadCode.c_str(), type, &named) != kCapsOK)
        return false;
    for (const std::string& entry : Strings(named)) {
        if (entry == code)
            return true;
    }
    return false;
}

// The collection-wide operations: record the collection with its driver, or remove it unless it
// still holds installed payloads.
bool DoCollectionOperation(capsiSession* session, const PackageManagementData& data,
                           PackageManagementOperationResult& result)
{
    switch (data.action) {
    case PayloadOperationConstants::kInstall:
    case PayloadOperationConstants::kRepair:
        result.status = capsAddCollection(session, data.collectionCode.c_str(), data.driverPayloadCode.c_str());
        return true;
    case PayloadOperationConstants::kUninstall: {
        // Removal is refused while a payload is installed, but only after the payloads that the
        // collection alone held were deleted one by one; asking first leaves them in place.
        capsStringList installed = nullptr;
        capsStatus listed = capsGetCollectionPayloads(session, kCapsInstalled, data.collectionCode.c_str(), &installed);
        if (listed == kCapsNotFound) {
            result.status = capsRemoveCollection(session, data.collectionCode.c_str());
            if (result.status == kCapsOK)
                return true;
            listed = capsGetCollectionPayloads(session, kCapsInstalled, data.collectionCode.c_str(), &installed);
        }
        result.status = listed;
        if (listed != kCapsOK)
            return false;
        for (const std::string& payload : Strings(installed)) {
            std::string effective;
            if (!GetEffectiveOrvexCodeFromOriginal(session, payload, effective))
                return false;
            result.corrupted.insert(effective);
        }
        return true;
    }
    default:
        return false;
    }
}

bool DoPayloadInstall(capsiSession* session, const PackageManagementData& data,
                      const OrvexCodeSet& installingCollections, PackageManagementOperationResult& result)
{
    if (installingCollections.count(data.collectionCode) != 0) {
        result.status = kCapsOK;
        return true;
    }

    // A collection made for this payload cannot take it while an installed payload upgrades it.
    capsCollection collection = {};
    if (capsGetCollection(session, data.collectionCode.c_str(), &collection) == kCapsOK &&
        data.payloadCode == collection.collectionPayloadID) {
        GetAllInstalledPayloadsThatUpgradePackage(session, data.payloadCode, result.conflicts);
        if (!result.conflicts.empty())
            return false;
    }

    if (AddPayloadToCaps(session, data))
        return true;

    // Name what stands in the way: what the payload conflicts with, and what conflicts with it.
    capsStringList installed = nullptr;
    if (capsGetPayloads(session, kCapsInstalled, &installed) != kCapsOK)
        return false;
    for (const std::string& payload : Strings(installed)) {
        if (data.conflicts.count(payload) != 0 || ConstraintNames(session, payload, kCapsConflicts, data.payloadCode))
            result.conflicts.insert(payload);
    }
    return false;
}

bool DoPayloadUninstall(capsiSession* session, const PackageManagementData& data, const std::string& effectiveCode,
                        const OrvexCodeSet& installingCollections, PackageManagementOperationResult& result)
{
    // Looked up by the effective code: the collection may hold an original under any code of
    // the upgrade chain that the caller named.
    if (!GetSessionOrvexCodeFromEffective(session, data.collectionCode, effectiveCode, result.sessionCode))
        return false;
    result.status = capsSetInstallState(session, data.collectionCode.c_str(), result.sessionCode.c_str(),
                                        kCapsNotInstalled);
    if (result.status != kCapsOK)
        return true;

    // The records go only when this collection was the last to have the payload installed; a
    // payload installed by another collection keeps them.
    if (installingCollections.size() == 1 && *installingCollections.begin() == data.collectionCode) {
        result.status = capsRemovePayload(session, result.sessionCode.c_str());
        if (result.status == kCapsOK && result.sessionCode != effectiveCode)
            result.status = capsRemovePayload(session, effectiveCode.c_str());
    }
    return true;
}

}  // namespace

PackageManagementData::PackageManagementData(const std::string& collectionCode, const std::string& payloadCode,
                                             PayloadOperationConstants::InstallAction action)
    : collectionCode(collectionCode), payloadCode(payloadCode), action(action), collectionOperation(false)
{
}

PackageManagementData::PackageManagementData(const std::string& collectionCode,
                                             PayloadOperationConstants::InstallAction action)
    : collectionCode(collectionCode), action(action), collectionOperation(true)
{
}

PackageManagementOperationResult::PackageManagementOperationResult() : status(kCapsOK)
{
}

void PackageManagementOperationResult::Clear()
{
    status = kCapsOK;
    conflicts.clear();
    upgraded.clear();
    corrupted.clear();
    sessionCode.clear();
}

bool PackageManagementOperationSucceeded(bool returned, const PackageManagementOperationResult& result)
{
    return returned && result.status == kCapsOK;
}

bool GetEffectiveOrvexCodeFromOriginal(capsiSession* session, const std::string& payloadCode,
                                       std::string& effectiveCode)
{
    effectiveCode = payloadCode;
    if (payloadCode.empty())
        return false;
    capsStringList pairs = nullptr;
    if (capsGetUpgradedPayloadsKeysAndValues(session, &pairs) != kCapsOK)
        return true;
    for (capsStringList pair = pairs; pair[0] != nullptr && pair[1] != nullptr; pair += 2) {
        if (payloadCode == pair[0]) {
            effectiveCode = pair[1];
            break;
        }
    }
    return true;
}

bool GetUpgradedPayloadsMap(capsiSession* session, UpgradedPayloadsMap& upgrades)
{
    upgrades.clear();
    capsStringList pairs = nullptr;
    const capsStatus status = capsGetUpgradedPayloadsKeysAndValues(session, &pairs);
    if (status == kCapsNotFound)
        return true;
    if (status != kCapsOK)
        return false;
    for (capsStringList pair = pairs; pair[0] != nullptr && pair[1] != nullptr; pair += 2)
        upgrades[pair[0]] = pair[1];
    return true;
}

bool GetSessionOrvexCodeFromEffective(capsiSession* session, const std::string& collectionCode,
                                      const std::string& effectiveCode, std::string& sessionCode)
{
    sessionCode.clear();
    UpgradedPayloadsMap upgrades;
    if (!GetUpgradedPayloadsMap(session, upgrades))
        return false;
    if (collectionCode.empty() || effectiveCode.empty())
        return true;
    std::vector<std::string> payloads;
    CollectionPayloads(session, kCapsAnyInstallState, collectionCode, payloads);
    for (const std::string& payload : payloads) {
        if (payload == effectiveCode) {
            sessionCode = payload;
            return true;
        }
    }
    // Not linked under its own code: under an original that it upgraded.
    for (const std::string& payload : payloads) {
        const UpgradedPayloadsMap::const_iterator upgrade = upgrades.find(payload);
        if (upgrade != upgrades.end() && upgrade->second == effectiveCode) {
            sessionCode = payload;
            return true;
        }
    }
    return false;
}

bool GetAllInstalledPayloadsThatUpgradePackage(capsiSession* session, const std::string& payloadCode,
                                               OrvexCodeSet& payloads)
{
    payloads.clear();
    capsStringList installed = nullptr;
    if (capsGetPayloads(session, kCapsInstalled, &installed) != kCapsOK)
        return true;
    for (const std::string& payload : Strings(installed)) {
        // A payload that names itself among its upgrades does not supersede itself.
        if (payload != payloadCode && ConstraintNames(session, payload, kCapsUpgrades, payloadCode))
            payloads.insert(payload);
    }
    return true;
}

bool GetInstallingCollectionsFromOrvexCode(capsiSession* session, const std::string& payloadCode,
                                           OrvexCodeSet& collections)
{
    collections.clear();
    if (payloadCode.empty())
        return false;
    capsStringList list = nullptr;
    if (capsGetPayloadCollectionsAcrossUpgrades(session, kCapsInstalled, payloadCode.c_str(), &list) == kCapsOK) {
        for (const std::string& collection : Strings(list))
            collections.insert(collection);
    }
    return true;
}

bool GetSessionEffectiveOrvexCodes(capsiSession* session, capsInstallState state, const std::string& collectionCode,
                                   OrvexCodeSet& effectiveCodes)
{
    effectiveCodes.clear();
    std::vector<std::string> payloads;
    if (!CollectionPayloads(session, state, collectionCode, payloads))
        return false;
    for (const std::string& payload : payloads) {
        std::string effective;
        if (!GetEffectiveOrvexCodeFromOriginal(session, payload, effective))
            return false;
        effectiveCodes.insert(effective);
    }
    return true;
}

bool GetAllPayloadsToBePhysicallyUpgraded(capsiSession* session, const OrvexCodeSet& upgradeCodes,
                                          OrvexCodeSet& payloads, OrvexCodeSet& collections)
{
    payloads.clear();
    collections.clear();
    if (upgradeCodes.empty())
        return true;
    try {
        // The collections by their driver payloads. A collection goes with its replaced driver where
        // the driver is installed in it, and also where the driver's own removal took its record
        // already (its stored script removes the record) and left the collection holding no
        // installed payload. One that still holds payloads the user kept stays, with them.
        std::multimap<std::string, std::string> driven;
        capsStringList all = nullptr;
        const capsStatus listedAll = capsGetCollections(session, &all);
        if (listedAll != kCapsOK && listedAll != kCapsNotFound)
            return false;
        for (const std::string& collectionCode : Strings(listedAll == kCapsOK ? all : nullptr)) {
            capsCollection collection = {};
            if (capsGetCollection(session, collectionCode.c_str(), &collection) != kCapsOK)
                return false;
            driven.insert(std::make_pair(std::string(collection.collectionPayloadID), collectionCode));
        }

        OrvexCodeSet gathered;
        for (const std::string& upgraded : upgradeCodes) {
            capsStringList list = nullptr;
            std::vector<std::string> installedIn;
            if (capsGetPayloadCollections(session, kCapsInstalled, upgraded.c_str(), &list) == kCapsOK)
                installedIn = Strings(list);
            std::string effective;
            if (!GetEffectiveOrvexCodeFromOriginal(session, upgraded, effective) || effective != upgraded)
                continue;  // upgraded already: what replaced it stays
            if (!installedIn.empty())
                payloads.insert(upgraded);
            const auto drivenBy = driven.equal_range(upgraded);
            for (auto entry = drivenBy.first; entry != drivenBy.second; ++entry) {
                if (std::find(installedIn.begin(), installedIn.end(), entry->second) != installedIn.end())
                    continue;
                capsStringList members = nullptr;
                const capsStatus listed =
                    capsGetCollectionPayloads(session, kCapsInstalled, entry->second.c_str(), &members);
                if (listed != kCapsOK && listed != kCapsNotFound)
                    return false;
                if (Strings(listed == kCapsOK ? members : nullptr).empty())
                    installedIn.push_back(entry->second);
            }
            for (const std::string& collectionCode : installedIn) {
                capsCollection collection = {};
                if (capsGetCollection(session, collectionCode.c_str(), &collection) != kCapsOK)
                    return false;
                if (upgraded != collection.collectionPayloadID)
                    continue;
                collections.insert(collectionCode);
                std::vector<std::string> members;
                capsStringList installedMembers = nullptr;
                const capsStatus listed =
                    capsGetCollectionPayloads(session, kCapsInstalled, collectionCode.c_str(), &installedMembers);
                if (listed != kCapsOK && listed != kCapsNotFound)
                    return false;
                for (const std::string& member : Strings(listed == kCapsOK ? installedMembers : nullptr))
                    gathered.insert(member);
            }
        }

        UpgradedPayloadsMap upgrades;
        if (!GetUpgradedPayloadsMap(session, upgrades))
            return true;
        // A gathered payload goes with the replaced collections when it lives in no other.
        for (const std::string& member : gathered) {
            if (upgrades.count(member) != 0)
                continue;
            capsStringList list = nullptr;
            if (capsGetPayloadCollectionsAcrossUpgrades(session, kCapsInstalled, member.c_str(), &list) != kCapsOK)
                continue;
            bool onlyInReplaced = true;
            for (const std::string& collectionCode : Strings(list))
                onlyInReplaced = onlyInReplaced && collections.count(collectionCode) != 0;
            if (onlyInReplaced)
                payloads.insert(member);
        }
        return true;
    } catch (const std::exception&) {
        // An incomplete search must not pass for a complete one: its sets decide what goes.
        return false;
    }
}

bool DoPayloadUpgradeManipulations(capsiSession* session, const PackageManagementData& data,
                                   OrvexCodeSet& payloadsToRemove)
{
    payloadsToRemove.clear();
    std::string effective;
    if (!GetEffectiveOrvexCodeFromOriginal(session, data.payloadCode, effective))
        return false;
    if (effective != data.payloadCode)
        return true;  // upgraded already
    OrvexCodeSet upgraders;
    GetAllInstalledPayloadsThatUpgradePackage(session, data.payloadCode, upgraders);
    if (!upgraders.empty())
        return true;

    OrvexCodeSet replaced;
    OrvexCodeSet collections;
    if (!GetAllPayloadsToBePhysicallyUpgraded(session, data.upgrades, replaced, collections))
        return false;
    if (replaced.empty() && collections.empty())
        return true;

    for (const std::string& collectionCode : collections) {
        if (collectionCode == data.collectionCode)
            continue;  // the collection being installed is not replaced by its own payload
        // A replaced collection goes also when it holds no payload any more.
        std::vector<std::string> members;
        CollectionPayloads(session, kCapsAnyInstallState, collectionCode, members);
        for (const std::string& member : members) {
            if (capsSetInstallState(session, collectionCode.c_str(), member.c_str(), kCapsNotInstalled) != kCapsOK)
                return false;
            capsStringList list = nullptr;
            if (capsGetPayloadCollections(session, kCapsAnyInstallState, member.c_str(), &list) == kCapsOK)
                payloadsToRemove.insert(member);
        }
        if (capsRemoveCollection(session, collectionCode.c_str()) != kCapsOK)
            return false;
    }
    return true;
}

bool AddPayloadToCaps(capsiSession* session, const PackageManagementData& data)
{
    try {
        OrvexCodeSet payloadsToRemove;
        capsPayload recorded = {};
        const capsStatus found = capsGetPayload(session, data.payloadCode.c_str(), &recorded);
        if (found != kCapsOK) {
            if (found != kCapsNotFound)
                return false;
            if (!DoPayloadUpgradeManipulations(session, data, payloadsToRemove))
                return false;
            const std::vector<const char*> conflicts = CodeList(data.conflicts);
            const std::vector<const char*> upgrades = CodeList(data.upgrades);
            if (capsAddPayload(session, data.collectionCode.c_str(), data.payloadCode.c_str(),
                               FieldOrMissing(data.productFamily), FieldOrMissing(data.productName),
                               FieldOrMissing(data.version), FieldOrMissing(data.signature), conflicts.data(),
                               upgrades.data()) != kCapsOK)
                return false;
        }
        if (capsSetInstallState(session, data.collectionCode.c_str(), data.payloadCode.c_str(), kCapsInstalled) !=
            kCapsOK)
            return false;
        // A payload still installed elsewhere is refused by the database and simply stays.
        for (const std::string& payload : payloadsToRemove)
            capsRemovePayload(session, payload.c_str());
        return true;
    } catch (...) {
        return false;
    }
}

bool DoCAPSPackageManagementOperations(capsiSession* session, const PackageManagementData& data,
                                       PackageManagementOperationResult& result)
{
    result.Clear();
    if (data.collectionOperation)
        return DoCollectionOperation(session, data, result);

    std::string effective;
    if (!GetEffectiveOrvexCodeFromOriginal(session, data.payloadCode, effective))
        return false;
    OrvexCodeSet installingCollections;
    if (!GetInstallingCollectionsFromOrvexCode(session, effective, installingCollections))
        return false;

    switch (data.action) {
    case PayloadOperationConstants::kInstall:
    case PayloadOperationConstants::kRepair:
        return DoPayloadInstall(session, data, installingCollections, result);
    case PayloadOperationConstants::kUninstall:
        return DoPayloadUninstall(session, data, effective, installingCollections, result);
    default:
        return false;
    }
}

}  // namespace CAPSQueryUtilities
