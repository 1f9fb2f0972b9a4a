#include "ThirdPartyPayloadSupportUtilites.h"

#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/LogFactory.h"
#include "JSMethodPublisherGroup.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"
#include "Sorvel/source/mac/SorvelCommonTQEngine.h"
#include "SorvelConstants.h"
#include "SorvelDataAccess.h"

#include <cstdint>
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

bool RunIsInstalledScript(PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine, bool& installed)
{
    PayloadProxy::ThirdPartyMetadata metadata = component.ThirdPartyMetadataData();
    std::string script;
    metadata.IsInstalledScript().Get(script);
    installed = false;
    if (script.empty())
        return true;
    std::string value;
    const bool ran = RunThirdPartyScript(engine, script, value);
    std::int32_t number = 0;
    if (ran && !value.empty() && ZEB::ChangeDiffTypeImpl<std::string, std::int32_t>::ChangeType(value, number))
        installed = number != 0;
    return ran;
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

bool GetOperationArguments(PayloadProxy::ThirdPartyComponent& component,
                           PayloadOperationConstants::InstallAction action, std::string& prefix,
                           std::string& delimiter, PropertyMap& arguments)
{
    prefix = TolkConstants::kThirdPartyDefaultArgPrefix;
    delimiter = TolkConstants::kThirdPartyDefaultArgDelimiter;
    arguments.clear();
    PayloadProxy::ThirdPartyArguments element = component.ThirdPartyArgumentsData();
    // An absent attribute keeps the default; reading it would give an empty one.
    std::map<std::string, std::string> attributes;
    element.Node().GetAllAttributes(attributes);
    if (attributes.count("prefix") != 0)
        prefix = attributes["prefix"];
    if (attributes.count("delimiter") != 0)
        delimiter = attributes["delimiter"];
    switch (action) {
    case PayloadOperationConstants::kInstall:
        element.ThirdPartyInstallArgumentsData().ThirdPartyArgumentsMap().Get(arguments);
        break;
    case PayloadOperationConstants::kRepair:
        element.ThirdPartyRepairArgumentsData().ThirdPartyArgumentsMap().Get(arguments);
        break;
    case PayloadOperationConstants::kUninstall:
        element.ThirdPartyUninstallArgumentsData().ThirdPartyArgumentsMap().Get(arguments);
        break;
    }
    return true;
}

bool GetOperationSuccessRanges(PayloadProxy::ThirdPartyComponent& component,
                               PayloadOperationConstants::InstallAction action, SuccessRanges& ranges)
{
    ranges.clear();
    PayloadProxy::ThirdPartySuccessCodes codes = component.ThirdPartySuccessCodesData();
    std::vector<PayloadProxy::ThirdPartyInstallSuccessRanges> records;
    switch (action) {
    case PayloadOperationConstants::kInstall:
        codes.GetInstallSuccessRanges().Get(std::back_inserter(records));
        break;
    case PayloadOperationConstants::kRepair:
        codes.GetRepairSuccessRanges().Get(std::back_inserter(records));
        break;
    case PayloadOperationConstants::kUninstall:
        codes.GetUninstallSuccessRanges().Get(std::back_inserter(records));
        break;
    default:
        return true;
    }
    for (PayloadProxy::ThirdPartyInstallSuccessRanges& record : records) {
        int lower = 0;
        int upper = 0;
        if (!record.LowerBound().Get(lower) || !record.UpperBound().Get(upper) || lower > upper) {
            ranges.clear();
            return false;
        }
        ranges.push_back(std::make_pair(static_cast<unsigned long>(lower), static_cast<unsigned long>(upper)));
    }
    return true;
}

bool InterpretThirdPartyExitCode(unsigned long& exitCode, const SuccessRanges& ranges, const std::string& packageType,
                                 const PropertyMap&, PayloadOperationConstants::OperationResult& result)
{
    result = PayloadOperationConstants::kSuccess;
    if (packageType == PayloadProxyFileConstants::kThirdPartyTypeTolk1) {
        if (exitCode > PayloadOperationConstants::kSuccessWithMessage)
            return false;
        result = static_cast<PayloadOperationConstants::OperationResult>(exitCode);
        return true;
    }
    if (ranges.empty())
        return true;
    for (const auto& range : ranges) {
        if (range.first <= exitCode && exitCode <= range.second)
            return true;
    }
    return false;
}

bool ExpandArgumentValues(const PropertyMap& properties, PropertyMap& arguments)
{
    for (const auto& property : properties) {
        const std::string token = "[" + property.first + "]";
        for (auto& argument : arguments) {
            std::string& value = argument.second;
            // The inserted value is not searched again.
            for (std::string::size_type at = value.find(token); at != std::string::npos;
                 at = value.find(token, at + property.second.size()))
                value.replace(at, token.size(), property.second);
        }
    }
    return true;
}

}  // namespace ThirdPartyPayloadSupportUtilites
