#include "ModifyInstalledThirdPartyPayloadOperation.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "InstallPayloadOperationPlatformMethods.h"
#include "InstallPayloadOperationUtils.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"
#include "UserInterfaceMessagePrompt.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <stdexcept>

namespace {

const unsigned long kPercentDone = 100;

bool ExistingPath(const std::string& text)
{
    return FileSystemUtils::ValidateUTF8FullPathString(text) == FileSystemUtils::kPathValid &&
           FileSystemUtils::Exists(FileSystemPath(text));
}

}  // namespace

ModifyInstalledThirdPartyPayloadOperation::ModifyInstalledThirdPartyPayloadOperation(
    const std::string& payloadCode, const std::string& sessionKey, PayloadOperationConstants::InstallAction action,
    const std::string& sourcePath, PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine)
    : payloadCode_(payloadCode),
      sessionKey_(sessionKey),
      action_(action),
      record_(new CAPSQueryUtilities::PackageManagementData(sessionKey, payloadCode, action)),
      physicalActionSupported_(false),
      sourcePath_(sourcePath)
{
    if (!ThirdPartyPayloadSupportUtilites::GetPackageName(component, engine, packageName_) ||
        !ThirdPartyPayloadSupportUtilites::GetPackageType(component, packageType_))
        throw std::runtime_error("Unable to get package name or type from third party proxy file");
    PayloadProxy::ThirdPartyCapabilities capabilities = component.ThirdPartyCapabilitiesData();
    if (action_ == PayloadOperationConstants::kRepair) {
        PayloadProxy::ThirdPartyCapabilitiesRepair repair = capabilities.ThirdPartyCapabilitiesRepairData();
        repair.RepairMessage().Get(message_);
        physicalActionSupported_ = repair.SupportsRepair();
    } else if (action_ == PayloadOperationConstants::kUninstall) {
        PayloadProxy::ThirdPartyCapabilitiesUninstall uninstall = capabilities.ThirdPartyCapabilitiesUninstallData();
        uninstall.UninstallMessage().Get(message_);
        physicalActionSupported_ = uninstall.SupportsUninstall();
    }
    if (physicalActionSupported_) {
        ThirdPartyPayloadSupportUtilites::GetOperationSuccessRanges(component, action_, successRanges_);
        ThirdPartyPayloadSupportUtilites::GetOperationArguments(component, action_, argumentPrefix_,
                                                                argumentDelimiter_, arguments_);
    }
}

std::string ModifyInstalledThirdPartyPayloadOperation::GetOperationType()
{
    return "ModifyThirdPartyPayloadOperation";
}

bool ModifyInstalledThirdPartyPayloadOperation::GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt)
{
    prompt.reset(new UserInterfaceMessagePrompt(12, 0, TolkUIRequest::kIndicatorOperationNotCalled,
                                                "ModifyInstalledThirdPartyPayloadOperation - not called"));
    return true;
}

bool ModifyInstalledThirdPartyPayloadOperation::DoCAPSPackageManagementOperations(
    CAPSSessionPtr& session, CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    if (!session.IsOpen() || !record_)
        return false;
    const bool done = CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, *record_, result);
    return CAPSQueryUtilities::PackageManagementOperationSucceeded(done, result);
}

int ModifyInstalledThirdPartyPayloadOperation::Finish(int code, int result)
{
    SetPercentCompleteAndStatusMessage(kPercentDone, ContainerMessage(code, statusArguments_));
    return result;
}

int ModifyInstalledThirdPartyPayloadOperation::operator()(UIThreadOperationManager& manager,
                                                          std::vector<UserInterfaceMessagePrompt>&)
{
    statusArguments_.clear();
    unsigned long exitCode = 0;
    const bool physical = physicalActionSupported_ && (action_ == PayloadOperationConstants::kRepair ||
                                                       action_ == PayloadOperationConstants::kUninstall);
    // A "tolk1" run that the user cancelled is reported as cancelled, not as failed.
    const bool tolk1 = packageType_ == PayloadProxyFileConstants::kThirdPartyTypeTolk1;
    auto failure = [&]() {
        return tolk1 && exitCode == static_cast<unsigned long>(PayloadOperationConstants::kCancelled)
                   ? PayloadOperationConstants::kCancelled
                   : PayloadOperationConstants::kFailed;
    };
    InstallPayloadOperationPlatformMethods::PropertyMap out;

    if (!physical) {
        AppendToLog(kLogInfo, "Payload doesn't support physical action.  Treating as success.");
    } else if (action_ == PayloadOperationConstants::kUninstall) {
        AppendToLog(kLogInfo, "Uninstalling third party payload");
        const unsigned long ran = InstallPayloadOperationPlatformMethods::UninstallThirdPartyPayload(
            payloadCode_, sessionKey_, packageType_, argumentPrefix_, argumentDelimiter_, arguments_, this, manager,
            exitCode, out);
        if (ran != 0)
            return Finish(failure(), static_cast<int>(ran));
    } else {
        std::string source;
        if (ExistingPath(sourcePath_)) {
            AppendToLog(kLogInfo, "Session includes payload source for repair");
            source = sourcePath_;
        } else {
            CAPSSessionPtr session;
            const char* recorded = nullptr;
            if (session.Open() &&
                capsGetPayloadData(session, payloadCode_.c_str(), kCapsDomainProperties,
                                   TolkConstants::kPropMediaPath.c_str(), &recorded) == kCapsOK &&
                recorded != nullptr)
                source = recorded;
            session.Rollback();
        }
        if (!ExistingPath(source)) {
            statusArguments_[TolkConstants::kPropMediaPath] = source;
            return Finish(PayloadOperationConstants::kMediaMissing, 1);
        }
        AppendToLog(kLogInfo, "Repairing third party payload with source: " + source);
        const unsigned long ran = InstallPayloadOperationPlatformMethods::RepairThirdPartyPayload(
            FileSystemPath(source), payloadCode_, sessionKey_, packageType_, argumentPrefix_, argumentDelimiter_,
            arguments_, this, manager, exitCode, out);
        if (ran != 0)
            return Finish(failure(), static_cast<int>(ran));
    }

    PayloadOperationConstants::OperationResult result = PayloadOperationConstants::kFailed;
    const bool judged = ThirdPartyPayloadSupportUtilites::InterpretThirdPartyExitCode(exitCode, successRanges_,
                                                                                      packageType_, out, result);
    // An action the payload does not support goes on to the records whatever the judgment says.
    if (physical && (!judged || !PayloadOperationConstants::CountsAsSuccess(result)))
        return Finish(failure(), 1);

    CAPSSessionPtr session;
    if (!session.Open()) {
        InstallPayloadOperationUtils::LogDatabaseOpenFailure(*this, session.GetStatus());
        return Finish(PayloadOperationConstants::kFailed, 1);
    }
    CAPSQueryUtilities::PackageManagementOperationResult recorded;
    if (!DoCAPSPackageManagementOperations(session, recorded) || !session.Commit()) {
        session.Rollback();
        return Finish(PayloadOperationConstants::kFailed, 1);
    }
    session.Close();
    if (!message_.empty()) {
        statusArguments_ = message_;
        return Finish(PayloadOperationConstants::kSuccessWithMessage, 0);
    }
    return Finish(result, 0);
}
