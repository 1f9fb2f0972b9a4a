#include "DataAccessUtilities.h"

#include "PayloadAccessor.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"

#include <iterator>
#include <map>
#include <vector>

namespace DataAccessUtilities {

bool GetSatisfiesData(const boost::shared_ptr<PayloadAccessor>& accessor, std::string& family,
                      std::string& productName, std::string& productVersion)
{
    if (!accessor || !accessor->proxyDataStore)
        return false;
    std::vector<PayloadProxy::SatisfiesProductInfoData> records;
    if (!accessor->proxyDataStore->Satisfies().Get(std::back_inserter(records)) || records.empty())
        return false;
    PayloadProxy::SatisfiesProductInfoData& first = records.front();
    first.Family().Get(family);
    first.ProductName().Get(productName);
    first.Version().Get(productVersion);
    return true;
}

bool GetPayloadPropertiesFromAccesssor(const boost::shared_ptr<PayloadAccessor>& accessor, std::string& orvexCode,
                                       std::string& productName, std::string& productVersion,
                                       std::string& buildIdentifier)
{
    if (!accessor || !accessor->proxyDataStore)
        return false;
    std::map<std::string, std::string> buildInfo;
    accessor->proxyDataStore->BuildInfo().Get(buildInfo);
    std::map<std::string, std::string>::const_iterator created =
        buildInfo.find(TolkConstants::kCAPSPropPayloadBuildIdentifier);
    if (created == buildInfo.end())
        return false;
    buildIdentifier = created->second;

    std::map<std::string, std::string> properties;
    accessor->proxyDataStore->InstallerProperties().Get(properties);
    bool haveCode = false;
    bool haveName = false;
    bool haveVersion = false;
    for (const auto& property : properties) {
        if (property.first == PayloadProxyFileConstants::kPropOrvexCode) {
            orvexCode = property.second;
            haveCode = true;
        } else if (property.first == PayloadProxyFileConstants::kPropProductName) {
            productName = property.second;
            haveName = true;
        } else if (property.first == PayloadProxyFileConstants::kPropProductVersion) {
            productVersion = property.second;
            haveVersion = true;
        }
    }
    return haveCode && haveName && haveVersion;
}

}  // namespace DataAccessUtilities
