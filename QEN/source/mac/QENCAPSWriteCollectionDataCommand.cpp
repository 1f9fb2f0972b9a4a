#include "QENCAPSWriteCollectionDataCommand.h"

#include "QENCAPSCommandSteps.h"
#include "Shared/TolkConstants.h"

#include <boost/format.hpp>

namespace {

const char* const kAliasPathKey = "aliasPath";

}  // namespace

QENCAPSWriteCollectionDataCommand::QENCAPSWriteCollectionDataCommand(LogAppender& log, const std::string& collectionID,
                                                                     const std::string& driverCode,
                                                                     const std::string& installerPath,
                                                                     const std::string& aliasPath)
    : QENCommand(log), collectionID_(collectionID), driverCode_(driverCode), installerPath_(installerPath),
      aliasPath_(aliasPath), session_(nullptr), commitRequested_(false)
{
}

QENCAPSWriteCollectionDataCommand::~QENCAPSWriteCollectionDataCommand()
{
    if (session_ == nullptr)
        return;
    const capsStatus status = QENCAPSCommandSteps::CloseSession(log_, session_, commitRequested_, GetName());
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Closed CAPS session for addition of collection with ID \"%1%\" and driver "
                                        "code \"%2%\"") %
                          collectionID_ % driverCode_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to close CAPS session for addition of collection with ID \"%1%\" and "
                                        "driver code \"%2%\" due to error %3%") %
                          collectionID_ % driverCode_ % status)
                             .str());
}

std::string QENCAPSWriteCollectionDataCommand::GetName() const
{
    return "QENCAPSWriteCollectionDataCommand";
}

bool QENCAPSWriteCollectionDataCommand::DoPerform()
{
    if (!QENCAPSCommandSteps::OpenSession(log_, session_))
        return false;
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Adding collection with ID \"%1%\" and driver code \"%2%\" to CAPS") %
                      collectionID_ % driverCode_)
                         .str());

    CAPSQueryUtilities::PackageManagementData data(collectionID_, PayloadOperationConstants::kInstall);
    if (!driverCode_.empty())
        data.driverPayloadCode = driverCode_;
    CAPSQueryUtilities::PackageManagementOperationResult result;
    if (!QENCAPSCommandSteps::PackageManagementStep(log_, session_, data, result)) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to add collection with ID \"%1%\" and driver code \"%2%\" to CAPS due "
                                        "to error %3%") %
                          collectionID_ % driverCode_ % result.status)
                             .str());
        QENCAPSCommandSteps::RollbackPartialTransaction(log_, session_);
        return false;
    }

    if (!StoreCollectionValue(TolkConstants::kPropSourcePath, installerPath_,
                              "Unable to store original install path of \"%1%\" for collection with ID \"%2%\" to "
                              "CAPS due to error %3%"))
        return false;
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Added original installer path of \"%1%\" to CAPS") % installerPath_).str());

    if (!StoreCollectionValue(kAliasPathKey, aliasPath_,
                              "Unable to store alias path of \"%1%\" for collection with ID \"%2%\" to CAPS due to "
                              "error %3%"))
        return false;
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Added alias path of \"%1%\" to CAPS") % aliasPath_).str());
    return true;
}

bool QENCAPSWriteCollectionDataCommand::StoreCollectionValue(const std::string& key, const std::string& value,
                                                             const char* failureFormat)
{
    // An empty value is stored as such: a null one would remove the key instead.
    const capsStatus status =
        capsSetCollectionData(session_, collectionID_.c_str(), kCapsDomainInstaller, key.c_str(), value.c_str());
    if (status == kCapsOK)
        return true;
    log_.AppendToLog(LogAppender::kLogError, (boost::format(failureFormat) % value % collectionID_ % status).str());
    QENCAPSCommandSteps::RollbackPartialTransaction(log_, session_);
    return false;
}

bool QENCAPSWriteCollectionDataCommand::DoCommit()
{
    commitRequested_ = true;
    const capsStatus status = capsSessionCommit(session_);
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Committed addition of collection with ID \"%1%\" and driver code \"%2%\" to "
                                        "CAPS") %
                          collectionID_ % driverCode_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to commit addition of collection with ID \"%1%\" and driver code "
                                        "\"%2%\" to CAPS due to error %3%") %
                          collectionID_ % driverCode_ % status)
                             .str());
    return status == kCapsOK;
}

bool QENCAPSWriteCollectionDataCommand::DoRollback()
{
    const capsStatus status = capsSessionRollback(session_);
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Rolled back addition of collection with ID \"%1%\" and driver code \"%2%\" "
                                        "to CAPS") %
                          collectionID_ % driverCode_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to roll back addition of collection with ID \"%1%\" and driver code "
                                        "\"%2%\" to CAPS due to error %3%") %
                          collectionID_ % driverCode_ % status)
                             .str());
    return status == kCapsOK;
}
