#include "QENCAPSRemovePayloadDataCommand.h"

#include "QENCAPSCommandSteps.h"
#include "Shared/TolkConstants.h"
#include "caps/CAPSSessionPtr.h"

#include <boost/format.hpp>

QENCAPSRemovePayloadDataCommand::QENCAPSRemovePayloadDataCommand(LogAppender& log, const std::string& collectionID,
                                                                 const std::string& payloadCode)
    : QENCommand(log), collectionID_(collectionID), payloadCode_(payloadCode), session_(nullptr),
      commitRequested_(false)
{
    // A payload is removed from the session that last changed it, whatever collection the
    // script had at hand. The look-up only reads: roll back so that closing commits nothing.
    CAPSSessionPtr lookup;
    if (!lookup.Open())
        return;
    const char* recorded = nullptr;
    if (capsGetPayloadData(lookup, payloadCode_.c_str(), kCapsDomainInstaller,
                           TolkConstants::kPropMostRecentManipulatingSession.c_str(), &recorded) == kCapsOK &&
        recorded != nullptr)
        collectionID_ = recorded;
    lookup.Rollback();
    lookup.Close();
}

QENCAPSRemovePayloadDataCommand::~QENCAPSRemovePayloadDataCommand()
{
    if (session_ == nullptr)
        return;
    const capsStatus status = QENCAPSCommandSteps::CloseSession(log_, session_, commitRequested_, GetName());
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Closed CAPS session for removal of payload with code \"%1%\"") % payloadCode_)
                             .str());
    else
        log_.AppendToLog(
            LogAppender::kLogDebug,
            (boost::format("Unable to close CAPS session for removal of payload with code \"%1%\" due to error %2%") %
             payloadCode_ % status)
                .str());
}

std::string QENCAPSRemovePayloadDataCommand::GetName() const
{
    return "QENCAPSRemovePayloadDataCommand";
}

bool QENCAPSRemovePayloadDataCommand::DoPerform()
{
    if (!QENCAPSCommandSteps::OpenSession(log_, session_))
        return false;
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Removing payload with code \"%1%\" from collection with ID \"%2%\" from CAPS") %
                      payloadCode_ % collectionID_)
                         .str());

    const CAPSQueryUtilities::PackageManagementData data(collectionID_, payloadCode_,
                                                         PayloadOperationConstants::kUninstall);
    CAPSQueryUtilities::PackageManagementOperationResult result;
    if (!QENCAPSCommandSteps::PackageManagementStep(log_, session_, data, result)) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to mark payload with code \"%1%\" from collection with ID \"%2%\" as "
                                        "uninstalled in CAPS due to error %3%") %
                          payloadCode_ % collectionID_ % result.status)
                             .str());
        QENCAPSCommandSteps::RollbackPartialTransaction(log_, session_);
        return false;
    }

    // The payload is marked uninstalled now; its record goes unless another collection still
    // has it installed, in which case the record (and the upgrade records that collection
    // needs) must stay.
    if (StillInstalledElsewhere()) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Payload with code \"%1%\" is still installed in another collection; keeping "
                                        "its record in CAPS") %
                          payloadCode_)
                             .str());
        return true;
    }
    const capsStatus status = capsRemovePayload(session_, payloadCode_.c_str());
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug, std::string("Removed"));
    else
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to remove payload with code \"%1%\" from collection with ID \"%2%\" "
                                        "from CAPS due to error %3%") %
                          payloadCode_ % collectionID_ % status)
                             .str());
    return true;
}

bool QENCAPSRemovePayloadDataCommand::StillInstalledElsewhere()
{
    std::string effective;
    CAPSQueryUtilities::OrvexCodeSet collections;
    if (!CAPSQueryUtilities::GetEffectiveOrvexCodeFromOriginal(session_, payloadCode_, effective) ||
        !CAPSQueryUtilities::GetInstallingCollectionsFromOrvexCode(session_, effective, collections))
        return false;
    collections.erase(collectionID_);
    return !collections.empty();
}

bool QENCAPSRemovePayloadDataCommand::DoCommit()
{
    commitRequested_ = true;
    const capsStatus status = capsSessionCommit(session_);
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Committed removal of payload with code \"%1%\" from collection with ID "
                                        "\"%2%\" from CAPS") %
                          payloadCode_ % collectionID_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to commit removal of payload with code \"%1%\" from collection with "
                                        "ID \"%2%\" from CAPS due to error %3%") %
                          payloadCode_ % collectionID_ % status)
                             .str());
    return status == kCapsOK;
}

bool QENCAPSRemovePayloadDataCommand::DoRollback()
{
    const capsStatus status = capsSessionRollback(session_);
    if (status == kCapsOK)
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Rolled back removal of payload with code \"%1%\" from collection with ID "
                                        "\"%2%\" from CAPS") %
                          payloadCode_ % collectionID_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to roll back removal of payload with code \"%1%\" from collection "
                                        "with ID \"%2%\" from CAPS due to error %3%") %
                          payloadCode_ % collectionID_ % status)
                             .str());
    return status == kCapsOK;
}
