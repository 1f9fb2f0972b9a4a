#include "PayloadMediaSource.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"
#include "Common/source/xplat/Logger.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"
#include "ThirdPartyPayloadSupportUtilites.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>

namespace {

const std::string kInvalidData = "Invalid configuration data.  ";

bool ReadPayloadData(capsiSession* session, const std::string& orvexCode, const std::string& key, std::string& value)
{
    const char* text = nullptr;
    if (capsGetPayloadData(session, orvexCode.c_str(), kCapsDomainProperties, key.c_str(), &text) != kCapsOK ||
        text == nullptr)
        return false;
    value = text;
    return true;
}

// The leading decimal digits of the text, 0 when there are none.
std::uint16_t LeadingNumber(const std::string& text)
{
    std::string::size_type digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0)
        return 0;
    return static_cast<std::uint16_t>(std::strtoul(text.substr(0, digits).c_str(), nullptr, 10));
}

void Log(Logger* logger, LogAppender::LogLevel level, const std::string& text)
{
    if (logger != nullptr)
        logger->AppendToLog(level, text);
}

// Whether the volume that holds the path answers that it is removable; a path whose volume
// cannot be found counts as fixed.
bool IsOnRemovableVolume(const FileSystemPath& path)
{
    try {
        FileSystemVolume volume(path);
        bool removable = false;
        return volume.IsRemovable(removable) && removable;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

PayloadMediaSource::PayloadMediaInfo::PayloadMediaInfo()
    : mediaType(kMediaTypeLocal), volumeOrder(0), upgraded(false)
{
}

std::string PayloadMediaSource::PayloadMediaInfo::Dump() const
{
    std::ostringstream text;
    text << "Type: " << static_cast<std::int32_t>(mediaType) << ", Volume Order: " << volumeOrder
         << ", Media Name: " << mediaName << ", Path: " << path.AsUTF8String();
    return text.str();
}

PayloadMediaSource::PayloadMediaSource(const FileSystemPath& mediaRoot, const FileSystemPath& payloadPath,
                                       const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& proxyDataStore,
                                       const std::vector<ConfigurationData::VolumeInfo>& volumes)
{
    const std::string payloadText = payloadPath.AsNative();
    const std::string rootText = mediaRoot.AsNative();
    relativePayloadPath_ = payloadText.size() >= rootText.size() ? payloadText.substr(rootText.size()) : std::string();
    const std::string folderName = payloadPath.Parent().NameAsNative();

    // Only read from, so closing it has nothing to commit.
    CAPSSessionPtr session;
    session.Open();

    proxyDataStore_ = proxyDataStore;
    if (proxyDataStore_) {
        std::map<std::string, std::string> properties;
        proxyDataStore_->InstallerProperties().Get(properties);
        std::map<std::string, std::string>::const_iterator code = properties.find(PayloadProxyFileConstants::kPropOrvexCode);
        if (code != properties.end())
            originalOrvexCode_ = code->second;
    }
    effectiveOrvexCode_ = originalOrvexCode_;

    bool upgraded = false;
    if (!originalOrvexCode_.empty() && session.IsOpen()) {
        std::string effective;
        if (CAPSQueryUtilities::GetEffectiveOrvexCodeFromOriginal(session.Get(), originalOrvexCode_, effective)) {
            effectiveOrvexCode_ = effective;
            upgraded = !effective.empty() && effective != originalOrvexCode_;
        }
    }

    if (session.IsOpen()) {
        boost::shared_ptr<PayloadMediaInfo> stored(new PayloadMediaInfo);
        if (GetCAPSMediaInformation(session.Get(), effectiveOrvexCode_, stored->mediaType, stored->volumeOrder,
                                    stored->path, stored->mediaName)) {
            stored->upgraded = upgraded;
            databaseMediaInfo_ = stored;
        }
    }
    if (upgraded && !databaseMediaInfo_)
        throw std::runtime_error(kInvalidData + "Unable to get upgrade location for folder: " + folderName);

    currentMediaInfo_.volumeOrder = 1;
    for (ConfigurationData::VolumeInfo volume : volumes) {
        std::vector<ConfigurationData::PayloadLocation> locations;
        if (volume.PayloadLocations().Get(std::back_inserter(locations)) && !locations.empty()) {
            for (ConfigurationData::PayloadLocation& location : locations) {
                std::string locationFolder;
                if (!location.Folder().Get(locationFolder) || locationFolder.empty())
                    throw std::runtime_error(kInvalidData + "@folder not specified for PayloadLocation: " + folderName);
                if (locationFolder != folderName)
                    continue;
                currentMediaInfo_.mediaType = kMediaTypeVolume;
                std::string name;
                if (!volume.Name().Get(name))
                    name.clear();
                currentMediaInfo_.mediaName = name;
                location.Path(locationPath_);
                FileSystemPath volumeRoot;
                if (FileSystemVolume(payloadPath).RootPath(volumeRoot))
                    currentMediaInfo_.path = volumeRoot;
                if (currentMediaInfo_.mediaName.empty())
                    throw std::runtime_error(kInvalidData + "Unable to get location for folder: " + folderName);
                return;
            }
        }
        ++currentMediaInfo_.volumeOrder;
    }
}

PayloadMediaSource::PayloadMediaSource(const PayloadMediaSource& other)
{
    CommonConstruct(other);
}

PayloadMediaSource& PayloadMediaSource::operator=(const PayloadMediaSource& other)
{
    if (this != &other)
        CommonConstruct(other);
    return *this;
}

void PayloadMediaSource::CommonConstruct(const PayloadMediaSource& other)
{
    originalOrvexCode_.clear();
    effectiveOrvexCode_.clear();
    databaseMediaInfo_.reset();
    currentMediaInfo_ = other.currentMediaInfo_;
    relativePayloadPath_ = other.relativePayloadPath_;
    locationPath_ = other.locationPath_;
    proxyDataStore_ = other.proxyDataStore_;
}

bool PayloadMediaSource::Update(InstallerEngine* engine,
                                const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& proxyDataStore,
                                const FileSystemPath& sourcePath, capsiSession*, Logger* logger)
{
    bool thirdParty = false;
    if (!ThirdPartyPayloadSupportUtilites::IsThirdPartyPayload(proxyDataStore, thirdParty))
        return false;
    if (thirdParty) {
        PayloadProxy::ThirdPartyComponent component = proxyDataStore->ThirdPartyComponentData();
        std::string packageName;
        if (!ThirdPartyPayloadSupportUtilites::GetPackageName(component, engine, packageName))
            return false;
        // The package lies beside the image, in the payload's own folder.
        FileSystemPath package(sourcePath);
        package.AppendNativeSegment(relativePayloadPath_);
        package = package.Parent();
        package.AppendNativeSegment(packageName);
        const std::string packageText = package.AsNative();
        const std::string sourceText = sourcePath.AsNative();
        relativePayloadPath_ = packageText.size() >= sourceText.size() ? packageText.substr(sourceText.size())
                                                                          : std::string();
    }

    Log(logger, LogAppender::kLogInfo,
        "Updating media info for: " + originalOrvexCode_ + ", Effective: " + effectiveOrvexCode_);

    FileSystemPath candidate(sourcePath);
    candidate.AppendNativeSegment(relativePayloadPath_);

    if (databaseMediaInfo_ && databaseMediaInfo_->upgraded) {
        currentMediaInfo_ = *databaseMediaInfo_;
        Log(logger, LogAppender::kLogInfo, "Payload has been upgraded");
    } else {
        bool removable = false;
        if (FileSystemUtils::Exists(candidate)) {
            removable = IsOnRemovableVolume(sourcePath);
        } else if (!currentMediaInfo_.mediaName.empty()) {
            removable = true;
        } else {
            Log(logger, LogAppender::kLogError, "Payload path does not exist and no media record specified.");
        }

        if (!removable) {
            currentMediaInfo_.mediaType = kMediaTypeLocal;
            currentMediaInfo_.path = candidate;
            Log(logger, LogAppender::kLogInfo, "Ignoring original data since install source is local");
        } else {
            if (currentMediaInfo_.mediaName.empty()) {
                Log(logger, LogAppender::kLogError, "No media information provided for removable source location");
                return false;
            }
            FileSystemPath volumePath;
            ImplUpdateRemovableMediaPathInfo(sourcePath, currentMediaInfo_.mediaName, currentMediaInfo_.path,
                                             volumePath);
            Log(logger, LogAppender::kLogInfo, "Updated install source from removable media info");
            if (!locationPath_.empty())
                volumePath.AppendNativeSegment(locationPath_);
            volumePath.AppendNativeSegment(relativePayloadPath_);
            currentMediaInfo_.path = volumePath;
        }
    }

    Log(logger, LogAppender::kLogInfo, currentMediaInfo_.Dump());
    return true;
}

bool PayloadMediaSource::SetCAPSMediaInformation(capsiSession* session, const std::string& orvexCode,
                                                 const std::string& mediaType, const std::string& volumeIndex,
                                                 const std::string& path, const std::string& mediaName)
{
    const std::pair<const std::string*, const std::string*> values[] = {
        {&TolkConstants::kPropMediaType, &mediaType},
        {&TolkConstants::kPropMediaVolumeIndex, &volumeIndex},
        {&TolkConstants::kPropMediaPath, &path},
        {&TolkConstants::kPropMediaName, &mediaName},
    };
    for (const auto& value : values) {
        if (capsSetPayloadData(session, orvexCode.c_str(), kCapsDomainProperties, value.first->c_str(),
                               value.second->c_str()) != kCapsOK)
            return false;
    }
    return true;
}

bool PayloadMediaSource::GetCAPSMediaInformation(capsiSession* session, const std::string& orvexCode,
                                                 MediaType& mediaType, std::uint16_t& volumeOrder,
                                                 FileSystemPath& path, std::string& mediaName)
{
    std::string typeText;
    std::string indexText;
    std::string pathText;
    if (!ReadPayloadData(session, orvexCode, TolkConstants::kPropMediaType, typeText) ||
        !ReadPayloadData(session, orvexCode, TolkConstants::kPropMediaVolumeIndex, indexText) ||
        !ReadPayloadData(session, orvexCode, TolkConstants::kPropMediaPath, pathText))
        return false;
    // A stored path that cannot be a path is no media record, rather than a reason to fail the
    // payload's whole media source.
    if (FileSystemUtils::ValidateUTF8FullPathString(pathText) != FileSystemUtils::kPathValid)
        return false;
    std::string nameText;
    if (!ReadPayloadData(session, orvexCode, TolkConstants::kPropMediaName, nameText))
        nameText.clear();

    mediaType = typeText == "1" ? kMediaTypeVolume : kMediaTypeLocal;
    mediaName = nameText;
    path = FileSystemPath(pathText);
    volumeOrder = LeadingNumber(indexText);
    return true;
}
