#include "InstallThirdPartyPayloadOperation.h"

#include "DataAccessUtilities.h"
#include "InstallPayloadOperationPlatformMethods.h"
#include "InstallPayloadOperationUtils.h"
#include "LocalFileSourceProvider.h"
#include "PayloadAccessor.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"
#include "UserInterfaceMessagePrompt.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <stdexcept>

namespace {

const unsigned long kPercentDone = 100;

const char* const kNameOrTypeMissing = "Unable to get package name or type from third party proxy file";
const char* const kMetadataMissing = "Unable to get metadata from proxy file for third party install";

ContainerMessage Status(int code, const ContainerMessage::NamedArguments& arguments = ContainerMessage::NamedArguments())
{
    return ContainerMessage(code, arguments);
}

// The status of a failed install: a "tolk1" run the user cancelled stays cancelled.
int FailureStatus(const std::string& packageType, unsigned long exitCode)
{
    return packageType == PayloadProxyFileConstants::kThirdPartyTypeTolk1 &&
                   exitCode == static_cast<unsigned long>(PayloadOperationConstants::kCancelled)
               ? PayloadOperationConstants::kCancelled
               : PayloadOperationConstants::kFailed;
}

}  // namespace

template <class SourceProvider>
InstallThirdPartyPayloadOperation<SourceProvider>::InstallThirdPartyPayloadOperation(
    const boost::shared_ptr<PayloadAccessor>& accessor, const std::string& sessionKey, const FileSystemPath& payloadPath,
    const SourceProvider& sourceProvider, const PropertyMap& properties, InstallerEngine* engine)
    : payloadPath_(payloadPath),
      sourceProvider_(sourceProvider),
      sessionKey_(sessionKey),
      mediaSource_(accessor ? accessor->mediaSource : throw std::runtime_error(kNameOrTypeMissing)),
      workPath_(sourceProvider.GetPath()),
      properties_(properties),
      alreadyInstalled_(false)
{
    if (!accessor->proxyDataStore)
        throw std::runtime_error(kNameOrTypeMissing);
    PayloadProxy::ThirdPartyComponent component = accessor->proxyDataStore->ThirdPartyComponentData();
    if (!ThirdPartyPayloadSupportUtilites::GetPackageName(component, engine, packageName_) ||
        !ThirdPartyPayloadSupportUtilites::GetPackageType(component, packageType_))
        throw std::runtime_error(kNameOrTypeMissing);

    ThirdPartyPayloadSupportUtilites::GetOperationSuccessRanges(component, PayloadOperationConstants::kInstall,
                                                                successRanges_);
    ThirdPartyPayloadSupportUtilites::GetOperationArguments(component, PayloadOperationConstants::kInstall,
                                                            argumentPrefix_, argumentDelimiter_, arguments_);
    ThirdPartyPayloadSupportUtilites::RunIsInstalledScript(component, engine, alreadyInstalled_);

    std::string productName;
    std::string version;
    std::string build;
    if (!DataAccessUtilities::GetPayloadPropertiesFromAccesssor(accessor, payloadCode_, productName, version, build))
        throw std::runtime_error(kMetadataMissing);
    record_.reset(new CAPSQueryUtilities::PackageManagementData(sessionKey_, payloadCode_,
                                                                PayloadOperationConstants::kInstall));
    record_->productName = productName;
    record_->version = version;
    std::string family;
    std::string satisfiedName;
    std::string satisfiedVersion;
    if (DataAccessUtilities::GetSatisfiesData(accessor, family, satisfiedName, satisfiedVersion))
        record_->productFamily = family;
    record_->signature = build;

    component.ThirdPartyCapabilitiesData().ThirdPartyCapabilitiesInstallData().InstallMessage().Get(installMessage_);
}

template <class SourceProvider>
std::string InstallThirdPartyPayloadOperation<SourceProvider>::GetOperationType()
{
    return "InstallThirdPartyPayloadOperation";
}

template <class SourceProvider>
bool InstallThirdPartyPayloadOperation<SourceProvider>::GetMessageIfNotCalled(
    boost::shared_ptr<UserInterfaceMessagePrompt>& prompt)
{
    prompt.reset(new UserInterfaceMessagePrompt(12, 0, TolkUIRequest::kIndicatorOperationNotCalled,
                                                "InstallThirdPartyPayloadOperation - not called"));
    return true;
}

template <class SourceProvider>
bool InstallThirdPartyPayloadOperation<SourceProvider>::DoCAPSPackageManagementOperations(
    CAPSSessionPtr& session, CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    if (!session.IsOpen())
        return false;
    if (!record_) {
        session.Rollback();
        return false;
    }
    const bool done = CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, *record_, result);
    if (!CAPSQueryUtilities::PackageManagementOperationSucceeded(done, result)) {
        session.Rollback();
        return false;
    }
    const std::set<std::string> storable = TolkConstants::GetWhitelistPayloadProperties();
    for (const auto& property : properties_) {
        if (storable.count(property.first) == 0)
            continue;
        if (capsSetPayloadData(session, payloadCode_.c_str(), kCapsDomainProperties, property.first.c_str(),
                               property.second.c_str()) != kCapsOK) {
            session.Rollback();
            return false;
        }
    }
    InstallPayloadOperationPlatformMethods::WriteThirdPartyPayloadCAPSData(session, payloadCode_, workPath_);
    return true;
}

template <class SourceProvider>
int InstallThirdPartyPayloadOperation<SourceProvider>::operator()(UIThreadOperationManager& manager,
                                                                  std::vector<UserInterfaceMessagePrompt>&)
{
    using ThirdPartyPayloadSupportUtilites::InterpretThirdPartyExitCode;

    PayloadOperationConstants::OperationResult result = PayloadOperationConstants::kFailed;
    workPath_ = sourceProvider_.GetPath();
    if (alreadyInstalled_) {
        AppendToLog(kLogInfo, "Third party payload already installed.");
        result = PayloadOperationConstants::kSuccess;
    } else {
        unsigned long exitCode = 0;
        properties_.insert(std::make_pair(TolkConstants::kPropThirdPartyPayloadPath, workPath_.AsUTF8String()));
        properties_.insert(std::make_pair(TolkConstants::kPropThirdPartyPayloadDir, workPath_.Parent().AsUTF8String()));
        ThirdPartyPayloadSupportUtilites::ExpandArgumentValues(properties_, arguments_);
        PropertyMap out;
        const unsigned long ran = InstallPayloadOperationPlatformMethods::InstallThirdPartyPayload(
            payloadPath_, workPath_, packageType_, properties_, argumentPrefix_, argumentDelimiter_, arguments_, this,
            manager, exitCode, out);
        AppendToLog(kLogInfo, "Third party payload succeded.  Testing return code: " + std::to_string(exitCode));
        const bool judged = InterpretThirdPartyExitCode(exitCode, successRanges_, packageType_, properties_, result);
        if (ran != 0 || !judged || !PayloadOperationConstants::CountsAsSuccess(result)) {
            SetPercentCompleteAndStatusMessage(kPercentDone, Status(FailureStatus(packageType_, exitCode)));
            return 1;
        }
    }

    SetPercentComplete(20);
    CAPSSessionPtr session;
    if (!session.Open()) {
        InstallPayloadOperationUtils::LogDatabaseOpenFailure(*this, session.GetStatus());
        SetPercentCompleteAndStatusMessage(kPercentDone, Status(PayloadOperationConstants::kFailed));
        return 1;
    }
    SetPercentComplete(40);
    CAPSQueryUtilities::PackageManagementOperationResult recorded;
    ContainerMessage status = Status(PayloadOperationConstants::kFailed);
    int answer = 1;
    // Committed here rather than by the close, so that records that did not reach the disk are
    // no success.
    if (DoCAPSPackageManagementOperations(session, recorded) && session.Commit()) {
        if (!installMessage_.empty() && result != 5)
            status = Status(PayloadOperationConstants::kSuccessWithMessage, installMessage_);
        else
            status = Status(result);
        answer = 0;
    } else {
        session.Rollback();
    }
    SetPercentComplete(60);
    session.Close();
    SetPercentCompleteAndStatusMessage(kPercentDone, status);
    return answer;
}

template class InstallThirdPartyPayloadOperation<LocalFileSourceProvider>;
