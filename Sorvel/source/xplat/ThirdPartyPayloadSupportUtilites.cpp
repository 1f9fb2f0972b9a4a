#include "ThirdPartyPayloadSupportUtilites.h"

#include "PayloadProxyFileConstants.h"

#include <iterator>
#include <vector>

namespace ThirdPartyPayloadSupportUtilites {

bool IsThirdPartyPayload(const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& store, bool& isThirdParty)
{
    isThirdParty = false;
    if (!store)
        return false;
    std::vector<PayloadProxy::SatisfiesProductInfoData> records;
    if (!store->Satisfies().Get(std::back_inserter(records)) || records.empty())
        return false;
    std::string family;
    if (records.front().Family().Get(family))
        isThirdParty = family == PayloadProxyFileConstants::kNonTolkPayloadFamilyName;
    return true;
}

bool GetPackageType(PayloadProxy::ThirdPartyComponent& component, std::string& type)
{
    PayloadProxy::ThirdPartyMetadata metadata = component.ThirdPartyMetadataData();
    type.clear();
    metadata.Type().Get(type);
    return !type.empty();
}

bool GetPackageName(PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine, std::string& name)
{
    PayloadProxy::ThirdPartyMetadata metadata = component.ThirdPartyMetadataData();
    name.clear();
    metadata.Name().Get(name);
    if (!name.empty())
        return true;
    std::string script;
    metadata.NameScript().Get(script);
    if (script.empty())
        return false;
    return RunThirdPartyScript(engine, script, name);
}

bool RunThirdPartyScript(InstallerEngine*, const std::string& script, std::string&)
{
    if (script.empty())
        return false;
    // Component scripts run in a scripting engine that publishes the data-access methods to
    // them; until that publisher is part of the program, a script cannot be run and yields
    // nothing.
    return false;
}

}  // namespace ThirdPartyPayloadSupportUtilites
