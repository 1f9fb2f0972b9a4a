#include "Shared/ProxyFileDataStore.h"

#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"

#include <iterator>
#include <vector>

namespace PayloadProxy {

ProxyFileDataStore::ProxyFileDataStore()
    : XmlObjectDataStore("PayloadInfo")
{
}

XmlAttributeValue ProxyFileDataStore::Version() const
{
    return XmlAttributeValue("version", Root());
}

XmlPropertyMap ProxyFileDataStore::InstallerProperties() const
{
    return XmlPropertyMap("InstallerProperties", Root(), GetDocument(), "Property", "name");
}

XmlPropertyMap ProxyFileDataStore::BuildInfo() const
{
    return XmlPropertyMap("BuildInfo", Root(), GetDocument(), "Property", "name");
}

XmlPropertyList ProxyFileDataStore::Languages() const
{
    return XmlPropertyList("Languages", Root(), GetDocument(), "Language");
}

XmlComplexTypeList<SatisfiesProductInfoData> ProxyFileDataStore::Satisfies() const
{
    return XmlComplexTypeList<SatisfiesProductInfoData>("Satisfies", Root(), GetDocument(), "ProductInfo");
}

XmlComplexTypeList<RequiresProductInfoData> ProxyFileDataStore::Requires() const
{
    return XmlComplexTypeList<RequiresProductInfoData>("Requires", Root(), GetDocument(), "ProductInfo");
}

XmlPropertyList ProxyFileDataStore::Conflicts() const
{
    return XmlPropertyList("Conflicts", Root(), GetDocument(), "OrvexCode");
}

XmlPropertyList ProxyFileDataStore::Upgrades() const
{
    return XmlPropertyList("Upgrades", Root(), GetDocument(), "OrvexCode");
}

XmlPropertyMap ProxyFileDataStore::EULAFiles() const
{
    return XmlPropertyMap("EULAFiles", Root(), GetDocument(), "EULA", "isoCode");
}

XmlComplexTypeList<Stream> ProxyFileDataStore::StreamNodes() const
{
    return XmlComplexTypeList<Stream>("Streams", Root(), GetDocument(), "Stream");
}

XmlComplexTypeList<InstallDestinationMetadata> ProxyFileDataStore::InstallDestinationData() const
{
    return XmlComplexTypeList<InstallDestinationMetadata>("InstallDestinationMetadata", Root(), GetDocument(),
                                                          "Destination");
}

XmlProperty ProxyFileDataStore::ManifestErrors() const
{
    return XmlProperty("ValidationResults", Root(), GetDocument());
}

XmlProperty ProxyFileDataStore::SystemRequirementsJSON() const
{
    return XmlProperty("SystemRequirementsJSON", Root(), GetDocument());
}

XmlProperty ProxyFileDataStore::UserPreferencesFlag() const
{
    return XmlProperty("UserPreferences", Root(), GetDocument());
}

XmlPropertyMap ProxyFileDataStore::SuppressUninstaller() const
{
    return XmlPropertyMap("SuppressUninstaller", Root(), GetDocument(), "Platform", "name");
}

ThirdPartyComponent ProxyFileDataStore::ThirdPartyComponentData() const
{
    return ThirdPartyComponent(Root(), GetDocument());
}

bool ProxyFileDataStore::GetConflictingProcessesForPlatform(const std::string& platform,
                                                            std::map<std::string, bool>& processes) const
{
    processes.clear();
    XmlComplexTypeChild conflicting("ConflictingProcesses", Root(), GetDocument());
    std::vector<ConflictingProcessInfo> records;
    XmlComplexTypeList<ConflictingProcessInfo>(platform, &conflicting, GetDocument(), "Process")
        .Get(std::back_inserter(records));
    for (ConflictingProcessInfo& record : records) {
        bool blocking = false;
        record.Blocking().Get(blocking);
        std::string pattern;
        record.GetValue(pattern);
        // A later non-blocking entry never clears an earlier blocking one.
        bool& entry = processes[pattern];
        entry = entry || blocking;
    }
    return true;
}

std::size_t ProxyFileDataStore::GetAllAddRemoveInfoData(AddRemoveInfoData& values) const
{
    values.clear();
    AddRemoveInfo info(Root(), GetDocument());
    for (const std::string& name : PayloadProxyFileConstants::addRemoveInfoChildren) {
        std::map<std::string, std::string>& languages = values[name];
        XmlPropertyMap(name, &info, GetDocument(), "Value", "lang").Get(languages);
    }
    return values.size();
}

std::size_t ProxyFileDataStore::GetAddRemoveInfoForLanguage(const std::string& driverOrvexCode,
                                                            const std::string& language,
                                                            std::map<std::string, std::string>& values) const
{
    std::size_t count = 0;
    if (!language.empty()) {
        AddRemoveInfo info(Root(), GetDocument());
        for (const std::string& name : PayloadProxyFileConstants::addRemoveInfoChildren) {
            std::string value;
            if (info.GetAddRemoveInfoValue(name, language, value)) {
                values[TolkConstants::kPropAddRemoveInfo + name] = value;
                ++count;
            }
        }
    }
    if (!driverOrvexCode.empty()) {
        values.insert(std::make_pair(TolkConstants::kPropAddRemoveInfo + "DriverOrvexCode", driverOrvexCode));
        ++count;
    }
    return count;
}

bool ProxyFileDataStore::GetInstallDirInfoForPlatform(const std::string& platform, std::string& defaultFolder,
                                                      std::string& folderName, bool& fixed) const
{
    defaultFolder.clear();
    folderName.clear();
    fixed = false;

    std::vector<InstallDirInfo> records;
    XmlComplexTypeList<InstallDirInfo>("InstallDir", Root(), GetDocument(), "Platform")
        .Get(std::back_inserter(records));
    InstallDirInfo* taken = nullptr;
    InstallDirInfo* lastDefault = nullptr;
    for (InstallDirInfo& record : records) {
        std::string name;
        record.platformName().Get(name);
        if (name == platform) {
            taken = &record;
            break;
        }
        if (name == PayloadProxyFileConstants::kPlatformDefault)
            lastDefault = &record;
    }
    if (taken == nullptr)
        taken = lastDefault;
    if (taken == nullptr)
        return false;

    taken->GetValue(defaultFolder);
    taken->folderName().Get(folderName);
    std::string isFixed;
    taken->fixedDestination().Get(isFixed);
    fixed = !isFixed.empty() && isFixed[0] == '1';
    return true;
}

bool ProxyFileDataStore::GetSuppressUninstallerForPlatform(const std::string& platform, bool& suppress) const
{
    suppress = false;
    std::map<std::string, bool> platforms;
    if (!SuppressUninstaller().Get(platforms))
        return false;
    const std::map<std::string, bool>::const_iterator found = platforms.find(platform);
    if (found != platforms.end())
        suppress = found->second;
    return true;
}

bool ProxyFileDataStore::IsLanguageIndependent(bool& independent) const
{
    XmlComplexTypeChild languages("Languages", Root(), GetDocument());
    int value = 0;
    if (XmlAttributeValue("languageIndependent", &languages).Get(value) && value != 0)
        independent = true;
    return true;
}

}  // namespace PayloadProxy
