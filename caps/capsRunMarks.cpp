// The marks of committed runs: a row of pcd_meta per command-engine run ("run " and the run's
// name), written in the transaction that commits the run's records, so that the records and the
// knowledge that they are in can never be parted by a crash. A mark lives only as long as its
// run's journal: outside a run the table holds the schema's two rows alone.
#include "caps.h"

#include "capsiSession.h"

#include <cstring>
#include <set>
#include <string>

namespace {

const char* const kMarkPrefix = "run ";

std::string MarkKey(const char* run)
{
    return kMarkPrefix + std::string(run);
}

// The marks of runs that have ended are of no use any more: only the runs still named (whose
// journals are there, alive or waiting to be recovered) keep theirs.
capsStatus ForgetMarks(CapsiDataStore* store, const char* run, const char* const* keep)
{
    std::set<std::string> kept;
    if (run != nullptr)
        kept.insert(MarkKey(run));
    for (const char* const* name = keep; name != nullptr && *name != nullptr; ++name)
        kept.insert(MarkKey(*name));
    capsStringList marks = nullptr;
    const capsStatus listed = store->queryList(&marks, "SELECT key FROM pcd_meta WHERE substr(key, 1, %d) = '%q'",
                                               static_cast<int>(std::strlen(kMarkPrefix)), kMarkPrefix);
    if (listed == kCapsNotFound)
        return kCapsOK;
    if (listed != kCapsOK)
        return listed;
    for (capsStringList mark = marks; *mark != nullptr; ++mark) {
        if (kept.count(*mark) != 0)
            continue;
        const capsStatus removed = store->queryNR("DELETE FROM pcd_meta WHERE key = '%q'", *mark);
        if (removed != kCapsOK)
            return removed;
    }
    return kCapsOK;
}

}  // namespace

capsStatus capsMarkRunCommitted(capsiSession* session, const char* run, const char* description,
                                const char* const* keep)
{
    if (run != nullptr && run[0] == '\0')
        return kCapsBadArgument;
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {run, description}, store))
        return refused;
    const capsStatus marked = store->queryNR("INSERT OR REPLACE INTO pcd_meta (key, value) VALUES ('%q', '%q')",
                                             MarkKey(run).c_str(), description);
    if (marked != kCapsOK)
        return marked;
    return ForgetMarks(store, run, keep);
}

capsStatus capsForgetRunMarks(capsiSession* session, const char* const* keep)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {}, store))
        return refused;
    return ForgetMarks(store, nullptr, keep);
}

capsStatus capsGetRunMark(capsiSession* session, const char* run)
{
    CapsiDataStore* store = nullptr;
    if (const capsStatus refused = capsiStoreFor(session, {run}, store))
        return refused;
    const char* value = nullptr;
    return store->querySingle(&value, "SELECT value FROM pcd_meta WHERE key = '%q'", MarkKey(run).c_str());
}
