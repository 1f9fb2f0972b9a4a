// SorvelDataAccess: the read side of the script interface. Wizard pages and scripts call its 24
// methods by name with a list of strings and get JSON text back: the command line, the payload
// session and its proxy files, string tables, the installation database and the host system.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "JSMethodPublisher.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class InstallerEngine;
class Logger;
class PayloadAccessor;

namespace JSONUtilities {
class JSONObject;
}

class SorvelDataAccess : private boost::noncopyable, public JSMethodPublisher<SorvelDataAccess> {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    // One local volume as GetFixedDriveInfo lists it. The record that made the icon file deletes
    // it; a copy takes that duty over from its source, so exactly one record deletes the file
    // however often it is copied into and within the table.
    class FixedVolumeInfo {
    public:
        FixedVolumeInfo(const std::string& friendlyName, bool isSystemVolume, const FileSystemPath& imagePath,
                        bool ownsImage);
        // A volume without an icon.
        FixedVolumeInfo(const std::string& friendlyName, bool isSystemVolume);
        FixedVolumeInfo(const FixedVolumeInfo& other);
        FixedVolumeInfo& operator=(const FixedVolumeInfo& other);
        ~FixedVolumeInfo();

        std::string FriendlyName() const { return friendlyName_; }
        FileSystemPath ImagePath() const { return imagePath_; }
        bool IsSystemVolume() const { return isSystemVolume_; }
        // A volume without an icon has an empty image path.
        bool HasImage() const { return hasImage_; }

    private:
        void CommonConstruct(const FixedVolumeInfo& other);

        std::string friendlyName_;
        bool isSystemVolume_;
        FileSystemPath imagePath_;
        bool hasImage_;
        mutable bool ownsImage_;  // cleared in the source when a copy takes the file over
    };
    // Volume root path -> record.
    typedef std::map<std::string, FixedVolumeInfo> FixedVolumeMap;

    // The protocol argument of the port check; TCP is the only one.
    enum NetworkProtocol { kNetworkProtocolTCP = 1 };

    // Executable name, friendly name.
    typedef std::vector<std::pair<std::string, std::string> > ApplicationNamePairs;

    // Throws std::runtime_error for a null engine. The logger may be null.
    SorvelDataAccess(InstallerEngine* engine, Logger* logger);
    ~SorvelDataAccess() override;

    // The default session properties: "sessionID", "setupVersion", "installSourcePath",
    // "platform", "defaultLanguage" when known, then the install properties stored for the
    // session's collection (which never override those). False only for a null engine.
    static bool GetDefaultPropertiesMap(InstallerEngine* engine, PropertyMap& properties);

    // ---- Script methods: the session, payloads and string tables ----
    std::string GetTolkBuildInfo(const ArgumentList& arguments);
    std::string GetDefaultProperties(const ArgumentList& arguments);
    std::string GetSessionData(const ArgumentList& arguments);
    std::string GetEULASForOrvexCode(const ArgumentList& arguments);
    std::string GetCommandLineArguments(const ArgumentList& arguments);
    std::string GetStreamsForOrvexCode(const ArgumentList& arguments);
    std::string GetStringsForLanguage(const ArgumentList& arguments);
    std::string SetSessionInitialized(const ArgumentList& arguments);
    std::string UpdateMediaInfoInCaps(const ArgumentList& arguments);

    // ---- Script methods: the installation database ----
    std::string GetCAPS(const ArgumentList& arguments);
    std::string GetPayloadPhysicalInstallState(const ArgumentList& arguments);

    // ---- Script methods: the host and its files ----
    std::string GetRunningApplications(const ArgumentList& arguments);
    std::string LoadFile(const ArgumentList& arguments);
    std::string GetSystemInfo(const ArgumentList& arguments);
    std::string GetFixedDriveInfo(const ArgumentList& arguments);
    std::string GetVolumeStatisticsFromPath(const ArgumentList& arguments);
    std::string GetPathInformation(const ArgumentList& arguments);
    std::string GetDirectoryTokenMap(const ArgumentList& arguments);
    std::string GetUserInfo(const ArgumentList& arguments);
    std::string IsRestartNeeded(const ArgumentList& arguments);
    std::string IsPortForProtocolAvailable(const ArgumentList& arguments);
    std::string GetApplicationsForFileExtension(const ArgumentList& arguments);
    std::string GetApplicationInfo(const ArgumentList& arguments);
    std::string GetApplicationInfoFromIdentifier(const ArgumentList& arguments);

    // Whether a payload of the technology counts as installed, from the installation database:
    // logically (recorded as installed, or upgrading an installed payload) and physically (its own
    // files are there, not an upgrader's), the code in effect after upgrades, the installed
    // payloads that upgrade it and the installed payloads it upgrades. False for an empty code, a
    // database that does not open or a failed read.
    bool GetTolkPayloadInstallState(const std::string& orvexCode, bool& logicallyInstalled, bool& physicallyInstalled,
                                    std::string& effectiveOrvexCode, std::set<std::string>& payloadsUpgradingMe,
                                    std::set<std::string>& payloadsUpgradedByMe);

    // ---- The platform half ----

    // Writes the bytes to the file, replacing it; false for no bytes or an incomplete write.
    static bool ImplSaveBinaryStream(const FileSystemPath& path, const std::vector<unsigned char>& bytes);
    // Called after the session flag changed; nothing to do on this platform.
    static void ImplOnSessionInitializedUpdate(bool initialized, bool bootstrapping, Logger* logger);
    // Runs the payload's IsInstalledScript; installed is true when it answers "1". True, not
    // installed, without a script; false without engine, code or proxy model, or when the run fails.
    static bool ImplIsThirdPartyPayloadInstalled(InstallerEngine* engine, const std::string& orvexCode,
                                                 boost::shared_ptr<PayloadAccessor>& accessor, bool& installed);

    // False when there is no display.
    static bool ImplGetDisplayWidthAndHeight(std::uint32_t& width, std::uint32_t& height);
    // Megabytes.
    static bool ImplGetTotalSystemRAM(std::uint64_t& megabytes);
    // The CPU bits of GetSystemInfo; false when the processor cannot be asked.
    static constexpr std::uint32_t kCPUBitMMX = 2;
    static constexpr std::uint32_t kCPUBitNX = 4;
    static constexpr std::uint32_t kCPUBitPAE = 8;
    static constexpr std::uint32_t kCPUBitSSE = 16;
    static constexpr std::uint32_t kCPUBitSSE2 = 32;
    static constexpr std::uint32_t kCPUBit3DNow = 64;
    static constexpr std::uint32_t kCPUBitAltiVec = 128;
    static bool ImplGetSupportedCPUAttributes(std::uint32_t& attributes);
    static bool ImplGetCPUArchitectureFlags(std::uint32_t& flags);
    static bool ImplDoesUserHaveSufficientCredentials(bool& hasCredentials);
    static bool ImplIsRestartNeeded(bool& restartNeeded);
    // False for a protocol other than TCP or when no socket can be made.
    static bool ImplIsPortForProtocolAvailable(std::uint32_t port, NetworkProtocol protocol, bool& available);
    static bool ImplGetPathFromDirectoryToken(const std::string& token, std::string& path);
    static bool ImplGetApplicationInfo(const FileSystemPath& bundlePath, PropertyMap& information);
    static bool ImplGetApplicationInfoFromID(const std::string& identifier, PropertyMap& information);
    static bool ImplGetApplicationsForFileExtension(const std::string& extension,
                                                    std::vector<FileSystemPath>& applications);
    // Adds the object "Macintosh" with the system version.
    static bool ImplAppendOSJSONObject(JSONUtilities::JSONObject& object);
    static bool ImplGetRunningApplicationNamePairs(ApplicationNamePairs& applications);
    static bool ImplGetFixedVolumeInfo(FixedVolumeMap& volumes);

private:
    // Writes one line at level 2 (error) when there is a logger.
    void LogError(const std::string& text) const;

    Logger* logger_;           // not owned; may be null
    InstallerEngine* engine_;  // not owned; never null
    std::vector<FileSystemPath> writtenStreamFiles_;  // in the order written; left on disk
    FixedVolumeMap fixedVolumes_;                     // until the next GetFixedDriveInfo
    std::map<std::string, std::string> streamAnswers_;  // payload code -> answer of GetStreamsForOrvexCode
};
