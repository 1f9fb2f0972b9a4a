// Collections: one payload session's record with its driver payload and the payloads linked to it.
#include "caps.h"

#include "capsiHooks.h"
#include "capsiSession.h"

#include <string>

capsStatus capsAddCollection(capsiSession* session, const char* collectionID, const char* collectionPayloadID)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {collectionID, collectionPayloadID}, store))
        return refused;
    const long now = capsiNow();
    const capsStatus inserted = store->queryNR(
        "INSERT INTO tolk_collection (collectionID, collectionPayloadID, tsInstalled, tsModified) "
        "VALUES ('%q', '%q', %ld, %ld)",
        collectionID, collectionPayloadID, now, now);
    if (inserted != kCapsConstraint)
        return inserted;
    return store->queryNR("UPDATE tolk_collection SET collectionPayloadID = '%q', tsModified = %ld "
                          "WHERE collectionID = '%q'",
                          collectionPayloadID, now, collectionID);
}

capsStatus capsRemoveCollection(capsiSession* session, const char* collectionID)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {collectionID}, store))
        return refused;

    capsStringList payloads = nullptr;
    const capsStatus listed = capsGetCollectionPayloads(session, kCapsAnyInstallState, collectionID, &payloads);
    if (listed != kCapsOK && listed != kCapsNotFound)
        return listed;
    if (listed == kCapsOK) {
        for (capsStringList payload = payloads; *payload != nullptr; ++payload) {
            capsStringList collections = nullptr;
            capsStatus status = capsGetPayloadCollections(session, kCapsAnyInstallState, *payload, &collections);
            if (status != kCapsOK)
                return status;
            if (collections[0] == nullptr || collections[1] != nullptr)
                continue;  // held by other collections too
            // A payload that upgraded an original stands for it and stays.
            capsStringList originals = nullptr;
            status = store->queryList(&originals,
                                      "SELECT payloadIDOriginal FROM upgraded_payloads WHERE payloadIDUpgraded = '%q'",
                                      *payload);
            if (status == kCapsOK)
                continue;
            if (status != kCapsNotFound)
                return status;
            status = store->queryNR("DELETE FROM tolk_payload WHERE payloadID = '%q'", *payload);
            if (status != kCapsOK)
                return status;
        }
    }
    return store->queryNR("DELETE FROM tolk_collection WHERE collectionID = '%q'", collectionID);
}

capsStatus capsGetCollections(capsiSession* session, capsStringList* out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {out}, store))
        return refused;
    return store->queryList(out, "SELECT collectionID FROM tolk_collection ORDER BY tsInstalled");
}

capsStatus capsGetCollection(capsiSession* session, const char* collectionID, capsCollection* out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {collectionID, out}, store))
        return refused;
    capsStringList row = nullptr;
    const capsStatus status =
        store->queryRow(&row, 4,
                        "SELECT collectionID, collectionPayloadID, tsInstalled, tsModified FROM tolk_collection "
                        "WHERE collectionID = '%q'",
                        collectionID);
    if (status != kCapsOK)
        return status;
    // The schema allows NULL times; they read as 0.
    out->collectionID = capsiText(row[0]);
    out->collectionPayloadID = capsiText(row[1]);
    out->tsInstalled = capsiNumber(row[2]);
    out->tsModified = capsiNumber(row[3]);
    return kCapsOK;
}

capsStatus capsGetCollectionPayloads(capsiSession* session, capsInstallState state, const char* collectionID,
                                     capsStringList* out)
{
    if (!capsiIsListState(state))
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {collectionID, out}, store))
        return refused;
    if (state == kCapsAnyInstallState)
        return store->queryList(out, "SELECT payloadID FROM tolk_collection_payload WHERE collectionID = '%q'",
                                collectionID);
    return store->queryList(out,
                            "SELECT payloadID FROM tolk_collection_payload WHERE collectionID = '%q' "
                            "AND installState = %d ORDER BY tsInstalled",
                            collectionID, state);
}
