#include "ThirdPartyPayloadSupportUtilites.h"

#include "JSMethodPublisherGroup.h"
#include "LogFactory.h"
#include "PayloadProxyFileConstants.h"
#include "SorvelCommonTQEngine.h"
#include "SorvelConstants.h"
#include "SorvelDataAccess.h"

#include <exception>
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

bool RunThirdPartyScript(InstallerEngine* engine, const std::string& script, std::string& result)
{
    if (script.empty())
        return false;
    try {
        // The script reads the host and the session through a data-access publisher of its own.
        JSMethodPublisherGroup::PublisherList list;
        if (engine != nullptr)
            list.push_back(JSMethodPublisherGroup::PublisherPtr(
                new SorvelDataAccess(engine, LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog))));
        JSMethodPublisherGroup publishers(list);
        SorvelCommonTQEngine bridge(publishers);
        Mivor::Variant value;
        std::string errorText;
        if (!bridge.EvalScript(script, value, errorText))
            return false;
        if (!value.isUndefined()) {
            const Mivor::String text = value.isString() ? value.getString() : value.toString(10);
            result = text.encode(Mivor::Encoder::getUtf8());
        }
        return true;
    } catch (const std::exception&) {
        // No script engine could be made for the run.
        return false;
    }
}

}  // namespace ThirdPartyPayloadSupportUtilites
