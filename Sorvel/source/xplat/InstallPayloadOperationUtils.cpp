#include "InstallPayloadOperationUtils.h"

#include "Common/source/xplat/ProductVersion.h"
#include "Shared/TolkConstants.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <unistd.h>

namespace {

// Inserts the pairs of a key/value list, stopping at the first pair with a missing key or value.
void InsertPairs(capsStringList pairs, InstallPayloadOperationUtils::PropertyMap& properties)
{
    if (pairs == nullptr)
        return;
    for (capsStringList pair = pairs; pair[0] != nullptr && pair[1] != nullptr; pair += 2)
        properties.insert(std::make_pair(std::string(pair[0]), std::string(pair[1])));
}

}  // namespace

namespace InstallPayloadOperationUtils {

bool AddStoredPayloadProperties(capsiSession* session, const std::string& payloadCode, PropertyMap& properties)
{
    capsStringList pairs = nullptr;
    if (capsGetPayloadDataKeysAndValues(session, payloadCode.c_str(), kCapsDomainProperties, &pairs) != kCapsOK)
        return false;
    InsertPairs(pairs, properties);
    return true;
}

bool SupportsPhysicalRepair(const PropertyMap& properties)
{
    PropertyMap::const_iterator found = properties.find(TolkConstants::kPropSetupVersion);
    ProductVersion version;
    return found != properties.end() && ProductVersion::InitializeFromVersionString(found->second, version) &&
           version.compare(ProductVersion(0, 0, 76, 0)) >= 0;
}

bool LoadPayloadRepairOrUninstallProperties(const std::string& payloadCode, const std::string& sessionKey,
                                            PropertyMap& out)
{
    if (payloadCode.empty() || sessionKey.empty())
        return false;
    PropertyMap working;
    working[TolkConstants::kPropSessionID] = sessionKey;
    CAPSSessionPtr session;
    if (!session.Open())
        return false;

    bool result = false;
    if (AddStoredPayloadProperties(session, payloadCode, working)) {
        const char* recent = nullptr;
        if (capsGetPayloadData(session, payloadCode.c_str(), kCapsDomainInstaller,
                               TolkConstants::kPropMostRecentManipulatingSession.c_str(), &recent) == kCapsOK &&
            recent != nullptr) {
            working.insert(std::make_pair(TolkConstants::kPropMostRecentManipulatingSession, std::string(recent)));
            // These may have been changed for the collection since the payload was installed, so
            // the collection's value is the one that holds now.
            for (const std::string& name : TolkConstants::GetMutableSessionOrPayloadProperties()) {
                const char* value = nullptr;
                if (capsGetCollectionData(session, recent, kCapsDomainProperties, name.c_str(), &value) == kCapsOK &&
                    value != nullptr)
                    working[name] = value;
            }
            result = true;
        }
    } else {
        capsStringList pairs = nullptr;
        if (capsGetCollectionDataKeysAndValues(session, sessionKey.c_str(), kCapsDomainProperties, &pairs) == kCapsOK) {
            InsertPairs(pairs, working);
            result = true;
        }
    }
    session.Rollback();
    session.Close();

    if (result) {
        out.clear();
        for (const std::string& name : TolkConstants::GetWhitelistPayloadProperties()) {
            PropertyMap::const_iterator found = working.find(name);
            if (found != working.end())
                out.insert(*found);
        }
    }
    return result;
}

void LogDatabaseOpenFailure(LogAppender& log, capsStatus status)
{
    if (status == kCapsAccessDenied && geteuid() != 0) {
        log.AppendToLog(LogAppender::kLogError,
                        "Unable to open the installation database: installing, repairing and removing payloads "
                        "needs administrator rights, which this Setup (user ID " +
                            std::to_string(geteuid()) +
                            ") does not have. Run Setup as root, or start the wizard without -norespawn so that it "
                            "relaunches itself with them.");
        return;
    }
    std::string text = "Unable to open the installation database (status " + std::to_string(status);
    switch (status) {
    case kCapsIOError:
        text += ": its folder or files cannot be made, read or written, or are damaged";
        break;
    case kCapsAccessDenied:
        text += ": access denied";
        break;
    case kCapsBusy:
        text += ": another process holds it";
        break;
    default:
        break;
    }
    log.AppendToLog(LogAppender::kLogError, text + ")");
}

}  // namespace InstallPayloadOperationUtils
