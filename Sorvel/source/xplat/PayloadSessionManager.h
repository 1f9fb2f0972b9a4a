// PayloadSessionManager: the process-wide payload session: the payloads found beside the setup
// program (one accessor per proxy file, by code), the setup description "Setup.xml", the driver
// payload, the session key that names the session in the installation database, and the session
// log. The engine initialises it once and releases it at the end of its main routine.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "ConfigurationDataStore.h"
#include "PayloadIteration.h"
#include "Shared/PayloadProxyFileConstants.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

class InstallerEngine;
class Logger;
class PayloadAccessor;
struct capsiSession;

class PayloadSessionManager : private boost::noncopyable {
public:
    typedef std::map<std::string, boost::shared_ptr<PayloadAccessor> > PayloadMap;
    typedef PayloadMap::const_iterator PayloadIterator;

    // Product name and version of the session. Nothing in the program fills them.
    struct SessionProperties {
        std::string productName;
        std::string productVersion;

        // ("ProductName", product name) and ("ProductVersion", product version).
        static std::vector<std::pair<std::string, std::string*> > GetKeyNameToReferenceContainer(
            SessionProperties& properties);
    };

    // ---- The session ----

    // Builds the session from the "payloads" folder of the installer parent. False, changing
    // nothing, when a session exists; false, leaving no session, when a proxy file cannot be
    // loaded, lacks its code or shares it with another (the reasons go to the "Sorvel" log).
    static bool Initialize(const FileSystemPath& installerParent, PayloadProxyFileConstants::ProxyFileType type);
    // The session; empty before Initialize, after a failed one and after Release.
    static boost::shared_ptr<PayloadSessionManager> Instance();
    // Ends the session; holders of a pointer keep theirs alive until they let go.
    static void Release();

    virtual ~PayloadSessionManager();

    // ---- Reading the session ----

    bool GetConfigurationData(boost::shared_ptr<ConfigurationData::ConfigurationDataStore>& configuration) const;
    // Empty when the session has no driver payload.
    std::string GetDriverPayloadOrvexCode() const;
    // In ascending byte order.
    std::vector<std::string> GetSessionOrvexCodes() const;
    // The 31-digit hex MD5 of the sorted codes joined without separator; empty without payloads.
    std::string GetSessionKey() const;
    boost::shared_ptr<PayloadAccessor> GetPayloadAccessorForOrvexCode(const std::string& orvexCode) const;
    // The "OrvexCode" installer property of the accessor's proxy file; false when there is none.
    static bool GetOrvexCodeFromAccessor(const boost::shared_ptr<PayloadAccessor>& accessor, std::string& orvexCode);
    // "<product name> <product version>.log" of the driver payload, else "<session key>.log".
    bool GetLogfileName(std::string& name) const;
    PayloadIterator PayloadsBegin() const { return payloads_.begin(); }
    PayloadIterator PayloadsEnd() const { return payloads_.end(); }

    // Re-points every payload's media source, in code order, at the installation source; false
    // at the first that cannot be (those before stay updated). The database session is not used.
    bool UpdatePayloadMediaData(InstallerEngine* engine, const FileSystemPath& sourcePath, capsiSession* session,
                                Logger* logger);

    // The session log's folder: Library/Logs/Orvex/Installers of the user, or of the system when
    // running as root.
    class PayloadSessionManagerPlatformMethods {
    public:
        // The log folder (made when missing) joined with the file name; false, with path
        // unchanged, when the folder cannot be made.
        static bool GetLogfilePath(const std::string& fileName, std::string& path);

    private:
        static bool MakeLogDirectory(FileSystemPath& folder);
    };

private:
    PayloadSessionManager();

    // Steps of Initialize on the new session; false when the session fails.
    bool Build(const FileSystemPath& installerParent, PayloadProxyFileConstants::ProxyFileType type);

    PayloadMap payloads_;
    std::vector<PayloadIteration::ProxyAndPayloadPath> failedProxyFiles_;
    std::string driverPayloadOrvexCode_;
    boost::shared_ptr<SessionProperties> sessionProperties_;
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration_;

    static boost::shared_ptr<PayloadSessionManager> singleton;
    static boost::mutex singletonMutex;  // guards singleton (not the session it points to)
};
