// Collections: one payload session's record with its driver payload and the payloads linked to it.
#include "caps.h"

#include "capsiHooks.h"
#include "capsiSession.h"

#include <cstdlib>
#include <string>

namespace {

bool IsListState(capsInstallState state)
{
    return state >= 0 && state <= kCapsAnyInstallState;
}

int AsInt(const char* text)
{
    return text != nullptr ? static_cast<int>(std::strtol(text, nullptr, 10)) : 0;
}

}  // namespace

capsStatus capsAddCollection(capsiSession* session, const char* collectionID, const char* collectionPayloadID)
{
    if (session == nullptr || collectionID == nullptr || collectionPayloadID == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsNoStore;
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
    if (session == nullptr || collectionID == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsNoStore;

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
    if (session == nullptr || out == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsNoStore;
    return store->queryList(out, "SELECT collectionID FROM tolk_collection ORDER BY tsInstalled");
}

capsStatus capsGetCollection(capsiSession* session, const char* collectionID, capsCollection* out)
{
    if (session == nullptr || collectionID == nullptr || out == nullptr)
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsNoStore;
    capsStringList row = nullptr;
    std::size_t count = 0;
    const capsStatus status = store->queryListCounted(
        &row, &count,
        "SELECT collectionID, collectionPayloadID, tsInstalled, tsModified FROM tolk_collection "
        "WHERE collectionID = '%q'",
        collectionID);
    if (status != kCapsOK)
        return status;
    if (count != 4)
        return kCapsDatabaseError;
    // The schema allows NULL times; they read as 0.
    out->collectionID = row[0] != nullptr ? row[0] : "";
    out->collectionPayloadID = row[1] != nullptr ? row[1] : "";
    out->tsInstalled = AsInt(row[2]);
    out->tsModified = AsInt(row[3]);
    return kCapsOK;
}

capsStatus capsGetCollectionPayloads(capsiSession* session, capsInstallState state, const char* collectionID,
                                     capsStringList* out)
{
    if (session == nullptr || collectionID == nullptr || out == nullptr)
        return kCapsBadArgument;
    if (!IsListState(state))
        return kCapsBadArgument;
    CapsiDataStore* store = capsiStoreOf(session);
    if (store == nullptr)
        return kCapsNoStore;
    if (state == kCapsAnyInstallState)
        return store->queryList(out, "SELECT payloadID FROM tolk_collection_payload WHERE collectionID = '%q'",
                                collectionID);
    return store->queryList(out,
                            "SELECT payloadID FROM tolk_collection_payload WHERE collectionID = '%q' "
                            "AND installState = %d ORDER BY tsInstalled",
                            collectionID, state);
}
