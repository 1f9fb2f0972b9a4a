// Payloads: recorded once, linked to the collections that hold them, with their conflicts and upgrades.
#include "caps.h"

#include "capsiHooks.h"
#include "capsiSession.h"

#include <cstring>

namespace {

capsStatus AddConstraints(CapsiDataStore& store, const char* payloadID, const char* const* codes,
                          capsConstraintType type)
{
    for (const char* const* code = codes; code != nullptr && *code != nullptr; ++code) {
        const capsStatus status = store.queryNR(
            "INSERT OR REPLACE INTO tolk_payload_constraint (payloadID, payloadIDb, constraintType) "
            "VALUES ('%q', '%q', %d)",
            payloadID, *code, type);
        if (status != kCapsOK)
            return status;
    }
    return kCapsOK;
}

}  // namespace

capsStatus capsAddPayload(capsiSession* session, const char* collectionID, const char* payloadID,
                          const char* productFamily, const char* productName, const char* version,
                          const char* signature, const char* const* conflicts, const char* const* upgrades)
{
    if (session == nullptr || collectionID == nullptr || payloadID == nullptr || productFamily == nullptr ||
        productName == nullptr || version == nullptr || signature == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsNoStore;

    // Replacing the row runs no delete trigger, so links, constraints and data stay.
    capsStatus status = store->queryNR(
        "INSERT OR REPLACE INTO tolk_payload (payloadID, productFamily, productName, version, signature) "
        "VALUES ('%q', '%q', '%q', '%q', '%q')",
        payloadID, productFamily, productName, version, signature);
    if (status != kCapsOK)
        return status;

    // 6 is an existing link (which keeps its state) or an unrecorded collection: both pass.
    status = store->queryNR(
        "INSERT INTO tolk_collection_payload (collectionID, payloadID, installState, tsInstalled) "
        "VALUES ('%q', '%q', %d, %ld)",
        collectionID, payloadID, kCapsNotInstalled, capsiNow());
    if (status != kCapsOK && status != kCapsConstraint)
        return status;

    status = AddConstraints(*store, payloadID, conflicts, kCapsConflicts);
    if (status != kCapsOK)
        return status;
    status = AddConstraints(*store, payloadID, upgrades, kCapsUpgrades);
    if (status != kCapsOK)
        return status;
    return kCapsOK;
}

capsStatus capsRemovePayload(capsiSession* session, const char* payloadID)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID}, store))
        return refused;

    capsStringList pairs = nullptr;
    capsStatus status = capsGetUpgradedPayloadsKeysAndValues(session, &pairs);
    if (status != kCapsOK && status != kCapsNotFound)
        return status;
    for (capsStringList pair = pairs; pair[0] != nullptr && pair[1] != nullptr; pair += 2) {
        if (std::strcmp(pair[1], payloadID) != 0)
            continue;
        status = store->queryNR("DELETE FROM tolk_payload WHERE payloadID = '%q'", pair[0]);
        if (status != kCapsOK && status != kCapsNotFound)
            return status;
    }
    return store->queryNR("DELETE FROM tolk_payload WHERE payloadID = '%q'", payloadID);
}

capsStatus capsGetPayload(capsiSession* session, const char* payloadID, capsPayload* out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID, out}, store))
        return refused;
    capsStringList row = nullptr;
    const capsStatus status =
        store->queryRow(&row, 5,
                        "SELECT payloadID, productFamily, productName, version, signature FROM tolk_payload "
                        "WHERE payloadID = '%q'",
                        payloadID);
    if (status != kCapsOK)
        return status;
    out->payloadID = capsiText(row[0]);
    out->productFamily = capsiText(row[1]);
    out->productName = capsiText(row[2]);
    out->version = capsiText(row[3]);
    out->signature = capsiText(row[4]);
    return kCapsOK;
}

capsStatus capsGetPayloads(capsiSession* session, capsInstallState state, capsStringList* out)
{
    if (!capsiIsListState(state))
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {out}, store))
        return refused;
    if (state == kCapsAnyInstallState)
        return store->queryList(out, "SELECT DISTINCT payloadID FROM tolk_collection_payload ORDER BY tsInstalled");
    return store->queryList(out,
                            "SELECT DISTINCT payloadID FROM tolk_collection_payload WHERE installState = %d "
                            "ORDER BY tsInstalled",
                            state);
}

capsStatus capsGetPayloadCollections(capsiSession* session, capsInstallState state, const char* payloadID,
                                     capsStringList* out)
{
    if (!capsiIsListState(state))
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID, out}, store))
        return refused;
    if (state == kCapsAnyInstallState)
        return store->queryList(out,
                                "SELECT collectionID FROM tolk_collection_payload WHERE payloadID = '%q' "
                                "ORDER BY tsInstalled",
                                payloadID);
    return store->queryList(out,
                            "SELECT collectionID FROM tolk_collection_payload WHERE payloadID = '%q' "
                            "AND installState = %d ORDER BY tsInstalled",
                            payloadID, state);
}

capsStatus capsGetPayloadCollectionsAcrossUpgrades(capsiSession* session, capsInstallState state,
                                                   const char* payloadID, capsStringList* out)
{
    if (!capsiIsListState(state))
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {payloadID, out}, store))
        return refused;
    if (state == kCapsAnyInstallState)
        return store->queryList(out,
                                "SELECT collectionID FROM tolk_collection_payload WHERE payloadID = '%q' "
                                "OR payloadID IN (SELECT payloadIDOriginal FROM upgraded_payloads "
                                "WHERE payloadIDUpgraded = '%q') ORDER BY tsInstalled",
                                payloadID, payloadID);
    return store->queryList(out,
                            "SELECT collectionID FROM tolk_collection_payload WHERE (payloadID = '%q'  "
                            "OR payloadID IN (SELECT payloadIDOriginal FROM upgraded_payloads "
                            "WHERE payloadIDUpgraded = '%q')) AND installState = %d ORDER BY tsInstalled",
                            payloadID, payloadID, state);
}

capsStatus capsGetUpgradedPayloadsKeysAndValues(capsiSession* session, capsStringList* out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {out}, store))
        return refused;
    return store->queryList(out, "SELECT payloadIDOriginal,payloadIDUpgraded FROM upgraded_payloads");
}
