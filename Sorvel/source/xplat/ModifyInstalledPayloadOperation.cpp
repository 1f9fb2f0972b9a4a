#include "ModifyInstalledPayloadOperation.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "InstallPayloadOperationPlatformMethods.h"
#include "InstallPayloadOperationUtils.h"
#include "PayloadMediaSource.h"
#include "Shared/TolkConstants.h"
#include "UserInterfaceMessagePrompt.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

namespace {

const unsigned long kPercentDone = 100;

// A path that names an existing object; an empty or malformed text names none.
bool ExistingPath(const std::string& text)
{
    return FileSystemUtils::ValidateUTF8FullPathString(text) == FileSystemUtils::kPathValid &&
           FileSystemUtils::Exists(FileSystemPath(text));
}

// The final status of a road that ended with the result: a failure is reported as one (a missing
// medium keeps its own code, a run the user cancelled stays cancelled).
int FinalStatus(int result, int status, const ContainerMessage& runStatus)
{
    if (result == 0)
        return PayloadOperationConstants::kSuccess;
    if (status == PayloadOperationConstants::kMediaMissing)
        return status;
    if (runStatus.Code() == PayloadOperationConstants::kCancelled)
        return PayloadOperationConstants::kCancelled;
    return PayloadOperationConstants::kFailed;
}

}  // namespace

ModifyInstalledPayloadOperation::ModifyInstalledPayloadOperation(const std::string& payloadCode,
                                                                 const std::string& sessionKey,
                                                                 PayloadOperationConstants::InstallAction action,
                                                                 const std::string& sourcePath)
    : payloadCode_(payloadCode), sessionKey_(sessionKey), action_(action), sourcePath_(sourcePath)
{
}

std::string ModifyInstalledPayloadOperation::GetOperationType()
{
    return "PayloadUninstaller";
}

bool ModifyInstalledPayloadOperation::GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt)
{
    prompt.reset(new UserInterfaceMessagePrompt(12, 0, TolkUIRequest::kIndicatorOperationNotCalled,
                                                "Unable to uninstall"));
    return true;
}

bool ModifyInstalledPayloadOperation::DoCAPSPackageManagementOperations(
    CAPSSessionPtr& session, CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    if (!session.IsOpen())
        return false;
    const CAPSQueryUtilities::PackageManagementData data(sessionKey_, payloadCode_, action_);
    return CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, data, result);
}

int ModifyInstalledPayloadOperation::ChangeRecordsOnly(const char* openFailed, const char* stepFailed,
                                                       const char* commitFailed)
{
    CAPSSessionPtr session;
    if (!session.Open()) {
        AppendToLog(kLogInfo, openFailed);
        InstallPayloadOperationUtils::LogDatabaseOpenFailure(*this, session.GetStatus());
        return 1;
    }
    CAPSQueryUtilities::PackageManagementOperationResult result;
    const bool done = DoCAPSPackageManagementOperations(session, result);
    if (!CAPSQueryUtilities::PackageManagementOperationSucceeded(done, result)) {
        // Closing would commit what the step wrote before it failed.
        session.Rollback();
        AppendToLog(kLogInfo, stepFailed);
        return 1;
    }
    if (!session.Commit()) {
        session.Rollback();
        AppendToLog(kLogInfo, commitFailed);
        return 1;
    }
    return 0;
}

int ModifyInstalledPayloadOperation::Repair(UIThreadOperationManager& manager, const std::string& effectiveCode,
                                            PropertyMap& properties, int& status,
                                            ContainerMessage::NamedArguments& statusArguments)
{
    std::string source;
    if (ExistingPath(sourcePath_)) {
        source = sourcePath_;
        AppendToLog(kLogInfo, "Session includes local copy of payload for repair source");
    } else {
        CAPSSessionPtr session;
        PayloadMediaSource::MediaType type = PayloadMediaSource::kMediaTypeLocal;
        std::uint16_t volume = 0;
        FileSystemPath media(std::string("/"));
        std::string name;
        if (session.Open() &&
            PayloadMediaSource::GetCAPSMediaInformation(session, effectiveCode, type, volume, media, name)) {
            source = media.AsUTF8String();
            if (!FileSystemUtils::Exists(media)) {
                AppendToLog(kLogInfo, "Unable to find payload at path: " + source);
                statusArguments[TolkConstants::kPropMediaPath] = source;
                status = PayloadOperationConstants::kMediaMissing;
                return 1;
            }
        }
    }
    AppendToLog(kLogInfo, "Repair payload source package: " + source);
    return static_cast<int>(
        InstallPayloadOperationPlatformMethods::RepairPayload(effectiveCode, sessionKey_, this, source, manager, properties));
}

bool ModifyInstalledPayloadOperation::NoteManipulatingSession(CAPSSessionPtr& session, const std::string& effectiveCode)
{
    // Kept whatever happens next: later runs need to know which session touched it last.
    const capsStatus status =
        capsSetPayloadData(session, effectiveCode.c_str(), kCapsDomainInstaller,
                           TolkConstants::kPropMostRecentManipulatingSession.c_str(), sessionKey_.c_str());
    if (status == kCapsOK && session.Commit())
        return true;
    // A payload the records refuse the note for is one the steps after this find fault with in
    // their own words; a database that cannot be written to is not.
    if (status == kCapsConstraint || status == kCapsNotFound)
        return true;
    AppendToLog(kLogError, "Unable to record session " + sessionKey_ + " as the last to change payload " +
                               effectiveCode + " in the installation database (status " +
                               std::to_string(status != kCapsOK ? status : session.GetStatus()) + ")");
    return false;
}

int ModifyInstalledPayloadOperation::operator()(UIThreadOperationManager& manager,
                                                std::vector<UserInterfaceMessagePrompt>&)
{
    ContainerMessage::NamedArguments statusArguments;
    PropertyMap properties;
    int status = PayloadOperationConstants::kSuccess;
    int result = 1;
    AppendToLog(kLogInfo, "Session " + sessionKey_ + " modify request for OrvexCode: " + payloadCode_);

    std::string effectiveCode;
    bool installedHere = false;
    CAPSQueryUtilities::OrvexCodeSet collections;
    bool prepared = false;
    {
        CAPSSessionPtr session;
        if (!session.Open()) {
            AppendToLog(kLogInfo, "Unable to open CAPS session");
            InstallPayloadOperationUtils::LogDatabaseOpenFailure(*this, session.GetStatus());
        } else if (!CAPSQueryUtilities::GetEffectiveOrvexCodeFromOriginal(session, payloadCode_, effectiveCode)) {
            AppendToLog(kLogError, "Unable to get effective OrvexCode for original: " + payloadCode_);
        } else if (!NoteManipulatingSession(session, effectiveCode)) {
            // Said why; the removal and the repair read the note back, so nothing is done without it.
        } else {
            AppendToLog(kLogInfo, "Effective OrvexCode for: " + payloadCode_ + " is " + effectiveCode);
            if (!CAPSQueryUtilities::GetInstallingCollectionsFromOrvexCode(session, effectiveCode, collections)) {
                AppendToLog(kLogError, "Unable to get installing collections for OrvexCode: " + payloadCode_);
            } else {
                for (const std::string& collection : collections) {
                    AppendToLog(kLogInfo, "\tInstalled by collectionID: " + collection);
                    if (collection == sessionKey_)
                        installedHere = true;
                }
                prepared = true;
            }
        }
        // The session only read, apart from the committed note above.
        session.Rollback();
    }

    if (prepared) {
        switch (action_) {
        case PayloadOperationConstants::kInstall:
            result = ChangeRecordsOnly("Unable to open CAPS for install manipulation", "CAPS install manipulation failed",
                                       "Unable to commit CAPS Install changes");
            break;
        case PayloadOperationConstants::kRepair:
            if (!installedHere) {
                AppendToLog(kLogError, "Payload cannot be repaired because it is not installed for current collection");
                break;
            }
            result = Repair(manager, effectiveCode, properties, status, statusArguments);
            AppendToLog(kLogInfo, "Physical payload repair result:" + std::to_string(result));
            break;
        case PayloadOperationConstants::kUninstall:
            if (installedHere && collections.size() == 1) {
                result = static_cast<int>(InstallPayloadOperationPlatformMethods::UninstallPayload(
                    effectiveCode, sessionKey_, this, manager, properties));
                AppendToLog(kLogInfo, "Physical payload uninstall result:" + std::to_string(result));
            } else {
                result = ChangeRecordsOnly("Unable to open CAPS for uninstall manipulation",
                                           "CAPS uninstall manipulation failed", "Unable to commit CAPS uninstall changes");
            }
            break;
        default:
            AppendToLog(kLogError, "Unkown payload action request: " + std::to_string(static_cast<int>(action_)));
            break;
        }
    }

    // What the payload's scripts told the user (a repair's files put back) stays with the status.
    if (result == 0)
        statusArguments.insert(GetStatusMessage().Arguments().begin(), GetStatusMessage().Arguments().end());
    SetPercentCompleteAndStatusMessage(kPercentDone,
                                       ContainerMessage(FinalStatus(result, status, GetStatusMessage()), statusArguments));
    return result;
}
