// The mutation-access publisher itself: construction with its method table, the log method, and
// the methods that start, follow, answer and wait for operations on the engine's install thread.
#include "SorvelMutationAccess.h"

#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/CollectionUtils.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/Logger.h"
#include "Common/source/xplat/NamedLock.h"
#include "DataAccessUtilities.h"
#include "InstallPayloadOperation.h"
#include "InstallThirdPartyPayloadOperation.h"
#include "InstallerEngine.h"
#include "LocalFileSourceProvider.h"
#include "ModifyInstalledPayloadOperation.h"
#include "ModifyInstalledThirdPartyPayloadOperation.h"
#include "PayloadAccessor.h"
#include "PayloadSessionManager.h"
#include "Shared/TolkConstants.h"
#include "SorvelJSPublisherUtilities.h"
#include "ThirdPartyPayloadSupportUtilites.h"
#include "ThreadPayloadOperationState.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/caps.h"

#include <cstdint>
#include <sstream>
#include <stdexcept>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;

namespace {

std::string Serialized(const JSONUtilities::JSONBase& answer)
{
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

std::string Error(SorvelJSPublisherUtilities::JSResult code)
{
    return MakeJSONErrorObj(code);
}

bool ToInteger(const std::string& text, std::int32_t& value)
{
    return ZEB::ChangeDiffTypeImpl<std::string, std::int32_t>::ChangeType(text, value);
}

// A wait flag that does not convert means "do not wait"; it is no error.
bool WaitRequested(const std::string& flag)
{
    std::int32_t value = 0;
    return ToInteger(flag, value) && value != 0;
}

// "install" 0, "repair" 1, "remove" 2, exactly as written; false for anything else.
bool ActionFromText(const std::string& text, PayloadOperationConstants::InstallAction& action)
{
    if (text == "install")
        action = PayloadOperationConstants::kInstall;
    else if (text == "repair")
        action = PayloadOperationConstants::kRepair;
    else if (text == "remove")
        action = PayloadOperationConstants::kUninstall;
    else
        return false;
    return true;
}

}  // namespace

SorvelMutationAccess::InstallPayloadData::InstallPayloadData(const ArgumentList& arguments, Logger* logger)
    : action(PayloadOperationConstants::kInstall)
{
    if (arguments.size() < 2)
        throw std::runtime_error("Invalid arguments for payload operation");
    orvexCode = arguments[0];
    if (orvexCode.empty())
        throw std::runtime_error("Invalid OrvexCode");
    if (!ActionFromText(arguments[1], action))
        throw std::runtime_error("Unsupported payload operation");
    if (arguments.size() < 3)
        return;
    if (!CollectionUtils::BencodedDictionaryToMap(arguments[2], properties))
        throw std::runtime_error("Invalid Bencoding for parameters");
    if (logger == nullptr)
        return;
    logger->AppendToLog(LogAppender::kLogDebug, "BEGIN Payload Properties");
    for (const PropertyMap::value_type& property : properties)
        logger->AppendToLog(LogAppender::kLogDebug, property.first + "=" + property.second);
    logger->AppendToLog(LogAppender::kLogDebug, "END Payload Properties");
}

SorvelMutationAccess::SorvelMutationAccess(InstallerEngine* engine, Logger* logger) : logger_(logger), engine_(engine)
{
    if (engine == nullptr)
        throw std::runtime_error("InstallerEngine instance not provided to SorvelMutationAccess ctor");

    // The order fixes the method IDs 0 to 16.
    RegisterJSMemberMethod("Log", &SorvelMutationAccess::Log);
    RegisterJSMemberMethod("InstallPayload", &SorvelMutationAccess::InstallPayload);
    RegisterJSMemberMethod("InstallBootstrapper", &SorvelMutationAccess::InstallBootstrapper);
    RegisterJSMemberMethod("GetInstallStatus", &SorvelMutationAccess::GetInstallStatus);
    RegisterJSMemberMethod("PostInstallThreadMessage", &SorvelMutationAccess::PostInstallThreadMessage);
    RegisterJSMemberMethod("PostInstallThreadMessageResult", &SorvelMutationAccess::PostInstallThreadMessageResult);
    RegisterJSMemberMethod("PeekInstallThreadMessage", &SorvelMutationAccess::PeekInstallThreadMessage);
    RegisterJSMemberMethod("StoreCollectionProperties", &SorvelMutationAccess::StoreCollectionProperties);
    RegisterJSMemberMethod("OpenCAPSSimulation", &SorvelMutationAccess::OpenCAPSSimulation);
    RegisterJSMemberMethod("SimulateInstallPayload", &SorvelMutationAccess::SimulateInstallPayload);
    RegisterJSMemberMethod("CloseCAPSSimulation", &SorvelMutationAccess::CloseCAPSSimulation);
    RegisterJSMemberMethod("SetWorkflowExitCode", &SorvelMutationAccess::SetWorkflowExitCode);
    RegisterJSMemberMethod("AcquireBootstrapperLock", &SorvelMutationAccess::AcquireBootstrapperLock);
    RegisterJSMemberMethod("AcquireSetupLock", &SorvelMutationAccess::AcquireSetupLock);
    RegisterJSMemberMethod("IsBootstrapperLocked", &SorvelMutationAccess::IsBootstrapperLocked);
    RegisterJSMemberMethod("IsSetupLocked", &SorvelMutationAccess::IsSetupLocked);
    RegisterJSMemberMethod("SaveDeploymentFiles", &SorvelMutationAccess::SaveDeploymentFiles);
}

SorvelMutationAccess::~SorvelMutationAccess()
{
    setupLock_.reset();
    bootstrapperLock_.reset();
    if (simulation_.IsOpen())
        simulation_.Rollback();
    simulation_.Close();
}

void SorvelMutationAccess::WriteLog(int level, const std::string& text) const
{
    if (logger_ != nullptr)
        logger_->AppendToLog(static_cast<LogAppender::LogLevel>(level), text);
}

std::string SorvelMutationAccess::Log(const ArgumentList& arguments)
{
    if (arguments.size() != 2)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (logger_ == nullptr)
        return Error(SorvelJSPublisherUtilities::kJSResultNoLogger);
    std::int32_t level = 0;
    if (!ToInteger(arguments[0], level))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument,
                                {{"level", arguments[0]}, {"message", arguments[1]}});
    // A level above the most detailed one is never written by any logger; one below the lowest
    // names no level at all.
    if (level >= LogAppender::kLogOff && level <= LogAppender::kLogDebug)
        logger_->AppendToLog(static_cast<LogAppender::LogLevel>(level), arguments[1]);
    return "{}";
}

// ---- Operations on the install thread

std::string SorvelMutationAccess::InstallPayload(const ArgumentList& arguments)
{
    try {
        const InstallPayloadData data(arguments, logger_);
        // Simulated records must never decide a real install, and the simulation's open
        // transaction would hold up the operation's own database writes.
        if (simulation_.IsOpen())
            return Error(SorvelJSPublisherUtilities::kJSResultSimulationStateInvalid);
        const std::string refused = RefusedWithoutAdministratorRights();
        if (!refused.empty())
            return refused;
        boost::shared_ptr<ThreadOperation> operation;
        if (!GetInstallOperation(data, operation) || !engine_->InstallPayload(operation))
            return Error(SorvelJSPublisherUtilities::kJSResultOperationStartFailed);
        return StartedAnswer(arguments.size() == 4 && WaitRequested(arguments[3]));
    } catch (const std::runtime_error&) {
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    }
}

std::string SorvelMutationAccess::InstallBootstrapper(const ArgumentList& arguments)
{
    if (arguments.size() < 2)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    WriteLog(LogAppender::kLogInfo, "Installing Bootstrapper");
    const std::string refused = RefusedWithoutAdministratorRights();
    if (!refused.empty())
        return refused;

    PropertyMap properties;
    if (!CollectionUtils::BencodedDictionaryToMap(arguments[1], properties)) {
        WriteLog(LogAppender::kLogError, "Invalid Bencoded dictionary:");
        WriteLog(LogAppender::kLogError, arguments[1]);
        return Error(SorvelJSPublisherUtilities::kJSResultBencodeDecodeFailed);
    }
    properties.insert(std::make_pair(TolkConstants::kPropConfiguringBootstrapper, std::string("1")));

    // Only a wizard run may record what it installs.
    const boost::shared_ptr<InstallerEngine::StringMap> commandLine = engine_->GetArgumentMap();
    if (commandLine) {
        InstallerEngine::StringMap::const_iterator record = commandLine->find(TolkConstants::kPropRecordOption);
        if (record == commandLine->end()) {
            WriteLog(LogAppender::kLogInfo, "--record option not specified");
        } else if (engine_->GetUIMode() != 0) {
            WriteLog(LogAppender::kLogWarn, "--record option only valid for full UI mode installs");
        } else {
            WriteLog(LogAppender::kLogInfo, "Adding record flag --record=" + record->second);
            properties.insert(*record);
        }
    }

    PayloadOperationConstants::InstallAction action = PayloadOperationConstants::kInstall;
    if (!ActionFromText(arguments[0], action))
        return Error(SorvelJSPublisherUtilities::kJSResultBadArgument);
    // As for a payload: the bootstrapper's records are written for real.
    if (simulation_.IsOpen())
        return Error(SorvelJSPublisherUtilities::kJSResultSimulationStateInvalid);
    if (action == PayloadOperationConstants::kUninstall) {
        const std::string refused = RefusedWhileSuiteInstalled(properties);
        if (!refused.empty())
            return refused;
    }
    if (!engine_->InstallBootstrapper(action, properties))
        return Error(SorvelJSPublisherUtilities::kJSResultOperationStartFailed);
    return StartedAnswer(arguments.size() == 3 && WaitRequested(arguments[2]));
}

std::string SorvelMutationAccess::RefusedWhileSuiteInstalled(const PropertyMap& properties) const
{
    // The collection as the engine takes it: the properties' session id, else the session's key.
    std::string collection;
    const PropertyMap::const_iterator named = properties.find(TolkConstants::kPropSessionID);
    if (named != properties.end())
        collection = named->second;
    if (collection.empty()) {
        const boost::shared_ptr<PayloadSessionManager> session = engine_->GetPayloadSessionManager();
        if (!session)
            return std::string();  // the engine refuses it
        collection = session->GetSessionKey();
    }
    std::size_t count = 0;
    capsStatus listed = kCapsOK;
    {
        CAPSSessionPtr database;
        capsStringList installed = nullptr;
        listed = database.Open() ? capsGetCollectionPayloads(database, kCapsInstalled, collection.c_str(), &installed)
                                 : database.GetStatus();
        for (capsStringList entry = listed == kCapsOK ? installed : nullptr; entry != nullptr && *entry != nullptr;
             ++entry)
            ++count;
        database.Rollback();
    }
    if (listed == kCapsNotFound)
        return std::string();
    // The bootstrapper's script would remove its files and itself, but the database keeps a
    // collection that holds installed payloads: the suite could never be removed after that.
    if (listed != kCapsOK) {
        WriteLog(LogAppender::kLogError, "The bootstrapper of collection " + collection +
                                             " is not removed: which of its payloads are installed is unknown (error " +
                                             std::to_string(listed) + ")");
        return Error(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
    }
    WriteLog(LogAppender::kLogError, "The bootstrapper of collection " + collection + " is not removed: " +
                                         std::to_string(count) + " of its payloads are still installed");
    return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultOperationStartFailed,
                            {{"installedPayloads", std::to_string(count)}});
}

std::string SorvelMutationAccess::StartedAnswer(bool wait)
{
    JSONUtilities::JSONObject answer;
    answer.AddProperty("success", std::string("1"));
    if (wait) {
        ThreadPayloadOperationState state;
        if (!WaitForInstallOperation(state))
            return Error(SorvelJSPublisherUtilities::kJSResultOperationFailed);
        ThreadPayloadOpStateToJSON(answer, state);
    }
    return Serialized(answer);
}

std::string SorvelMutationAccess::GetInstallStatus(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    bool running = false;
    ThreadPayloadOperationState state;
    if (!engine_->GetInstallThreadStatus(running, state))
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddProperty("isRunning", running);
    answer.AddProperty("percentComplete", state.percentComplete);
    ThreadPayloadOpStateToJSON(answer, state);
    return Serialized(answer);
}

std::string SorvelMutationAccess::PostInstallThreadMessage(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    // A caller may post the cancel request (0) and the values below it; 1 and above are not its.
    TolkMessage message = 0;
    if (!ToInteger(arguments[0], message) || message >= 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument, {{"invalidMessage", arguments[0]}});
    if (!engine_->PostThreadMessage(message))
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return "{}";
}

std::string SorvelMutationAccess::PostInstallThreadMessageResult(const ArgumentList& arguments)
{
    if (arguments.size() != 2)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    unsigned long response = 0;
    if (!ZEB::ChangeDiffTypeImpl<std::string, unsigned long>::ChangeType(arguments[1], response))
        return Error(SorvelJSPublisherUtilities::kJSResultBadArgument);
    if (!engine_->PostInstallThreadMessageResult(arguments[0], response))
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return "{}";
}

std::string SorvelMutationAccess::PeekInstallThreadMessage(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    bool waiting = false;
    std::string messageId, json;
    if (!engine_->PeekInstallThreadMessage(waiting, messageId, json))
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    if (!waiting)
        return "{}";
    // The id is hex digits and the question is JSON already: both go in as they are.
    return "{\"messageID\": \"" + messageId + "\",\"data\":" + json + "}";
}

std::string SorvelMutationAccess::SetWorkflowExitCode(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    std::int32_t code = 0;
    if (!ToInteger(arguments[0], code))
        return Error(SorvelJSPublisherUtilities::kJSResultBadArgument);
    engine_->SetExitCode(code);
    return SorvelJSPublisherUtilities::MakeJSONSuccessObj();
}

void SorvelMutationAccess::ThreadPayloadOpStateToJSON(JSONUtilities::JSONObject& object,
                                                      const ThreadPayloadOperationState& state)
{
    JSONUtilities::JSONObject* message = object.AddObject("message");
    message->AddProperty("code", state.statusMessage.Code());
    message->AddObject("args")->AddPropertyMap(state.statusMessage.Arguments());
}

bool SorvelMutationAccess::WaitForInstallOperation(ThreadPayloadOperationState& state)
{
    if (engine_ == nullptr)
        return false;
    // Nobody else sees the thread's questions while this call blocks: each gets no answer (0).
    engine_->WaitForInstallThread(
        0, TolkConstants::kSilentMessagePollInterval, state,
        [this](const std::string& json) {
            WriteLog(LogAppender::kLogWarn,
                     "Waiting for payload operation to complete when message was posted.  Message:");
            WriteLog(LogAppender::kLogWarn, json);
            WriteLog(LogAppender::kLogWarn, "Returning unsupported value due to blocking semantics");
        },
        [this]() { WriteLog(LogAppender::kLogInfo, "Checking bootstrapper progress"); });
    return true;
}

// ---- Choosing the operation

namespace {

// Closes a session that was opened for one call only; a caller's running simulation stays open.
class BorrowedSession {
public:
    explicit BorrowedSession(CAPSSessionPtr& session) : session_(session), opened_(false)
    {
        if (!session_.IsOpen())
            opened_ = session_.Open();
    }
    ~BorrowedSession()
    {
        if (opened_)
            session_.Close();
    }
    bool IsOpen() const { return session_.IsOpen(); }

private:
    CAPSSessionPtr& session_;
    bool opened_;
};

}  // namespace

bool SorvelMutationAccess::GetInstallOperation(const InstallPayloadData& data,
                                               boost::shared_ptr<ThreadOperation>& operation)
{
    operation.reset();
    const boost::shared_ptr<PayloadSessionManager> session = engine_->GetPayloadSessionManager();
    if (!session)
        return false;
    const boost::shared_ptr<PayloadAccessor> accessor = session->GetPayloadAccessorForOrvexCode(data.orvexCode);
    if (!accessor)
        return false;

    const std::string sessionKey = session->GetSessionKey();
    const FileSystemPath installerParent = engine_->GetInstallerParentPath();
    std::string code, productName, productVersion, build;
    if (!DataAccessUtilities::GetPayloadPropertiesFromAccesssor(accessor, code, productName, productVersion, build) ||
        sessionKey.empty())
        return false;
    const std::string sourcePath = accessor->mediaSource.GetPath().AsUTF8String();

    // Within a running simulation the payload counts as installed when a simulated operation
    // installed it.
    const BorrowedSession database(simulation_);
    if (!database.IsOpen())
        return false;
    CAPSQueryUtilities::OrvexCodeSet collections;
    if (!CAPSQueryUtilities::GetInstallingCollectionsFromOrvexCode(simulation_, code, collections))
        return false;

    bool thirdParty = false;
    ThirdPartyPayloadSupportUtilites::IsThirdPartyPayload(accessor->proxyDataStore, thirdParty);

    if (data.action != PayloadOperationConstants::kInstall) {
        if (thirdParty) {
            PayloadProxy::ThirdPartyComponent component = accessor->proxyDataStore->ThirdPartyComponentData();
            operation.reset(new ModifyInstalledThirdPartyPayloadOperation(data.orvexCode, sessionKey, data.action,
                                                                          sourcePath, component, engine_));
        } else {
            operation.reset(new ModifyInstalledPayloadOperation(data.orvexCode, sessionKey, data.action, sourcePath));
        }
    } else if (!collections.empty()) {
        // Installed already by another collection: only this collection's record is added.
        operation.reset(new ModifyInstalledPayloadOperation(data.orvexCode, sessionKey, data.action, sourcePath));
    } else {
        const PayloadMediaSource::MediaType mediaType = accessor->mediaSource.GetMediaType();
        if (mediaType != PayloadMediaSource::kMediaTypeLocal && mediaType != PayloadMediaSource::kMediaTypeVolume)
            return false;
        const LocalFileSourceProvider provider(accessor->mediaSource.GetPath());
        if (thirdParty)
            operation.reset(new InstallThirdPartyPayloadOperation<LocalFileSourceProvider>(
                accessor, sessionKey, installerParent, provider, data.properties, engine_));
        else
            operation.reset(new InstallPayloadOperation<LocalFileSourceProvider>(accessor, sessionKey, installerParent,
                                                                                 provider, data.properties));
    }
    return static_cast<bool>(operation);
}
