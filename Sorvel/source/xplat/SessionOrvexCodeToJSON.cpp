#include "SessionOrvexCodeToJSON.h"

#include "Common/source/xplat/JSONUtilities.h"
#include "InstallerEngine.h"
#include "PayloadAccessor.h"
#include "PayloadMediaSource.h"
#include "PayloadSessionManager.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/ProxyFileDataStore.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"

#include <iterator>
#include <map>
#include <vector>

namespace {

typedef std::map<std::string, std::string> StringMap;

void AddProductRelations(JSONUtilities::JSONObject& description, const PayloadProxy::ProxyFileDataStore& proxy)
{
    std::vector<PayloadProxy::SatisfiesProductInfoData> satisfies;
    if (proxy.Satisfies().Get(std::back_inserter(satisfies)) && satisfies.size() == 1) {
        std::string family, name, version;
        satisfies[0].Family().Get(family);
        satisfies[0].ProductName().Get(name);
        satisfies[0].Version().Get(version);
        JSONUtilities::JSONObject* object = description.AddObject("Satisfies");
        object->AddProperty("family", family);
        object->AddProperty("productName", name);
        object->AddProperty("version", version);
    }

    std::vector<PayloadProxy::RequiresProductInfoData> requires;
    if (proxy.Requires().Get(std::back_inserter(requires)) && !requires.empty()) {
        JSONUtilities::JSONObjectArray* list = description.AddObjectArray("Requires");
        for (PayloadProxy::RequiresProductInfoData& record : requires) {
            std::string family, name, minVersion, visible;
            record.Family().Get(family);
            record.ProductName().Get(name);
            record.MinVersion().Get(minVersion);
            record.Visible().Get(visible);
            JSONUtilities::JSONObject* object = list->AddObject();
            object->AddProperty("family", family);
            object->AddProperty("productName", name);
            object->AddProperty("minVersion", minVersion);
            object->AddProperty("visible", visible);
        }
    }

    std::vector<std::string> upgrades;
    if (proxy.Upgrades().Get(std::back_inserter(upgrades)) && !upgrades.empty())
        description.AddArray("Upgrades", upgrades);
    std::vector<std::string> conflicts;
    if (proxy.Conflicts().Get(std::back_inserter(conflicts)) && !conflicts.empty())
        description.AddArray("Conflicts", conflicts);
}

void AddPlatformEntries(JSONUtilities::JSONObject& description, const PayloadProxy::ProxyFileDataStore& proxy)
{
    StringMap eulas;
    if (proxy.EULAFiles().Get(eulas) && !eulas.empty()) {
        std::vector<std::string> languages;
        for (const StringMap::value_type& eula : eulas)
            languages.push_back(eula.first);
        description.AddArray("EULALanguages", languages);
    }

    std::map<std::string, bool> processes;
    if (proxy.GetConflictingProcessesForPlatform(PayloadProxyFileConstants::kPlatformCurrent, processes) &&
        !processes.empty()) {
        JSONUtilities::JSONObjectArray* list = description.AddObjectArray("ConflictingProcesses");
        for (const std::map<std::string, bool>::value_type& process : processes) {
            JSONUtilities::JSONObject* object = list->AddObject();
            object->AddProperty("pattern", process.first);
            object->AddProperty("blocking", process.second);
        }
    }

    PayloadProxy::ProxyFileDataStore::AddRemoveInfoData addRemove;
    if (proxy.GetAllAddRemoveInfoData(addRemove) > 0) {
        JSONUtilities::JSONObject* object = description.AddObject("AddRemoveInfo");
        for (const PayloadProxy::ProxyFileDataStore::AddRemoveInfoData::value_type& child : addRemove) {
            if (!child.second.empty())
                object->AddObject(child.first)->AddPropertyMap(child.second);
        }
    }

    bool suppress = false;
    if (proxy.GetSuppressUninstallerForPlatform(PayloadProxyFileConstants::kPlatformCurrent, suppress))
        description.AddProperty("suppressUninstaller", suppress ? 1 : 0);

    int userPreferences = 0;
    if (!proxy.UserPreferencesFlag().Get(userPreferences))
        userPreferences = 0;
    description.AddProperty("userPreferences", userPreferences);

    std::string requirements;
    if (proxy.SystemRequirementsJSON().Get(requirements) && !requirements.empty())
        description.AddProperty("SystemRequirements", requirements);

    std::vector<PayloadProxy::InstallDestinationMetadata> destinations;
    if (proxy.InstallDestinationData().Get(std::back_inserter(destinations)) && !destinations.empty()) {
        JSONUtilities::JSONObjectArray* list = description.AddObjectArray("InstallDestinationData");
        for (PayloadProxy::InstallDestinationMetadata& destination : destinations) {
            std::string root, totalSize, maxPathComponent;
            destination.Root().Get(root);
            destination.TotalSize().Get(totalSize);
            destination.MaxPathComponent().Get(maxPathComponent);
            JSONUtilities::JSONObject* object = list->AddObject();
            object->AddProperty("root", root);
            object->AddProperty("totalSize", totalSize);
            object->AddProperty("maxPathComponent", maxPathComponent);
        }
    }
}

}  // namespace

SessionOrvexCodeToJSON::SessionOrvexCodeToJSON(JSONUtilities::JSONObject& target, InstallerEngine* engine,
                                               const std::string& driverPayloadOrvexCode)
    : target_(target), engine_(engine), driverPayloadOrvexCode_(driverPayloadOrvexCode)
{
}

SessionOrvexCodeToJSON::SessionOrvexCodeToJSON(const SessionOrvexCodeToJSON& other)
    : target_(other.target_), engine_(other.engine_), driverPayloadOrvexCode_(other.driverPayloadOrvexCode_)
{
}

void SessionOrvexCodeToJSON::operator()(const std::string& orvexCode) const
{
    JSONUtilities::JSONObject* description = target_.AddObject(orvexCode);
    const boost::shared_ptr<PayloadSessionManager> session = engine_->GetPayloadSessionManager();
    const boost::shared_ptr<PayloadAccessor> accessor =
        session ? session->GetPayloadAccessorForOrvexCode(orvexCode) : boost::shared_ptr<PayloadAccessor>();
    if (!accessor || !accessor->proxyDataStore)
        return;
    const PayloadProxy::ProxyFileDataStore& proxy = *accessor->proxyDataStore;

    std::string version;
    proxy.Version().Get(version);
    description->AddProperty("version", version);
    description->AddProperty("installAction", std::string());
    description->AddProperty("driverPayload", orvexCode == driverPayloadOrvexCode_);

    StringMap properties;
    proxy.BuildInfo().Get(properties);
    description->AddObject("BuildInfo")->AddPropertyMap(properties);
    properties.clear();
    proxy.InstallerProperties().Get(properties);
    description->AddPropertyMap(properties);

    std::string defaultFolder, folderName;
    bool isFixed = false;
    proxy.GetInstallDirInfoForPlatform(PayloadProxyFileConstants::kPlatformCurrent, defaultFolder, folderName, isFixed);
    JSONUtilities::JSONObject* installDir = description->AddObject("INSTALLDIR");
    installDir->AddProperty("default", defaultFolder);
    installDir->AddProperty("folderName", folderName);
    installDir->AddProperty("isFixed", isFixed);

    std::vector<std::string> languages;
    proxy.Languages().Get(std::back_inserter(languages));
    description->AddArray("Languages", languages);
    bool independent = false;
    if (proxy.IsLanguageIndependent(independent))
        description->AddProperty("isLanguageIndependent", independent);

    AddProductRelations(*description, proxy);
    AddPlatformEntries(*description, proxy);

    const PayloadMediaSource& media = accessor->mediaSource;
    JSONUtilities::JSONObject* mediaInfo = description->AddObject("MediaInfo");
    mediaInfo->AddProperty("type", static_cast<int>(media.GetMediaType()));
    mediaInfo->AddProperty("volumeIndex", static_cast<int>(media.GetVolumeOrder()));
    mediaInfo->AddProperty("path", media.GetPath().AsUTF8String());
    mediaInfo->AddProperty("mediaName", media.GetMediaName());

    // The record may have been stored under the code of the payload that upgraded this one.
    CAPSSessionPtr database;
    if (database.Open()) {
        std::string effectiveCode = orvexCode;
        CAPSQueryUtilities::GetEffectiveOrvexCodeFromOriginal(database, orvexCode, effectiveCode);
        PayloadMediaSource::MediaType type = PayloadMediaSource::kMediaTypeLocal;
        std::uint16_t volumeIndex = 0;
        FileSystemPath path(std::string("/"));
        std::string mediaName;
        if (PayloadMediaSource::GetCAPSMediaInformation(database, effectiveCode, type, volumeIndex, path, mediaName)) {
            JSONUtilities::JSONObject* stored = description->AddObject("capsMediaInfo");
            stored->AddProperty("type", static_cast<int>(type));
            stored->AddProperty("volumeIndex", static_cast<int>(volumeIndex));
            stored->AddProperty("path", path.AsUTF8String());
            stored->AddProperty("mediaName", mediaName);
        }
        database.Rollback();
    }

    std::string manifestErrors;
    if (proxy.ManifestErrors().Get(manifestErrors) && !manifestErrors.empty())
        description->AddProperty("hasManifestErrors", 1);
    database.Close();
}
