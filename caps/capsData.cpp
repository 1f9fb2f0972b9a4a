// Key/value data per collection and per payload, in domains. The two forms differ only in
// their table and code column, so each function is written once over a table description.
#include "caps.h"

#include "capsiSession.h"

namespace {

struct DataTable {
    const char* get;
    const char* set;
    const char* remove;
    const char* removeDomain;
    const char* keys;
    const char* keysAndValues;
};

const DataTable kCollectionData = {
    "SELECT value FROM collection_data WHERE collectionID = '%q' AND domain = %d AND key = '%q'",
    "INSERT OR REPLACE INTO collection_data (collectionID, domain, key, value) VALUES ('%q', %d, '%q', '%q')",
    "DELETE FROM collection_data WHERE collectionID = '%q' AND domain = %d AND key = '%q'",
    "DELETE FROM collection_data WHERE collectionID = '%q' AND domain = %d",
    "SELECT key FROM collection_data WHERE collectionID = '%q' AND domain = %d",
    "SELECT key,value FROM collection_data WHERE collectionID = '%q' AND domain = %d",
};

const DataTable kPayloadData = {
    "SELECT value FROM payload_data WHERE payloadID = '%q' AND domain = %d AND key = '%q'",
    "INSERT OR REPLACE INTO payload_data (payloadID, domain, key, value) VALUES ('%q', %d, '%q', '%q')",
    "DELETE FROM payload_data WHERE payloadID = '%q' AND domain = %d AND key = '%q'",
    "DELETE FROM payload_data WHERE payloadID = '%q' AND domain = %d",
    "SELECT key FROM payload_data WHERE payloadID = '%q' AND domain = %d",
    "SELECT key,value FROM payload_data WHERE payloadID = '%q' AND domain = %d",
};

capsStatus GetData(const DataTable& table, capsiSession* session, const char* code, capsDomain domain,
                   const char* key, const char** out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {code, key, out}, store))
        return refused;
    return store->querySingle(out, table.get, code, domain, key);
}

capsStatus RemoveData(const DataTable& table, capsiSession* session, const char* code, capsDomain domain,
                      const char* key)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {code, key}, store))
        return refused;
    return store->queryNR(table.remove, code, domain, key);
}

capsStatus SetData(const DataTable& table, capsiSession* session, const char* code, capsDomain domain,
                   const char* key, const char* value)
{
    if (value == nullptr)
        return RemoveData(table, session, code, domain, key);
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {code, key}, store))
        return refused;
    return store->queryNR(table.set, code, domain, key, value);
}

capsStatus RemoveDomainData(const DataTable& table, capsiSession* session, const char* code, capsDomain domain)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {code}, store))
        return refused;
    return store->queryNR(table.removeDomain, code, domain);
}

capsStatus ListData(const char* format, capsiSession* session, const char* code, capsDomain domain,
                    capsStringList* out)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {code, out}, store))
        return refused;
    return store->queryList(out, format, code, domain);
}

}  // namespace

capsStatus capsGetCollectionData(capsiSession* session, const char* collectionID, capsDomain domain,
                                 const char* key, const char** out)
{
    return GetData(kCollectionData, session, collectionID, domain, key, out);
}

capsStatus capsSetCollectionData(capsiSession* session, const char* collectionID, capsDomain domain,
                                 const char* key, const char* value)
{
    return SetData(kCollectionData, session, collectionID, domain, key, value);
}

capsStatus capsRemoveCollectionData(capsiSession* session, const char* collectionID, capsDomain domain,
                                    const char* key)
{
    return RemoveData(kCollectionData, session, collectionID, domain, key);
}

capsStatus capsRemoveCollectionDomainData(capsiSession* session, const char* collectionID, capsDomain domain)
{
    return RemoveDomainData(kCollectionData, session, collectionID, domain);
}

capsStatus capsGetCollectionDataKeys(capsiSession* session, const char* collectionID, capsDomain domain,
                                     capsStringList* out)
{
    return ListData(kCollectionData.keys, session, collectionID, domain, out);
}

capsStatus capsGetCollectionDataKeysAndValues(capsiSession* session, const char* collectionID, capsDomain domain,
                                              capsStringList* out)
{
    return ListData(kCollectionData.keysAndValues, session, collectionID, domain, out);
}

capsStatus capsGetPayloadData(capsiSession* session, const char* payloadID, capsDomain domain, const char* key,
                              const char** out)
{
    return GetData(kPayloadData, session, payloadID, domain, key, out);
}

capsStatus capsSetPayloadData(capsiSession* session, const char* payloadID, capsDomain domain, const char* key,
                              const char* value)
{
    return SetData(kPayloadData, session, payloadID, domain, key, value);
}

capsStatus capsRemovePayloadData(capsiSession* session, const char* payloadID, capsDomain domain,
                                 const char* key)
{
    return RemoveData(kPayloadData, session, payloadID, domain, key);
}

capsStatus capsRemovePayloadDomainData(capsiSession* session, const char* payloadID, capsDomain domain)
{
    return RemoveDomainData(kPayloadData, session, payloadID, domain);
}

capsStatus capsGetPayloadDataKeys(capsiSession* session, const char* payloadID, capsDomain domain,
                                  capsStringList* out)
{
    return ListData(kPayloadData.keys, session, payloadID, domain, out);
}

capsStatus capsGetPayloadDataKeysAndValues(capsiSession* session, const char* payloadID, capsDomain domain,
                                           capsStringList* out)
{
    return ListData(kPayloadData.keysAndValues, session, payloadID, domain, out);
}
