#include "InstallPayloadOperation.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "DataAccessUtilities.h"
#include "InstallPayloadOperationPlatformMethods.h"
#include "InstallPayloadOperationUtils.h"
#include "LocalFileSourceProvider.h"
#include "PayloadAccessor.h"
#include "Shared/TolkConstants.h"
#include "UserInterfaceMessagePrompt.h"
#include "caps/CAPSSessionPtr.h"

#include <iterator>
#include <vector>

namespace {

const unsigned long kPercentDone = 100;

}  // namespace

template <class SourceProvider>
InstallPayloadOperation<SourceProvider>::InstallPayloadOperation(const std::string& collectionCode,
                                                                 const FileSystemPath& payloadPath,
                                                                 const SourceProvider& sourceProvider,
                                                                 const PropertyMap& properties)
    : record_(new CAPSQueryUtilities::PackageManagementData(collectionCode, PayloadOperationConstants::kInstall)),
      payloadPath_(payloadPath),
      sourceProvider_(sourceProvider),
      properties_(properties)
{
}

template <class SourceProvider>
InstallPayloadOperation<SourceProvider>::InstallPayloadOperation(const boost::shared_ptr<PayloadAccessor>& accessor,
                                                                 const std::string& sessionKey,
                                                                 const FileSystemPath& payloadPath,
                                                                 const SourceProvider& sourceProvider,
                                                                 const PropertyMap& properties)
    : payloadPath_(payloadPath), sourceProvider_(sourceProvider), properties_(properties)
{
    properties_.insert(std::make_pair(TolkConstants::kPropOrvexSetupFlag, TolkConstants::kValueOrvexSetupFlag));
    std::string code;
    std::string productName;
    std::string version;
    std::string build;
    if (!DataAccessUtilities::GetPayloadPropertiesFromAccesssor(accessor, code, productName, version, build))
        return;
    record_.reset(new CAPSQueryUtilities::PackageManagementData(sessionKey, code, PayloadOperationConstants::kInstall));
    record_->productName = productName;
    record_->version = version;
    if (accessor->proxyDataStore) {
        std::string family;
        std::string satisfiedName;
        std::string satisfiedVersion;
        if (DataAccessUtilities::GetSatisfiesData(accessor, family, satisfiedName, satisfiedVersion))
            record_->productFamily = family;
        record_->signature = build;
        accessor->proxyDataStore->Upgrades().Get(std::inserter(record_->upgrades, record_->upgrades.end()));
        accessor->proxyDataStore->Conflicts().Get(std::inserter(record_->conflicts, record_->conflicts.end()));
    }
}

template <class SourceProvider>
int InstallPayloadOperation<SourceProvider>::operator()(UIThreadOperationManager& manager,
                                                        std::vector<UserInterfaceMessagePrompt>&)
{
    AppendToLog(kLogInfo, "Request to install payload");
    // Without a record there is no payload code to look for upgrades with, and nothing to record.
    if (!record_) {
        AppendToLog(kLogError, "Unable to install payload: its proxy file lacks its code, product name, version "
                               "or build.");
        SetPercentCompleteAndStatusMessage(kPercentDone,
                                           ContainerMessage(PayloadOperationConstants::kFailed,
                                                            ContainerMessage::NamedArguments()));
        return 1;
    }
    CAPSSessionPtr session;
    if (!session.Open()) {
        InstallPayloadOperationUtils::LogDatabaseOpenFailure(*this, session.GetStatus());
        return 1;
    }
    CAPSQueryUtilities::OrvexCodeSet upgradedBy;
    if (!CAPSQueryUtilities::GetAllInstalledPayloadsThatUpgradePackage(session, record_->payloadCode, upgradedBy))
        return 1;

    if (upgradedBy.empty()) {
        session.Rollback();
        session.Close();
        // Said here in words, naming the image; the disk-image tool would only say that it does
        // not recognise it.
        const FileSystemPath image = sourceProvider_.GetPath();
        if (!FileSystemUtils::Exists(image)) {
            AppendToLog(kLogError, "The payload image \"" + image.AsUTF8String() + "\" does not exist.");
            ContainerMessage::NamedArguments arguments;
            arguments[TolkConstants::kPropMediaPath] = image.AsUTF8String();
            SetPercentCompleteAndStatusMessage(
                kPercentDone, ContainerMessage(PayloadOperationConstants::kMediaMissing, arguments));
            return 1;
        }
        // The command engine posts the final status and its scripts write the records.
        PropertyMap out;
        return static_cast<int>(InstallPayloadOperationPlatformMethods::InstallPayload(
            payloadPath_, sourceProvider_.GetPath(), properties_, this, manager, out));
    }

    AppendToLog(kLogInfo, "Payload is already upgraded by:");
    for (const std::string& code : upgradedBy)
        AppendToLog(kLogInfo, "\t" + code);
    CAPSQueryUtilities::PackageManagementOperationResult result;
    const bool done = CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, *record_, result);
    if (!done) {
        session.Rollback();
        AppendToLog(kLogError, "CAPS package management operations failed");
        return 1;
    }
    if (result.status == kCapsOK && session.Commit()) {
        AppendToLog(kLogInfo, "CAPS data successfully updated.  Payload was _not_ physically installed.");
        SetPercentCompleteAndStatusMessage(kPercentDone, ContainerMessage(PayloadOperationConstants::kSuccess,
                                                                          ContainerMessage::NamedArguments()));
        return 0;
    }
    session.Rollback();
    AppendToLog(kLogError, "CAPS data commit failed");
    return 1;
}

template <class SourceProvider>
std::string InstallPayloadOperation<SourceProvider>::GetOperationType()
{
    return "PayloadInstaller";
}

template <class SourceProvider>
bool InstallPayloadOperation<SourceProvider>::GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt)
{
    prompt.reset(new UserInterfaceMessagePrompt(12, 0, TolkUIRequest::kIndicatorOperationNotCalled,
                                                "InstallPayloadOperation - not called"));
    return true;
}

template <class SourceProvider>
bool InstallPayloadOperation<SourceProvider>::DoCAPSPackageManagementOperations(
    CAPSSessionPtr& session, CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    if (!session.IsOpen())
        return false;
    if (!record_)
        return true;
    return CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, *record_, result);
}

template class InstallPayloadOperation<LocalFileSourceProvider>;
