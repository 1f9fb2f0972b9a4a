#include "PayloadSessionManager.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/HexMD5Digest.h"
#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/RunReport.h"
#include "DataAccessUtilities.h"
#include "PayloadAccessor.h"
#include "SorvelConstants.h"

#include <sstream>

namespace {

const char* const kErrorsLogName = "Orvex Setup Errors.log";
const char* const kLogExtension = ".log";
const char* const kPayloadsFolderName = "payloads";

// The technology's version, as the session log's header names it.
const int kTolkVersion[4] = {2, 0, 0, 0};

std::string TolkVersionText()
{
    std::ostringstream text;
    for (int part = 0; part < 4; ++part)
        text << (part == 0 ? "" : ".") << kTolkVersion[part];
    return text.str();
}

typedef std::map<std::string, std::vector<std::string> > CodePaths;

void LogCodePaths(Logger* logger, LogAppender::LogLevel level, const CodePaths& codePaths)
{
    for (const auto& code : codePaths) {
        logger->AppendToLog(level, "OrvexCode: " + code.first);
        for (const std::string& path : code.second)
            logger->AppendToLog(level, "\tPath: " + path);
    }
}

// Why a session found no payload, for the user of a run that therefore has no session log.
std::string EmptySessionText(const FileSystemPath& payloadsFolder, PayloadProxyFileConstants::ProxyFileType type)
{
    const std::string folder = "\"" + payloadsFolder.AsUTF8String() + "\"";
    if (!FileSystemUtils::Exists(payloadsFolder))
        return "the session has no payloads: there is no folder " + folder;
    std::string names;
    if (type != PayloadProxyFileConstants::kProxyFileTypeBoot)
        names = "\"*" + PayloadIteration::kProxyFileExtension + "\"";
    if (type != PayloadProxyFileConstants::kProxyFileTypeFull)
        names += (names.empty() ? "\"*" : " or \"*") + PayloadIteration::kMiniProxyFileExtension + "\"";
    return "the session has no payloads: no folder in " + folder + " holds a proxy file (" + names + ")";
}

// The failure of a session, in one line.
std::string FailureText(bool malformed, bool duplicates,
                        const std::vector<PayloadIteration::ProxyAndPayloadPath>& failed)
{
    std::string text = "Fatal error initializing from proxy files";
    if (malformed)
        text += ": a proxy file has no OrvexCode";
    if (duplicates)
        text += ": two proxy files have the same OrvexCode";
    if (!failed.empty()) {
        text += ": these proxy files could not be loaded:";
        for (const PayloadIteration::ProxyAndPayloadPath& file : failed)
            text += " \"" + file.first.AsUTF8String() + "\"";
    }
    return text;
}

}  // namespace

boost::shared_ptr<PayloadSessionManager> PayloadSessionManager::singleton;
boost::mutex PayloadSessionManager::singletonMutex;

std::vector<std::pair<std::string, std::string*> > PayloadSessionManager::SessionProperties::
    GetKeyNameToReferenceContainer(SessionProperties& properties)
{
    std::vector<std::pair<std::string, std::string*> > container;
    container.push_back(std::make_pair(PayloadProxyFileConstants::kPropProductName, &properties.productName));
    container.push_back(std::make_pair(PayloadProxyFileConstants::kPropProductVersion, &properties.productVersion));
    return container;
}

PayloadSessionManager::PayloadSessionManager() {}

PayloadSessionManager::~PayloadSessionManager() {}

bool PayloadSessionManager::Initialize(const FileSystemPath& installerParent,
                                       PayloadProxyFileConstants::ProxyFileType type)
{
    {
        boost::mutex::scoped_lock lock(singletonMutex);
        if (singleton)
            return false;
    }
    // Published only once it is complete, so that a half-built session is never seen and a
    // failed one leaves nothing behind.
    boost::shared_ptr<PayloadSessionManager> session(new PayloadSessionManager);
    if (!session->Build(installerParent, type))
        return false;
    boost::mutex::scoped_lock lock(singletonMutex);
    if (singleton)
        return false;
    singleton = session;
    return true;
}

boost::shared_ptr<PayloadSessionManager> PayloadSessionManager::Instance()
{
    boost::mutex::scoped_lock lock(singletonMutex);
    return singleton;
}

void PayloadSessionManager::Release()
{
    boost::shared_ptr<PayloadSessionManager> session;
    {
        boost::mutex::scoped_lock lock(singletonMutex);
        session.swap(singleton);
    }
    if (!session)
        return;
    session->configuration_.reset();
    InfoLogHeader(LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog), "END - Installer Session");
    session->sessionProperties_.reset();
}

bool PayloadSessionManager::Build(const FileSystemPath& installerParent, PayloadProxyFileConstants::ProxyFileType type)
{
    FileSystemPath payloadsFolder(installerParent);
    payloadsFolder.AppendUTF8Segment(kPayloadsFolderName);

    FileSystemPath setupDescription(payloadsFolder);
    setupDescription.AppendUTF8Segment(SorvelConstants::kConfigurationFileName);
    if (FileSystemUtils::Exists(setupDescription)) {
        configuration_.reset(new ConfigurationData::ConfigurationDataStore);
        if (!configuration_->Load(setupDescription.AsUTF8String()))
            configuration_.reset();
    }

    std::vector<boost::shared_ptr<PayloadAccessor> > accessors;
    const bool loaded =
        PayloadIteration::LoadPayloadAccessors(payloadsFolder, configuration_, type, accessors, failedProxyFiles_);
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);

    bool malformed = false;
    bool duplicates = false;
    CodePaths codePaths;
    if (loaded) {
        driverPayloadOrvexCode_.clear();
        for (const boost::shared_ptr<PayloadAccessor>& accessor : accessors) {
            std::string code;
            if (!GetOrvexCodeFromAccessor(accessor, code)) {
                malformed = true;
                break;
            }
            codePaths[code].push_back(accessor->proxyFilePath.AsUTF8String());
            if (payloads_.find(code) == payloads_.end()) {
                payloads_[code] = accessor;
                if (accessor->isDriverPayload && driverPayloadOrvexCode_.empty())
                    driverPayloadOrvexCode_ = code;
            } else {
                duplicates = true;
            }
        }
        if (payloads_.size() == 1 && !duplicates)
            driverPayloadOrvexCode_ = payloads_.begin()->first;
    }

    if (logger == nullptr) {
        // Two payloads under one code cannot both be installed; the session fails whether or
        // not there is a log to say so.
        return loaded && !malformed && !duplicates;
    }
    logger->SetLevel(LogAppender::kLogDebug);

    if (!loaded) {
        std::string path;
        if (PayloadSessionManagerPlatformMethods::GetLogfilePath(kErrorsLogName, path))
            logger->SetLogfilePath(path);
    } else {
        std::string name;
        std::string path;
        if (payloads_.empty())
            RunReport::NoteNoSessionLog(EmptySessionText(payloadsFolder, type));
        if (GetLogfileName(name) && PayloadSessionManagerPlatformMethods::GetLogfilePath(name, path)) {
            if (logger->SetLogfilePath(path)) {
                InfoLogHeader header(logger, "START - Installer Session");
                logger->AppendToLog(LogAppender::kLogInfo, "Tolk version: " + TolkVersionText());
            }
        }
        if (duplicates) {
            logger->AppendToLog(LogAppender::kLogError, "Duplicate OrvexCodes exist in session.  See below");
            LogCodePaths(logger, LogAppender::kLogError, codePaths);
        }
    }

    if (!loaded || malformed || duplicates) {
        {
            ErrorLogBlock block(logger, "Initialization Failures");
            logger->AppendToLog(LogAppender::kLogError, "Fatal error initializing from proxy files.");
            if (malformed)
                logger->AppendToLog(LogAppender::kLogError, "Possibly malformed proxy file");
            if (!failedProxyFiles_.empty()) {
                logger->AppendToLog(LogAppender::kLogError, "The following proxy files could not be loaded");
                for (const PayloadIteration::ProxyAndPayloadPath& failed : failedProxyFiles_)
                    logger->AppendToLog(LogAppender::kLogError, failed.first.AsUTF8String());
            }
        }
        // Noted after the lines above, each of which is an error of its own: the cause belongs to
        // the error that the driver reports next.
        RunReport::NoteCause(FailureText(malformed, duplicates, failedProxyFiles_));
        return false;
    }

    InfoLogBlock block(logger, "Proxy File Summary");
    LogCodePaths(logger, LogAppender::kLogInfo, codePaths);
    return true;
}

bool PayloadSessionManager::GetConfigurationData(
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore>& configuration) const
{
    configuration = configuration_;
    return static_cast<bool>(configuration);
}

std::string PayloadSessionManager::GetDriverPayloadOrvexCode() const
{
    return driverPayloadOrvexCode_;
}

std::vector<std::string> PayloadSessionManager::GetSessionOrvexCodes() const
{
    std::vector<std::string> codes;
    for (const auto& payload : payloads_)
        codes.push_back(payload.first);
    return codes;
}

std::string PayloadSessionManager::GetSessionKey() const
{
    const std::vector<std::string> codes = GetSessionOrvexCodes();
    if (codes.empty())
        return std::string();
    return ZEB::HexMD5Digest(codes.begin(), codes.end());
}

boost::shared_ptr<PayloadAccessor> PayloadSessionManager::GetPayloadAccessorForOrvexCode(
    const std::string& orvexCode) const
{
    PayloadMap::const_iterator found = payloads_.find(orvexCode);
    return found == payloads_.end() ? boost::shared_ptr<PayloadAccessor>() : found->second;
}

bool PayloadSessionManager::GetOrvexCodeFromAccessor(const boost::shared_ptr<PayloadAccessor>& accessor,
                                                     std::string& orvexCode)
{
    orvexCode.clear();
    if (!accessor || !accessor->proxyDataStore)
        return false;
    std::map<std::string, std::string> properties;
    if (!accessor->proxyDataStore->InstallerProperties().Get(properties))
        return false;
    std::map<std::string, std::string>::const_iterator code = properties.find(PayloadProxyFileConstants::kPropOrvexCode);
    if (code != properties.end())
        orvexCode = code->second;
    return !orvexCode.empty();
}

bool PayloadSessionManager::GetLogfileName(std::string& name) const
{
    name.clear();
    if (!driverPayloadOrvexCode_.empty()) {
        boost::shared_ptr<PayloadAccessor> driver = GetPayloadAccessorForOrvexCode(driverPayloadOrvexCode_);
        std::string code;
        std::string productName;
        std::string productVersion;
        std::string build;
        if (driver && DataAccessUtilities::GetPayloadPropertiesFromAccesssor(driver, code, productName,
                                                                             productVersion, build))
            name = productName + " " + productVersion;
    }
    if (name.empty())
        name = GetSessionKey();
    // The name comes from a proxy file on the medium: it must not lead the log (written as root)
    // out of the log folder.
    if (!name.empty())
        name = FileSystemUtils::FileNameFromText(name, kLogExtension);
    return !name.empty();
}

bool PayloadSessionManager::UpdatePayloadMediaData(InstallerEngine* engine, const FileSystemPath& sourcePath,
                                                   capsiSession* session, Logger* logger)
{
    InfoLogBlock block(logger, "Updating Media Sources");
    if (logger != nullptr)
        logger->AppendToLog(LogAppender::kLogInfo, "Updated source path: " + sourcePath.AsUTF8String());
    for (const auto& payload : payloads_) {
        PayloadAccessor& accessor = *payload.second;
        if (!accessor.mediaSource.Update(engine, accessor.proxyDataStore, sourcePath, session, logger))
            return false;
    }
    return true;
}
