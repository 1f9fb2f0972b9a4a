// The data-access methods over the installation database: the dump of the whole database for the
// pages, and whether one payload counts as installed, logically and physically, after upgrades.
#include "SorvelDataAccess.h"

#include "Common/source/xplat/JSONUtilities.h"
#include "InstallerEngine.h"
#include "PayloadAccessor.h"
#include "PayloadSessionManager.h"
#include "SorvelJSPublisherUtilities.h"
#include "ThirdPartyPayloadSupportUtilites.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <sstream>
#include <stdexcept>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;

namespace {

std::string Serialized(const JSONUtilities::JSONBase& answer)
{
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

// The entries of a list result up to its end (an empty list for null).
std::vector<std::string> Entries(capsStringList list)
{
    std::vector<std::string> entries;
    for (capsStringList entry = list; entry != nullptr && *entry != nullptr; ++entry)
        entries.push_back(*entry);
    return entries;
}

bool PayloadListToJSONArray(capsStringList list, JSONUtilities::JSONObject& object, const std::string& name)
{
    if (name.empty())
        return false;
    return object.AddArray(name, Entries(list)) != nullptr;
}

std::string Text(const char* value)
{
    return value != nullptr ? std::string(value) : std::string();
}

bool HasStatus(capsStatus status, capsStatus first, capsStatus second)
{
    return status == first || status == second;
}

}  // namespace

std::string SorvelDataAccess::GetCAPS(const ArgumentList& arguments)
{
    capsStatus last = kCapsOK;
    const auto failure = [&last](SorvelJSPublisherUtilities::JSResult code) {
        SorvelJSPublisherUtilities::ExtraPropertyMap extra;
        extra[SorvelJSPublisherUtilities::kCAPSErrorPropertyName] = std::to_string(last);
        return MakeJSONErrorObj(code, extra);
    };
    if (!arguments.empty())
        return failure(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);

    CAPSSessionPtr database;
    if (!database.Open()) {
        last = database.GetStatus();
        return failure(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    }

    capsStringList list = nullptr;
    last = capsGetCollections(database, &list);
    if (!HasStatus(last, kCapsOK, kCapsNotFound))
        return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
    const std::vector<std::string> collections = last == kCapsOK ? Entries(list) : std::vector<std::string>();

    JSONUtilities::JSONObject answer;
    JSONUtilities::JSONObject* collectionsObject = answer.AddObject("Collections");
    for (const std::string& id : collections) {
        capsCollection record = capsCollection();
        last = capsGetCollection(database, id.c_str(), &record);
        if (last != kCapsOK)
            return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
        JSONUtilities::JSONObject* collection = collectionsObject->AddObject(id);
        if (!Text(record.collectionPayloadID).empty())
            collection->AddProperty("driverPayloadID", Text(record.collectionPayloadID));
        collection->AddProperty("tsInstalled", record.tsInstalled);
        collection->AddProperty("tsModified", record.tsModified);
    }

    last = capsGetPayloads(database, kCapsAnyInstallState, &list);
    if (!HasStatus(last, kCapsOK, kCapsNotFound))
        return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
    const std::vector<std::string> payloads = last == kCapsOK ? Entries(list) : std::vector<std::string>();

    JSONUtilities::JSONObject* payloadsObject = answer.AddObject("Payloads");
    for (const std::string& code : payloads) {
        capsPayload record = capsPayload();
        last = capsGetPayload(database, code.c_str(), &record);
        if (last != kCapsOK)
            return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
        JSONUtilities::JSONObject* payload = payloadsObject->AddObject(code);
        // Escaped like every other value: a name with a quote must not break the answer.
        payload->AddProperty("payloadID", Text(record.payloadID));
        payload->AddProperty("productFamily", Text(record.productFamily));
        payload->AddProperty("productName", Text(record.productName));
        payload->AddProperty("version", Text(record.version));
        payload->AddProperty("identifier", Text(record.signature));

        const struct {
            capsConstraintType type;
            const char* name;
        } kConstraints[] = {{kCapsConflicts, "Conflicts"}, {kCapsUpgrades, "Upgrades"}, {kCapsRequires, "Requires"}};
        for (const auto& constraint : kConstraints) {
            capsStringList codes = nullptr;
            last = capsGetPayloadConstraint(database, code.c_str(), constraint.type, &codes);
            if (!HasStatus(last, kCapsOK, kCapsNotFound))
                return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
            if (!PayloadListToJSONArray(last == kCapsOK ? codes : nullptr, *payload, constraint.name))
                return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
        }

        JSONUtilities::JSONObjectArray* states = payload->AddObjectArray("Collections");
        for (const std::string& id : collections) {
            capsInstallState state = kCapsNotInstalled;
            last = capsGetInstallState(database, id.c_str(), code.c_str(), &state);
            if (last == kCapsNotFound)
                continue;
            if (last != kCapsOK)
                return failure(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
            JSONUtilities::JSONObject* entry = states->AddObject();
            entry->AddProperty("collectionID", id);
            entry->AddProperty("installState", state);
        }
    }
    return Serialized(answer);
}

std::string SorvelDataAccess::GetPayloadPhysicalInstallState(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    const std::string& orvexCode = arguments[0];
    try {
        bool logicallyInstalled = false;
        bool physicallyInstalled = false;
        std::string effectiveOrvexCode = orvexCode;
        std::set<std::string> upgradingMe, upgradedByMe;
        bool thirdParty = false;
        bool thirdPartyOwner = false;

        const boost::shared_ptr<PayloadSessionManager> session = engine_->GetPayloadSessionManager();
        boost::shared_ptr<PayloadAccessor> accessor =
            session ? session->GetPayloadAccessorForOrvexCode(orvexCode) : boost::shared_ptr<PayloadAccessor>();
        if (accessor) {
            if (!ThirdPartyPayloadSupportUtilites::IsThirdPartyPayload(accessor->proxyDataStore, thirdParty))
                return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultDataDecodeFailed);
        }
        if (thirdParty) {
            bool installed = false;
            if (!ImplIsThirdPartyPayloadInstalled(engine_, orvexCode, accessor, installed))
                return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
            logicallyInstalled = physicallyInstalled = installed;
            // Whether this session's collection is one that holds the payload as installed.
            CAPSSessionPtr database;
            if (database.Open()) {
                capsStringList collections = nullptr;
                if (capsGetPayloadCollections(database, kCapsInstalled, orvexCode.c_str(), &collections) == kCapsOK) {
                    const std::string key = session->GetSessionKey();
                    for (const std::string& collection : Entries(collections))
                        thirdPartyOwner = thirdPartyOwner || collection == key;
                }
                database.Rollback();
                database.Close();
            }
        } else if (!GetTolkPayloadInstallState(orvexCode, logicallyInstalled, physicallyInstalled, effectiveOrvexCode,
                                               upgradingMe, upgradedByMe)) {
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
        }

        JSONUtilities::JSONObject answer;
        answer.AddProperty("logicallyInstalled", logicallyInstalled ? 1 : 0);
        answer.AddProperty("physicallyInstalled", physicallyInstalled ? 1 : 0);
        answer.AddProperty("effectiveOrvexCode", effectiveOrvexCode);
        if (thirdParty)
            answer.AddProperty("thirdPartyOwner", thirdPartyOwner);
        if (!upgradingMe.empty())
            answer.AddArray("payloadsUpgradingMe", upgradingMe);
        if (!upgradedByMe.empty())
            answer.AddArray("payloadsUpgradedByMe", upgradedByMe);
        return Serialized(answer);
    } catch (const std::runtime_error& error) {
        SorvelJSPublisherUtilities::ExtraPropertyMap extra;
        extra["what"] = error.what();
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed, extra);
    }
}

bool SorvelDataAccess::GetTolkPayloadInstallState(const std::string& orvexCode, bool& logicallyInstalled,
                                                  bool& physicallyInstalled, std::string& effectiveOrvexCode,
                                                  std::set<std::string>& payloadsUpgradingMe,
                                                  std::set<std::string>& payloadsUpgradedByMe)
{
    payloadsUpgradingMe.clear();
    payloadsUpgradedByMe.clear();
    if (orvexCode.empty())
        return false;
    CAPSSessionPtr database;
    if (!database.Open())
        return false;

    bool result = false;
    capsStringList collections = nullptr;
    const capsStatus status = capsGetPayloadCollections(database, kCapsInstalled, orvexCode.c_str(), &collections);
    if (status == kCapsOK) {
        logicallyInstalled = true;
        std::string effective = orvexCode;
        if (CAPSQueryUtilities::GetEffectiveOrvexCodeFromOriginal(database, orvexCode, effective)) {
            effectiveOrvexCode = effective;
            physicallyInstalled = effective == orvexCode;
            result = CAPSQueryUtilities::GetAllInstalledPayloadsThatUpgradePackage(database, orvexCode,
                                                                                   payloadsUpgradingMe);
        }
    } else if (status == kCapsNotFound) {
        // Installed nowhere under its own code: it may stand in for installed payloads it upgraded.
        bool standsIn = false;
        CAPSQueryUtilities::UpgradedPayloadsMap upgrades;
        if (CAPSQueryUtilities::GetUpgradedPayloadsMap(database, upgrades)) {
            for (const CAPSQueryUtilities::UpgradedPayloadsMap::value_type& upgrade : upgrades) {
                capsStringList installedIn = nullptr;
                if (upgrade.second != orvexCode ||
                    capsGetPayloadCollections(database, kCapsInstalled, upgrade.first.c_str(), &installedIn) != kCapsOK)
                    continue;
                if (!standsIn) {
                    logicallyInstalled = physicallyInstalled = true;
                    effectiveOrvexCode = orvexCode;
                    standsIn = true;
                }
                payloadsUpgradedByMe.insert(upgrade.first);
            }
        }
        if (standsIn) {
            result = true;
        } else {
            logicallyInstalled = physicallyInstalled = false;
            effectiveOrvexCode = orvexCode;
            result = CAPSQueryUtilities::GetAllInstalledPayloadsThatUpgradePackage(database, orvexCode,
                                                                                   payloadsUpgradingMe);
            if (!payloadsUpgradingMe.empty()) {
                std::string effective;
                if (CAPSQueryUtilities::GetEffectiveOrvexCodeFromOriginal(database, *payloadsUpgradingMe.begin(),
                                                                          effective))
                    effectiveOrvexCode = effective;
                else
                    effectiveOrvexCode = orvexCode;
            }
        }
    }
    database.Rollback();
    database.Close();
    return result;
}
