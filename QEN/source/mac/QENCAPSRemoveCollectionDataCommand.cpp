#include "QENCAPSRemoveCollectionDataCommand.h"

#include "QENCAPSCommandSteps.h"

#include <boost/format.hpp>

QENCAPSRemoveCollectionDataCommand::QENCAPSRemoveCollectionDataCommand(LogAppender& log,
                                                                       const std::string& collectionID)
    : QENCommand(log), collectionID_(collectionID), session_(nullptr), commitRequested_(false)
{
}

QENCAPSRemoveCollectionDataCommand::~QENCAPSRemoveCollectionDataCommand()
{
    if (session_ == nullptr)
        return;
    const capsStatus status = QENCAPSCommandSteps::CloseSession(log_, session_, commitRequested_, GetName());
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Closed CAPS session for removal of collection with ID \"%1%\"") %
                          collectionID_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to close CAPS session for removal of collection with ID \"%1%\" due "
                                        "to error %2%") %
                          collectionID_ % status)
                             .str());
}

std::string QENCAPSRemoveCollectionDataCommand::GetName() const
{
    return "QENCAPSRemoveCollectionDataCommand";
}

bool QENCAPSRemoveCollectionDataCommand::DoPerform()
{
    if (!QENCAPSCommandSteps::OpenSession(log_, session_))
        return false;
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Removing collection with ID \"%1%\" from CAPS") % collectionID_).str());

    const CAPSQueryUtilities::PackageManagementData data(collectionID_, PayloadOperationConstants::kUninstall);
    CAPSQueryUtilities::PackageManagementOperationResult result;
    if (!QENCAPSCommandSteps::PackageManagementStep(log_, session_, data, result)) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to remove collection with ID \"%1%\" from CAPS due to error %2%") %
                          collectionID_ % result.status)
                             .str());
        QENCAPSCommandSteps::RollbackPartialTransaction(log_, session_);
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, std::string("Removed"));
    return true;
}

bool QENCAPSRemoveCollectionDataCommand::DoCommit()
{
    commitRequested_ = true;
    const capsStatus status = capsSessionCommit(session_);
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Committed removal of collection with ID \"%1%\" from CAPS") % collectionID_)
                             .str());
    else
        log_.AppendToLog(
            LogAppender::kLogDebug,
            (boost::format("Unable to commit removal of collection with ID \"%1%\" from CAPS due to error %2%") %
             collectionID_ % status)
                .str());
    return status == kCapsOK;
}

bool QENCAPSRemoveCollectionDataCommand::DoRollback()
{
    const capsStatus status = capsSessionRollback(session_);
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Rolled back removal of collection with ID \"%1%\" from CAPS") %
                          collectionID_)
                             .str());
    else
        log_.AppendToLog(
            LogAppender::kLogDebug,
            (boost::format("Unable to roll back removal of collection with ID \"%1%\" from CAPS due to error %2%") %
             collectionID_ % status)
                .str());
    return status == kCapsOK;
}
