// Constraints between payloads, and install states with the conflict test and the upgrade
// bookkeeping that marking a payload installed performs.
#include "caps.h"

#include "capsiHooks.h"
#include "capsiSession.h"

#include <cstring>

namespace {

bool IsConstraintType(capsConstraintType type)
{
    return type >= kCapsConflicts && type <= kCapsRequires;
}

// Payloads whose constraint of the type names payloadID.
capsStatus PayloadsNaming(CapsiDataStore& store, const char* payloadID, capsConstraintType type,
                          capsStringList* out)
{
    return store.queryList(out,
                           "SELECT payloadID FROM tolk_payload_constraint WHERE payloadIDb = '%q' "
                           "AND constraintType=%d",
                           payloadID, type);
}

// The codes that payloadID's own constraints of the type name.
capsStatus CodesNamedBy(CapsiDataStore& store, const char* payloadID, capsConstraintType type, capsStringList* out)
{
    return store.queryList(out,
                           "SELECT payloadIDb FROM tolk_payload_constraint WHERE payloadID = '%q' "
                           "AND constraintType=%d",
                           payloadID, type);
}

// 0 and installed set from the lookup; 8 counts as not installed.
capsStatus IsInstalledAnywhere(capsiSession* session, const char* payloadID, bool& installed)
{
    capsStringList collections = nullptr;
    const capsStatus status = capsGetPayloadCollections(session, kCapsInstalled, payloadID, &collections);
    installed = status == kCapsOK && collections[0] != nullptr;
    return status == kCapsNotFound ? kCapsOK : status;
}

// 16 when any payload of the list is installed in some collection.
capsStatus TestConflicts(capsiSession* session, capsStatus listed, capsStringList payloads)
{
    if (listed == kCapsNotFound)
        return kCapsOK;
    if (listed != kCapsOK)
        return listed;
    for (capsStringList payload = payloads; *payload != nullptr; ++payload) {
        bool installed = false;
        const capsStatus status = IsInstalledAnywhere(session, *payload, installed);
        if (status != kCapsOK)
            return status;
        if (installed)
            return kCapsInstallConflict;
    }
    return kCapsOK;
}

capsStatus RecordUpgrade(CapsiDataStore& store, const char* original, const char* upgraded)
{
    return store.queryNR("INSERT OR REPLACE INTO upgraded_payloads (payloadIDOriginal, payloadIDUpgraded) "
                         "VALUES ('%q', '%q')",
                         original, upgraded);
}

bool SameCode(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

}  // namespace

capsStatus capsAddPayloadConstraint(capsiSession* session, const char* payloadID, capsConstraintType type,
                                    const char* payloadIDb)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID, payloadIDb}, store))
        return refused;
    return store->queryNR("INSERT OR REPLACE INTO tolk_payload_constraint (payloadID, payloadIDb, constraintType) "
                          "VALUES ('%q', '%q', %d)",
                          payloadID, payloadIDb, type);
}

capsStatus capsRemovePayloadConstraint(capsiSession* session, const char* payloadID, capsConstraintType type,
                                       const char* payloadIDb)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID}, store))
        return refused;
    if (payloadIDb == nullptr)
        return store->queryNR("DELETE FROM tolk_payload_constraint WHERE payloadID = '%q' AND constraintType = %d",
                              payloadID, type);
    return store->queryNR("DELETE FROM tolk_payload_constraint WHERE payloadID = '%q' AND constraintType = %d "
                          "AND payloadIDb = '%q'",
                          payloadID, type, payloadIDb);
}

capsStatus capsGetPayloadConstraint(capsiSession* session, const char* payloadID, capsConstraintType type,
                                    capsStringList* out)
{
    if (!IsConstraintType(type))
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID, out}, store))
        return refused;
    return store->queryList(out,
                            "SELECT payloadIDb FROM tolk_payload_constraint WHERE payloadID = '%q' "
                            "AND constraintType = %d",
                            payloadID, type);
}

capsStatus capsSetInstallState(capsiSession* session, const char* collectionID, const char* payloadID,
                               capsInstallState state)
{
    if (state != kCapsNotInstalled && state != kCapsInstalled)
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {collectionID, payloadID}, store))
        return refused;

    if (state == kCapsInstalled) {
        // Both conflict tests come before every write, so a refused call changes nothing.
        capsStringList payloads = nullptr;
        capsStatus listed = PayloadsNaming(*store, payloadID, kCapsConflicts, &payloads);
        capsStatus status = TestConflicts(session, listed, payloads);
        if (status != kCapsOK)
            return status;
        listed = CodesNamedBy(*store, payloadID, kCapsConflicts, &payloads);
        status = TestConflicts(session, listed, payloads);
        if (status != kCapsOK)
            return status;

        // An installed payload that already upgrades this one supersedes it at once. A payload
        // never upgrades itself: that record would make it its own original and drop its data.
        listed = PayloadsNaming(*store, payloadID, kCapsUpgrades, &payloads);
        if (listed != kCapsOK && listed != kCapsNotFound)
            return listed;
        for (capsStringList upgrader = payloads; listed == kCapsOK && *upgrader != nullptr; ++upgrader) {
            if (SameCode(*upgrader, payloadID))
                continue;
            bool installed = false;
            status = IsInstalledAnywhere(session, *upgrader, installed);
            if (status != kCapsOK)
                return status;
            if (installed) {
                status = RecordUpgrade(*store, payloadID, *upgrader);
                if (status != kCapsOK)
                    return status;
                break;
            }
        }

        // Take over the originals of every payload this one upgrades, and supersede it when installed.
        listed = CodesNamedBy(*store, payloadID, kCapsUpgrades, &payloads);
        if (listed != kCapsOK && listed != kCapsNotFound)
            return listed;
        for (capsStringList upgraded = payloads; listed == kCapsOK && *upgraded != nullptr; ++upgraded) {
            if (SameCode(*upgraded, payloadID))
                continue;
            status = store->queryNR("UPDATE upgraded_payloads SET payloadIDUpgraded = '%q' "
                                    "WHERE payloadIDUpgraded = '%q'",
                                    payloadID, *upgraded);
            if (status != kCapsOK && status != kCapsNotFound)
                return status;
            bool installed = false;
            status = IsInstalledAnywhere(session, *upgraded, installed);
            if (status != kCapsOK)
                return status;
            if (!installed)
                continue;
            status = RecordUpgrade(*store, *upgraded, payloadID);
            if (status == kCapsOK || status == kCapsNotFound)
                status = store->queryNR("DELETE FROM payload_data WHERE payloadID = '%q'", *upgraded);
            if (status != kCapsOK && status != kCapsNotFound)
                return status;
        }
    }

    return store->queryNR("INSERT OR REPLACE INTO tolk_collection_payload (collectionID, payloadID, installState, "
                          "tsInstalled) VALUES ('%q', '%q', %d, %ld)",
                          collectionID, payloadID, state, capsiNow());
}

capsStatus capsGetInstallState(capsiSession* session, const char* collectionID, const char* payloadID,
                               capsInstallState* out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {collectionID, payloadID, out}, store))
        return refused;
    const char* value = nullptr;
    const capsStatus status = store->querySingle(
        &value, "SELECT installState FROM tolk_collection_payload WHERE collectionID = '%q' AND payloadID = '%q'",
        collectionID, payloadID);
    *out = status == kCapsOK ? capsiNumber(value) : 0;
    return status;
}
