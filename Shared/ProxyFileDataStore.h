// PayloadProxy::ProxyFileDataStore: the payload proxy file ("<name>.proxy.xml" or ".boot.xml"),
// loaded once and then read through typed views: identity, product relations, languages, install
// folders, conflicting processes, add/remove-programs texts and the third-party component.
//
// Reading never changes the document: an absent element or attribute reads as empty text, an
// empty list or an empty map, and the computed readers below give their own defaults. Every view
// refers to the store's document and must not outlive the store.
#pragma once

#include "Common/source/xplat/XmlAttributeValue.h"
#include "Common/source/xplat/XmlComplexTypeList.h"
#include "Common/source/xplat/XmlObjectDataStore.h"
#include "Common/source/xplat/XmlProperty.h"
#include "Common/source/xplat/XmlPropertyList.h"
#include "Common/source/xplat/XmlPropertyMap.h"
#include "Shared/ProxyFileRecords.h"
#include "Shared/ThirdPartyComponent.h"

#include <cstddef>
#include <map>
#include <string>

namespace PayloadProxy {

class ProxyFileDataStore : public XmlObjectDataStore {
public:
    typedef std::map<std::string, std::map<std::string, std::string>> AddRemoveInfoData;

    // An empty store whose new documents get the root element "PayloadInfo". Load fills it.
    ProxyFileDataStore();

    // Views over the root element, made at the moment of the call.
    XmlAttributeValue Version() const;
    XmlPropertyMap InstallerProperties() const;
    XmlPropertyMap BuildInfo() const;
    XmlPropertyList Languages() const;
    XmlComplexTypeList<SatisfiesProductInfoData> Satisfies() const;
    XmlComplexTypeList<RequiresProductInfoData> Requires() const;
    XmlPropertyList Conflicts() const;
    XmlPropertyList Upgrades() const;
    XmlPropertyMap EULAFiles() const;
    XmlComplexTypeList<Stream> StreamNodes() const;
    XmlComplexTypeList<InstallDestinationMetadata> InstallDestinationData() const;
    XmlProperty ManifestErrors() const;
    XmlProperty SystemRequirementsJSON() const;
    XmlProperty UserPreferencesFlag() const;
    XmlPropertyMap SuppressUninstaller() const;
    ThirdPartyComponent ThirdPartyComponentData() const;

    // Process pattern to blocking flag for the platform's ConflictingProcesses entry (the map is
    // cleared first). A pattern listed more than once blocks when any of its entries does. True.
    bool GetConflictingProcessesForPlatform(const std::string& platform, std::map<std::string, bool>& processes) const;

    // The eight add/remove-programs values (PayloadProxyFileConstants::addRemoveInfoChildren),
    // each as language to text; an absent value gives an empty map. Answers the number of entries,
    // always eight.
    std::size_t GetAllAddRemoveInfoData(AddRemoveInfoData& values) const;

    // Adds "AddRemoveInfo<name>" for every value present in exactly that language, and
    // "AddRemoveInfoDriverOrvexCode" (unless already there) when a driver code is given. The map
    // is not cleared. Answers how many entries were set or found.
    std::size_t GetAddRemoveInfoForLanguage(const std::string& driverOrvexCode, const std::string& language,
                                            std::map<std::string, std::string>& values) const;

    // The InstallDir entry named as the platform, else the last one named "Default": its text,
    // folderName and isFixed ("1" as first character). False, with the outputs cleared, when
    // there is neither.
    bool GetInstallDirInfoForPlatform(const std::string& platform, std::string& defaultFolder,
                                      std::string& folderName, bool& fixed) const;

    // The SuppressUninstaller flag of the platform (false when not listed; no "Default" entry
    // is consulted). False, with the flag false, when an entry's text is not "1" or "0".
    bool GetSuppressUninstallerForPlatform(const std::string& platform, bool& suppress) const;

    // Sets the flag when Languages carries a languageIndependent number other than zero;
    // otherwise leaves it as the caller set it. True.
    bool IsLanguageIndependent(bool& independent) const;

private:
    XmlBackedObject* Root() const { return GetRootBackingObject(); }
};

}  // namespace PayloadProxy
