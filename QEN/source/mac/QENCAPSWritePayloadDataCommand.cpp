#include "QENCAPSWritePayloadDataCommand.h"

#include "QENCAPSCommandSteps.h"
#include "QENCAPSRunSession.h"
#include "Shared/TolkConstants.h"

#include <boost/format.hpp>

#include <set>
#include <utility>

namespace {

const char* const kInstallMode = "install";
const char* const kRepairMode = "repair";
const char* const kAliasPathKey = "aliasPath";
const char* const kPayloadPathKey = "payloadPath";

}  // namespace

QENCAPSWritePayloadDataCommand::QENCAPSWritePayloadDataCommand(
    LogAppender& log, const std::string& collectionID, const std::string& payloadID, const std::string& productFamily,
    const std::string& productName, const std::string& version, const std::string& signature,
    const std::string& installLanguage, const std::string& installDirectory, const PropertyMap& properties,
    const CodeList& conflicts, const CodeList& upgrades, const std::string& uninstallerAliasPath,
    const std::string& payloadPath, const std::string& mode)
    : QENCommand(log), collectionID_(collectionID), payloadID_(payloadID), productFamily_(productFamily),
      productName_(productName), version_(version), signature_(signature), installLanguage_(installLanguage),
      installDirectory_(installDirectory), properties_(properties), conflicts_(conflicts), upgrades_(upgrades),
      uninstallerAliasPath_(uninstallerAliasPath), payloadPath_(payloadPath), mode_(mode), session_(nullptr),
      commitRequested_(false)
{
}

QENCAPSWritePayloadDataCommand::~QENCAPSWritePayloadDataCommand()
{
    if (session_ == nullptr)
        return;
    const capsStatus status = QENCAPSCommandSteps::CloseSession(log_, session_, commitRequested_, GetName());
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Closed CAPS session payload with ID \"%1%\" returned %2%") % payloadID_ % status)
                         .str());
}

std::string QENCAPSWritePayloadDataCommand::GetName() const
{
    return "QENCAPSWritePayloadDataCommand";
}

bool QENCAPSWritePayloadDataCommand::DoPerform()
{
    // The mode is compared exactly: "Install" is no mode.
    if (mode_ == kInstallMode)
        return DoCAPSOperations();
    return mode_ == kRepairMode;
}

bool QENCAPSWritePayloadDataCommand::CAPSInit()
{
    if (session_ != nullptr)
        return true;
    capsiSession* session = nullptr;
    const capsStatus status = QENCAPSRunSession::Open(&session, true);
    session_ = status == kCapsOK ? session : nullptr;
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("capsOpenSession for payload with ID \"%1%\" returned \"%2%\"") % payloadID_ %
                      status)
                         .str());
    return status == kCapsOK && session_ != nullptr;
}

bool QENCAPSWritePayloadDataCommand::FailOperations(LogAppender::LogLevel level, const std::string& message)
{
    log_.AppendToLog(level, message);
    QENCAPSCommandSteps::RollbackPartialTransaction(log_, session_);
    return false;
}

bool QENCAPSWritePayloadDataCommand::DoCAPSOperations()
{
    if (!CAPSInit())
        return false;

    CAPSQueryUtilities::PackageManagementData data(collectionID_, payloadID_, PayloadOperationConstants::kInstall);
    data.productFamily = productFamily_;
    data.productName = productName_;
    data.version = version_;
    data.signature = signature_;
    data.conflicts.insert(conflicts_.begin(), conflicts_.end());
    data.upgrades.insert(upgrades_.begin(), upgrades_.end());

    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Adding payload with ID \"%1%\" to CAPS") % payloadID_).str());
    CAPSQueryUtilities::PackageManagementOperationResult result;
    if (!QENCAPSCommandSteps::PackageManagementStep(log_, session_, data, result))
        return FailOperations(LogAppender::kLogError,
                              (boost::format("Unable to add payload with ID \"%1%\" to CAPS due to error %2%") %
                               payloadID_ % result.status)
                                  .str());

    capsStatus status = capsSetInstallState(session_, collectionID_.c_str(), payloadID_.c_str(), kCapsInstalled);
    if (status != kCapsOK)
        return FailOperations(LogAppender::kLogError,
                              (boost::format("Unable to mark new payload with ID \"%1%\" as installed to CAPS due to "
                                             "error %2%") %
                               payloadID_ % status)
                                  .str());

    // Empty values are stored as such, never as removals of their keys.
    const std::pair<std::string, std::string> values[] = {
        {TolkConstants::kPropInstallLanguage, installLanguage_},
        {TolkConstants::kCAPSPropINSTALLDIR, installDirectory_},
        {TolkConstants::kCAPSPropPayloadBuildIdentifier, signature_},
        {kPayloadPathKey, payloadPath_},
    };
    for (const std::pair<std::string, std::string>& value : values) {
        status = capsSetPayloadData(session_, payloadID_.c_str(), kCapsDomainInstaller, value.first.c_str(),
                                    value.second.c_str());
        if (status != kCapsOK)
            return FailOperations(LogAppender::kLogDebug,
                                  (boost::format("Unable to add payload with ID \"%1%\" to CAPS because the %2% "
                                                 "couldn't be written") %
                                   payloadID_ % value.first)
                                      .str());
    }

    const std::set<std::string> whitelist = TolkConstants::GetWhitelistPayloadProperties();
    for (const PropertyMap::value_type& property : properties_) {
        if (whitelist.count(property.first) == 0)
            continue;
        status = capsSetPayloadData(session_, payloadID_.c_str(), kCapsDomainProperties, property.first.c_str(),
                                    property.second.c_str());
        if (status != kCapsOK)
            return FailOperations(LogAppender::kLogDebug,
                                  (boost::format("Unable to add session property with key \"%1%\" and value \"%2%\" to "
                                                 "CAPS due to CAPS result %3%") %
                                   property.first % property.second % status)
                                      .str());
    }

    if (!uninstallerAliasPath_.empty()) {
        status = capsSetCollectionData(session_, collectionID_.c_str(), kCapsDomainInstaller, kAliasPathKey,
                                       uninstallerAliasPath_.c_str());
        if (status != kCapsOK)
            return FailOperations(LogAppender::kLogError,
                                  (boost::format("Unable to store updated uninstaller alias path of \"%1%\" for "
                                                 "collection with ID \"%2%\" to CAPS due to error %3%") %
                                   uninstallerAliasPath_ % collectionID_ % status)
                                      .str());
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Updated uninstaller alias path to \"%1%\" for collection with ID \"%2%\" to "
                                        "CAPS") %
                          uninstallerAliasPath_ % collectionID_)
                             .str());
    }
    return true;
}

bool QENCAPSWritePayloadDataCommand::DoCommit()
{
    // A repair holds no session and wrote nothing, so there is nothing to commit; that is no
    // failure.
    if (session_ == nullptr)
        return mode_ == kRepairMode;
    commitRequested_ = true;
    const capsStatus status = capsSessionCommit(session_);
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("CAPS master commit for payload with ID \"%1%\" returned %2%.") % payloadID_ %
                      status)
                         .str());
    return status == kCapsOK;
}

bool QENCAPSWritePayloadDataCommand::DoRollback()
{
    if (session_ == nullptr)
        return mode_ == kRepairMode;
    const capsStatus status = capsSessionRollback(session_);
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("CAPS rollback for payload with ID \"%1%\" returned %2%.") % payloadID_ % status)
                         .str());
    return status == kCapsOK;
}
