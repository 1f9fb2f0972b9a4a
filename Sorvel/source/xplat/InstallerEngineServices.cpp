// The engine's services to the drivers and the script interface: the payload session, one
// payload operation at a time on the install thread with its status and questions, the
// bootstrapper's install, uninstall and parameters, and media optimisation.
#include "InstallerEngine.h"

#include "Common/source/mac/ThreadUtils.h"
#include "Common/source/xplat/BaseLogBlock.h"
#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LogFactory.h"
#include "DataAccessUtilities.h"
#include "InstallPayloadOperation.h"
#include "LocalFileSourceProvider.h"
#include "PayloadAccessor.h"
#include "PayloadSessionManager.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"
#include "SorvelConstants.h"
#include "SorvelDataAccess.h"
#include "ThreadOperation.h"
#include "ThreadPayloadOperation.h"
#include "ThreadPayloadOperationState.h"
#include "TolkMessage.h"
#include "UIThreadOperationManager.h"
#include "UninstallBootstrapperOperation.h"
#include "UserInterfaceMessagePrompt.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <iterator>
#include <set>

namespace {

const std::int32_t kUIModeSilent = 2;
const int kExitScriptingEngine = 3;
const int kExitMediaOptimization = 13;

// Seconds between looks at an install thread that is being finished.
const unsigned long kFinishPollInterval = 1;

const char* const kDefaultProductName = "Orvex Setup";
const char* const kInstallerParentKey = "installerParent";
const char* const kDefaultLanguage = "en_US";

// Points the "Sorvel" logger at a log of the bootstrapper's own, named after the product the
// properties describe (else the session id), and starts it with the properties.
void StartBootstrapperLog(const std::string& sessionId, const InstallerEngine::StringMap& properties)
{
    std::string name = sessionId;
    InstallerEngine::StringMap::const_iterator display = properties.find("AddRemoveInfoDisplayName");
    if (display != properties.end()) {
        name = display->second;
        InstallerEngine::StringMap::const_iterator version = properties.find("AddRemoveInfoDisplayVersion");
        if (version != properties.end())
            name += " " + version->second;
    }
    // The name comes from the caller: it must not lead the log out of the log folder.
    name = FileSystemUtils::FileNameFromText(name, ".log");

    std::string path;
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    if (logger == nullptr || !PayloadSessionManager::PayloadSessionManagerPlatformMethods::GetLogfilePath(name, path))
        return;
    logger->SetLevel(LogAppender::kLogDebug);
    if (!logger->SetLogfilePath(path))
        return;
    InfoLogHeader header(logger, "START - Install Bootstrapper Session");
    logger->AppendToLog(LogAppender::kLogInfo, "Install Properties:");
    for (const auto& property : properties)
        logger->AppendToLog(LogAppender::kLogInfo, "\t" + property.first + "=" + property.second);
}

}  // namespace

// ---- The payload session

boost::shared_ptr<PayloadSessionManager> InstallerEngine::GetPayloadSessionManager()
{
    if (!sessionManager_)
        InitializePayloadSessionManager();
    return sessionManager_;
}

boost::shared_ptr<PayloadSessionManager> InstallerEngine::InitializePayloadSessionManager()
{
    if (!sessionManager_) {
        const PayloadProxyFileConstants::ProxyFileType type = uiMode_ == kUIModeSilent
                                                                  ? PayloadProxyFileConstants::kProxyFileTypeFull
                                                                  : PayloadProxyFileConstants::kProxyFileTypeAny;
        if (PayloadSessionManager::Initialize(installerParent_, type)) {
            sessionManager_ = PayloadSessionManager::Instance();
            // Before the session reads the installation database: no run, and no page, may take a
            // half-done install, upgrade or removal for what is installed.
            InstallerEnginePlatformMethods::RecoverInterruptedRuns(
                LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog));
        }
    }
    if (sessionManager_ && !UpdatePayloadMediaData())
        sessionManager_.reset();
    return sessionManager_;
}

bool InstallerEngine::UpdatePayloadMediaData()
{
    if (!sessionManager_)
        return false;
    FileSystemPath sourcePath(installerParent_);
    // A medium named on the command line is the one to use: the source recorded by an earlier
    // run may be a medium that is gone or was the wrong one.
    const bool parentNamed = argumentMap_ && argumentMap_->count(kInstallerParentKey) != 0;
    if (!parentNamed) {
        CAPSSessionPtr database;
        const char* stored = nullptr;
        if (database.Open() &&
            capsGetCollectionData(database, sessionManager_->GetSessionKey().c_str(), kCapsDomainInstaller,
                                  TolkConstants::kPropSourcePath.c_str(), &stored) == kCapsOK &&
            stored != nullptr) {
            // A recorded source that is no full path cannot be where the payloads are; the
            // installer parent is the better guess.
            const std::string text(stored);
            if (FileSystemUtils::ValidateUTF8FullPathString(text) == FileSystemUtils::kPathValid)
                sourcePath = FileSystemPath(text);
        }
    }
    return sessionManager_->UpdatePayloadMediaData(this, sourcePath, nullptr,
                                                   LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog));
}

void InstallerEngine::ReleasePayloadSession()
{
    if (sessionManager_)
        PayloadSessionManager::Release();
}

// ---- The install thread

bool InstallerEngine::InstallThreadRunning() const
{
    return installThread_ && installThread_->IsRunning();
}

bool InstallerEngine::InstallPayload(boost::shared_ptr<ThreadOperation>& operation)
{
    bootstrapping_ = false;
    if (InstallThreadRunning() || !operation)
        return false;
    return StartInstallThread(operation);
}

bool InstallerEngine::StartInstallThread(boost::shared_ptr<ThreadOperation>& operation)
{
    // Without the request queue the operation would have nowhere to ask its questions.
    if (!uiOperationManager_)
        return false;
    promptList_.reset(new std::vector<UserInterfaceMessagePrompt>);
    installThread_.reset(
        new ThreadPayloadOperation(operation, *uiOperationManager_, *promptList_, SorvelConstants::kSorvelLog));
    operation.reset();
    installThread_->SetUIOperationManager(uiOperationManager_.get());
    // A thread the system refused never runs the operation; saying it started would have the
    // interface wait for a result that cannot come.
    return installThread_->Run();
}

bool InstallerEngine::InstallBootstrapper(PayloadOperationConstants::InstallAction action, const StringMap& properties)
{
    if (InstallThreadRunning())
        return false;
    bootstrapping_ = true;

    std::string sessionId;
    StringMap::const_iterator found = properties.find(TolkConstants::kPropSessionID);
    if (found != properties.end()) {
        sessionId = found->second;
        StartBootstrapperLog(sessionId, properties);
    }
    if (sessionId.empty()) {
        boost::shared_ptr<PayloadSessionManager> session = GetPayloadSessionManager();
        if (!session)
            return false;
        sessionId = session->GetSessionKey();
        if (sessionId.empty())
            return false;
    }

    boost::shared_ptr<ThreadOperation> operation;
    if (action == PayloadOperationConstants::kInstall) {
        FileSystemPath image(installerParent_);
        if (InstallerEnginePlatformMethods::GetBootstrapperPayloadPath(installerParent_, image))
            operation.reset(new InstallPayloadOperation<LocalFileSourceProvider>(
                sessionId, installerParent_, LocalFileSourceProvider(image), properties));
    } else if (action == PayloadOperationConstants::kUninstall) {
        operation.reset(new UninstallBootstrapperOperation(sessionId));
    }
    if (!operation)
        return false;
    return StartInstallThread(operation);
}

bool InstallerEngine::GetInstallThreadStatus(bool& running, ThreadPayloadOperationState& state)
{
    if (!installThread_)
        return false;
    // Whether it runs is read before the status: a status read first could be one from before the
    // operation ended, reported together with "not running" as if it were the final one.
    running = installThread_->IsRunning();
    return installThread_->GetCurrentStatus(state);
}

bool InstallerEngine::PostThreadMessage(TolkMessage message)
{
    if (!InstallThreadRunning())
        return false;
    installThread_->PostMessage(message);
    return true;
}

bool InstallerEngine::PeekInstallThreadMessage(bool& waiting, std::string& messageId, std::string& json)
{
    if (!uiOperationManager_)
        return true;
    return uiOperationManager_->PeekThreadMessage(waiting, messageId, json);
}

bool InstallerEngine::PostInstallThreadMessageResult(const std::string& messageId, unsigned long option)
{
    if (!uiOperationManager_)
        return true;
    return uiOperationManager_->PopThreadMessage(messageId, option);
}

bool InstallerEngine::FinishInstallThread(bool cancel, ThreadPayloadOperationState& state)
{
    bool running = false;
    if (GetInstallThreadStatus(running, state) && running && cancel)
        PostThreadMessage(TolkMessages::kCancelRequest);
    // Yes to the question whether to cancel; otherwise no answer, as a waiting script call gives.
    return WaitForInstallThread(cancel ? TolkUIRequest::kResponseYes : TolkUIRequest::kResponseUnknown,
                                kFinishPollInterval, state);
}

bool InstallerEngine::WaitForInstallThread(unsigned long answer, unsigned long pollSeconds,
                                           ThreadPayloadOperationState& state, const QuestionObserver& onQuestion,
                                           const std::function<void()>& afterSleep)
{
    bool running = false;
    if (!GetInstallThreadStatus(running, state))
        return false;
    while (running) {
        bool waiting = false;
        std::string messageId, json;
        if (PeekInstallThreadMessage(waiting, messageId, json) && waiting) {
            if (onQuestion)
                onQuestion(json);
            // Answered: look again at once.
            if (PostInstallThreadMessageResult(messageId, answer)) {
                GetInstallThreadStatus(running, state);
                continue;
            }
        }
        if (SleepUnlessThreadEnds(pollSeconds) && afterSleep)
            afterSleep();
        GetInstallThreadStatus(running, state);
    }
    return true;
}

// The poll interval, spent serving the run loop, which the thread wakes when it ends or asks a
// question: the wait ends then rather than up to an interval later (a silent install of a few
// payloads would otherwise mostly sleep). True when the whole interval passed.
bool InstallerEngine::SleepUnlessThreadEnds(unsigned long seconds)
{
    return !ThreadUtils::ThreadSleepUntil(static_cast<double>(seconds), [this]() {
        bool waiting = false;
        std::string messageId, json;
        return !InstallThreadRunning() || (PeekInstallThreadMessage(waiting, messageId, json) && waiting);
    });
}

// ---- Bootstrapper and media

bool InstallerEngine::GetBootstrapperInstallParams(StringMap& params)
{
    params.clear();
    boost::shared_ptr<PayloadSessionManager> session = GetPayloadSessionManager();
    if (!session)
        return false;
    SorvelDataAccess::GetDefaultPropertiesMap(this, params);

    params[TolkConstants::kPropConfiguringBootstrapper] = "1";
    FileSystemPath installDir;
    const bool haveInstallDir =
        InstallerEnginePlatformMethods::GetBootstrapperINSTALLDIR(session->GetSessionKey(), installDir);
    if (haveInstallDir) {
        params[SorvelConstants::kPropINSTALLDIR] = installDir.AsUTF8String();
        if (argumentMap_) {
            StringMap::const_iterator record = argumentMap_->find(TolkConstants::kPropRecordOption);
            if (record != argumentMap_->end())
                params[record->first] = record->second;
        }
    }

    const std::string driverCode = session->GetDriverPayloadOrvexCode();
    boost::shared_ptr<PayloadAccessor> driver = session->GetPayloadAccessorForOrvexCode(driverCode);
    if (haveInstallDir && !driverCode.empty() && driver && driver->proxyDataStore) {
        const PayloadProxy::ProxyFileDataStore& proxy = *driver->proxyDataStore;
        std::vector<std::string> languages;
        bool independent = false;
        proxy.IsLanguageIndependent(independent);
        if (independent) {
            languages.push_back(kDefaultLanguage);
            const std::set<std::string> all = TolkConstants::GetAllSupportedLanguages();
            languages.insert(languages.end(), all.begin(), all.end());
        } else {
            proxy.Languages().Get(std::back_inserter(languages));
            languages.push_back(kDefaultLanguage);
        }
        StringMap addRemoveInfo;
        for (const std::string& language : languages) {
            if (proxy.GetAddRemoveInfoForLanguage(driverCode, language, addRemoveInfo) > 0 && addRemoveInfo.size() >= 2)
                break;
        }
        for (const auto& entry : addRemoveInfo)
            params[entry.first] = entry.second;

        bool suppress = false;
        if (proxy.GetSuppressUninstallerForPlatform(PayloadProxyFileConstants::kPlatformCurrent, suppress))
            params["suppressUninstaller"] = suppress ? "1" : "0";
        params[TolkConstants::kPropDriverPayloadCode] = driverCode;

        std::string code;
        std::string productName = kDefaultProductName;
        std::string version;
        std::string build;
        DataAccessUtilities::GetPayloadPropertiesFromAccesssor(driver, code, productName, version, build);
        params["productName"] = productName;
    }
    if (driverCode.empty())
        params["productName"] = kDefaultProductName;
    return true;
}

int InstallerEngine::DoMediaOptimizationWorkflow()
{
    try {
        if (!StartScriptingEngine())
            return kExitScriptingEngine;
        boost::shared_ptr<PayloadSessionManager> session = GetPayloadSessionManager();
        Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
        InfoLogBlock block(logger, "Optimizing for media");
        if (!session) {
            if (logger != nullptr)
                logger->AppendToLog(LogAppender::kLogFatal, "Unable to initialize payload session for media optimization");
            return kExitMediaOptimization;
        }
        StringMap parameters;
        if (!GetBootstrapperInstallParams(parameters)) {
            if (logger != nullptr)
                logger->AppendToLog(LogAppender::kLogFatal,
                                    "Unable to create bootstrapper parameter cache.  Verify the proxy files exist.");
            return kExitMediaOptimization;
        }
        const StringMap arguments = argumentMap_ ? *argumentMap_ : StringMap();
        return InstallerEnginePlatformMethods::OptimizeForMedia(arguments, parameters, logger) ? 0
                                                                                              : kExitMediaOptimization;
    } catch (...) {
        return kExitScriptingEngine;
    }
}

// ---- Kept without callers

bool InstallerEngine::AddCAPSPropertiesToPropertyMap()
{
    boost::shared_ptr<PayloadSessionManager> session = GetPayloadSessionManager();
    if (!session)
        return false;
    const std::vector<std::string> codes = session->GetSessionOrvexCodes();
    if (codes.empty())
        return false;
    std::string count;
    if (!ZEB::ChangeDiffTypeImpl<std::size_t, std::string>::ChangeType(codes.size(), count))
        return false;
    propertyMap_->insert(std::make_pair(TolkConstants::kCAPSPropTotalPayloads, count));
    for (std::size_t index = 0; index < codes.size(); ++index) {
        std::string position;
        if (!ZEB::ChangeDiffTypeImpl<std::size_t, std::string>::ChangeType(index, position))
            return false;
        propertyMap_->insert(std::make_pair(TolkConstants::kCAPSPropPayloadCodeBase + position, codes[index]));
    }
    return true;
}

bool InstallerEngine::BeginInstallation()
{
    if (InstallThreadRunning())
        return false;
    bootstrapping_ = false;
    GetPayloadSessionManager();
    return false;
}

bool InstallerEngine::BeginBootstrap()
{
    if (InstallThreadRunning())
        return false;
    bootstrapping_ = true;
    GetPayloadSessionManager();
    return false;
}

bool InstallerEngine::InitializePropertyMapDefaults()
{
    GetPayloadSessionManager();
    return false;
}

bool InstallerEngine::BeginUninstallBootstrap()
{
    if (InstallThreadRunning())
        return false;
    boost::shared_ptr<PayloadSessionManager> session = GetPayloadSessionManager();
    if (!session)
        return false;
    const std::string sessionKey = session->GetSessionKey();
    bool unused = false;
    {
        CAPSSessionPtr database;
        if (!database.Open())
            return false;
        capsCollection collection = {};
        capsStringList installed = nullptr;
        unused = capsGetCollection(database, sessionKey.c_str(), &collection) == kCapsOK &&
                 capsGetCollectionPayloads(database, kCapsInstalled, sessionKey.c_str(), &installed) == kCapsNotFound;
        // Closed before the uninstall writes from the install thread.
    }
    if (!unused)
        return false;
    boost::shared_ptr<ThreadOperation> operation(new UninstallBootstrapperOperation(sessionKey));
    return StartInstallThread(operation);
}
