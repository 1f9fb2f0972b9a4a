// PayloadMediaSource: where one payload's image lies: on which volume of "Setup.xml" it was
// shipped, under which volume name and path, and, for a payload the installation database knows
// under an upgraded code, the media record stored for it. Updated once the engine knows the
// installation source, and read by the payload operations.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "ConfigurationDataStore.h"
#include "Shared/ProxyFileDataStore.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

class InstallerEngine;
class Logger;
struct capsiSession;

class PayloadMediaSource {
public:
    // Stored as its decimal value.
    enum MediaType : std::int32_t {
        kMediaTypeLocal = 0,   // a local or unlisted location
        kMediaTypeVolume = 1   // a media volume named in "Setup.xml"
    };

    struct PayloadMediaInfo {
        // Type local, order 0, the default path, no name, not upgraded.
        PayloadMediaInfo();

        // "Type: <type>, Volume Order: <order>, Media Name: <name>, Path: <path>".
        std::string Dump() const;

        MediaType mediaType;
        std::uint16_t volumeOrder;  // 1-based position of the volume in the Media list
        FileSystemPath path;        // the volume's root, or after an update the image's full path
        std::string mediaName;
        bool upgraded;
    };

    // Finds the payload's volume in the list (its sub-folder named by a Payloads/Payload
    // element) and reads the media record stored for its effective code. Throws
    // std::runtime_error for setup-description data that cannot be used.
    PayloadMediaSource(const FileSystemPath& mediaRoot, const FileSystemPath& payloadPath,
                       const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& proxyDataStore,
                       const std::vector<ConfigurationData::VolumeInfo>& volumes);
    // A copy has the media information, paths and proxy model, but no codes and no stored record.
    PayloadMediaSource(const PayloadMediaSource& other);
    PayloadMediaSource& operator=(const PayloadMediaSource& other);

    // Re-points the current media information at the installation source: the image under the
    // source path when it is there on a fixed volume, else the removable volume it was shipped on.
    // The database session is not used; the logger may be null.
    bool Update(InstallerEngine* engine, const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& proxyDataStore,
                const FileSystemPath& sourcePath, capsiSession* session, Logger* logger);

    MediaType GetMediaType() const { return currentMediaInfo_.mediaType; }
    std::uint16_t GetVolumeOrder() const { return currentMediaInfo_.volumeOrder; }
    FileSystemPath GetPath() const { return currentMediaInfo_.path; }
    std::string GetMediaName() const { return currentMediaInfo_.mediaName; }

    // Writes "mediaType", "mediaVolumeIndex", "mediaPath" and "mediaName" as install properties of
    // the payload, in that order, stopping at the first write that fails. The caller commits.
    static bool SetCAPSMediaInformation(capsiSession* session, const std::string& orvexCode,
                                        const std::string& mediaType, const std::string& volumeIndex,
                                        const std::string& path, const std::string& mediaName);
    // Reads the four values back; false, with the outputs unchanged, when the type, the index or
    // the path is missing (or the path is not a full path). A missing name reads as empty.
    static bool GetCAPSMediaInformation(capsiSession* session, const std::string& orvexCode, MediaType& mediaType,
                                        std::uint16_t& volumeOrder, FileSystemPath& path, std::string& mediaName);

    // Where a removable volume of that name is mounted. Always true.
    static bool ImplUpdateRemovableMediaPathInfo(const FileSystemPath& sourcePath, const std::string& mediaName,
                                                 const FileSystemPath& currentPath, FileSystemPath& newPath);

private:
    void CommonConstruct(const PayloadMediaSource& other);

    std::string originalOrvexCode_;
    std::string effectiveOrvexCode_;
    boost::shared_ptr<PayloadMediaInfo> databaseMediaInfo_;  // empty without a stored record
    PayloadMediaInfo currentMediaInfo_;
    std::string relativePayloadPath_;  // the image path below the media root, with its leading "/"
    std::string locationPath_;         // the payloads' path on the media volume
    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> proxyDataStore_;
};
