#include "QENUpgradeQuery.h"

#include <map>
#include <vector>

namespace {

std::vector<std::string> Strings(capsStringList list)
{
    std::vector<std::string> strings;
    for (; list != nullptr && *list != nullptr; ++list)
        strings.push_back(*list);
    return strings;
}

// Original code -> upgrading code, from the recorded upgrades; false on a failure other than none.
bool GetUpgradedPayloadsMap(capsiSession* session, std::map<std::string, std::string>& upgraded)
{
    upgraded.clear();
    capsStringList pairs = nullptr;
    const capsStatus status = capsGetUpgradedPayloadsKeysAndValues(session, &pairs);
    if (status == kCapsNotFound)
        return true;
    if (status != kCapsOK)
        return false;
    for (; pairs != nullptr && pairs[0] != nullptr && pairs[1] != nullptr; pairs += 2)
        upgraded.insert(std::make_pair(std::string(pairs[0]), std::string(pairs[1])));
    return true;
}

// The code that upgraded the code, or the code itself.
std::string EffectiveCode(capsiSession* session, const std::string& code)
{
    std::map<std::string, std::string> upgraded;
    if (!GetUpgradedPayloadsMap(session, upgraded))
        return code;
    std::map<std::string, std::string>::const_iterator found = upgraded.find(code);
    return found == upgraded.end() ? code : found->second;
}

std::vector<std::string> InstalledCollections(capsiSession* session, const std::string& code)
{
    capsStringList list = nullptr;
    if (capsGetPayloadCollections(session, kCapsInstalled, code.c_str(), &list) != kCapsOK)
        return std::vector<std::string>();
    return Strings(list);
}

// The collections that hold the code installed, or an original that the code upgraded.
std::set<std::string> InstallingCollections(capsiSession* session, const std::string& code,
                                            const std::map<std::string, std::string>& upgraded)
{
    std::set<std::string> collections;
    for (const std::string& collection : InstalledCollections(session, code))
        collections.insert(collection);
    for (const std::map<std::string, std::string>::value_type& entry : upgraded) {
        if (entry.second == code) {
            for (const std::string& collection : InstalledCollections(session, entry.first))
                collections.insert(collection);
        }
    }
    return collections;
}

}  // namespace

namespace QENUpgradeQuery {

bool GetAllPayloadsToBePhysicallyUpgraded(capsiSession* session, const std::set<std::string>& upgrades,
                                          std::set<std::string>& payloads, std::set<std::string>& collections)
{
    payloads.clear();
    collections.clear();
    if (upgrades.empty())
        return true;
    std::set<std::string> gathered;
    for (const std::string& code : upgrades) {
        const std::vector<std::string> installedIn = InstalledCollections(session, code);
        if (installedIn.empty() || EffectiveCode(session, code) != code)
            continue;
        payloads.insert(code);
        for (const std::string& collectionID : installedIn) {
            capsCollection collection = {nullptr, nullptr, 0, 0};
            if (capsGetCollection(session, collectionID.c_str(), &collection) != kCapsOK)
                return false;
            if (collection.collectionPayloadID == nullptr || code != collection.collectionPayloadID)
                continue;
            collections.insert(collectionID);
            capsStringList members = nullptr;
            const capsStatus status = capsGetCollectionPayloads(session, kCapsInstalled, collectionID.c_str(), &members);
            if (status != kCapsOK && status != kCapsNotFound)
                return false;
            for (const std::string& member : Strings(members))
                gathered.insert(member);
        }
    }
    std::map<std::string, std::string> upgraded;
    if (!GetUpgradedPayloadsMap(session, upgraded))
        return true;
    for (const std::string& member : gathered) {
        if (upgraded.count(member) != 0)
            continue;
        bool onlyInReplaced = true;
        for (const std::string& collection : InstallingCollections(session, member, upgraded)) {
            if (collections.count(collection) == 0) {
                onlyInReplaced = false;
                break;
            }
        }
        if (onlyInReplaced)
            payloads.insert(member);
    }
    return true;
}

}  // namespace QENUpgradeQuery
