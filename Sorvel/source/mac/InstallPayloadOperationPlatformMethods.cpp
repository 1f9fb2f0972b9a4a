// The physical work of the command-payload operations: each runs the command engine through the
// glue that reports its progress and asks the user about a cancel.
#include "Sorvel/source/xplat/InstallPayloadOperationPlatformMethods.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "QEN/source/mac/QENEngineMac.h"
#include "QENPayloadInstaller.h"
#include "QENPayloadRepairer.h"
#include "QENPayloadUninstaller.h"
#include "Shared/TolkConstants.h"
#include "Sorvel/source/xplat/InstallPayloadOperationUtils.h"
#include "Sorvel/source/xplat/ThreadOperation.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

namespace {

const char* const kPropPayloadPath = "payloadPath";
// The status codes of a removal, as the command engine's runs report them.
const int kStatusRemoved = 0;
const int kStatusFailed = 2;

bool ExistingPath(const std::string& text)
{
    return FileSystemUtils::ValidateUTF8FullPathString(text) == FileSystemUtils::kPathValid &&
           FileSystemUtils::Exists(FileSystemPath(text));
}

// The removal of a collection whose bootstrapper left no uninstall script (an earlier Setup
// played it while payloads of the suite were still installed, and the record stayed): there is
// nothing left to play, and without this the suite's record could never go.
unsigned long RemoveCollectionRecord(const std::string& sessionKey, const FileSystemPath& script,
                                     ThreadOperation& operation)
{
    operation.AppendToLog(LogAppender::kLogWarn, "The uninstall script of collection " + sessionKey + " is missing (" +
                                                     script.AsUTF8String() +
                                                     "): what it would remove stays; only the collection's record "
                                                     "is removed.");
    bool removed = false;
    CAPSSessionPtr session;
    if (!session.Open()) {
        InstallPayloadOperationUtils::LogDatabaseOpenFailure(operation, session.GetStatus());
    } else {
        CAPSQueryUtilities::PackageManagementOperationResult result;
        const bool returned = operation.DoCAPSPackageManagementOperations(session, result);
        // A collection that still holds installed payloads is kept, and with it their record.
        removed = CAPSQueryUtilities::PackageManagementOperationSucceeded(returned, result) &&
                  result.corrupted.empty() && session.Commit();
        if (!removed) {
            session.Rollback();
            operation.AppendToLog(LogAppender::kLogError,
                                  "Unable to remove the record of collection " + sessionKey +
                                      (result.corrupted.empty() ? ": error " + std::to_string(result.status)
                                                                : ": payloads of it are still installed"));
        }
    }
    operation.SetStatusMessage(
        ContainerMessage(removed ? kStatusRemoved : kStatusFailed, ContainerMessage::NamedArguments()));
    return removed ? 0 : 1;
}

}  // namespace

namespace InstallPayloadOperationPlatformMethods {

unsigned long InstallPayload(const FileSystemPath&, const FileSystemPath& sourcePath, const PropertyMap& properties,
                             ThreadOperation* operation, UIThreadOperationManager& manager, PropertyMap&)
{
    if (operation == nullptr)
        return 1;
    std::vector<UserInterfaceMessagePrompt> prompts;
    QENPayloadInstaller installer(sourcePath, properties, *operation, manager, prompts);
    unsigned long result = 0;
    return static_cast<unsigned long>(installer.InstallPayload(result));
}

unsigned long UninstallPayload(const std::string& payloadCode, const std::string& sessionKey,
                               ThreadOperation* operation, UIThreadOperationManager& manager, PropertyMap&)
{
    if (operation == nullptr)
        return 1;
    PropertyMap properties;
    if (!InstallPayloadOperationUtils::LoadPayloadRepairOrUninstallProperties(payloadCode, sessionKey, properties)) {
        operation->AppendToLog(LogAppender::kLogError, "Unable to read the install properties of payload " +
                                                           payloadCode + " from the installation database.");
        return 1;
    }
    std::vector<UserInterfaceMessagePrompt> prompts;
    QENPayloadUninstaller uninstaller(payloadCode, *operation, manager, prompts, properties);
    unsigned long result = 0;
    return static_cast<unsigned long>(uninstaller.UninstallPayload(result));
}

unsigned long RepairPayload(const std::string& payloadCode, const std::string&, ThreadOperation* operation,
                            const std::string& sessionPayloadPath, UIThreadOperationManager& manager, PropertyMap&)
{
    if (operation == nullptr)
        return 1;
    // Only read from, and kept open until the repair has returned.
    CAPSSessionPtr session;
    if (!session.Open()) {
        InstallPayloadOperationUtils::LogDatabaseOpenFailure(*operation, session.GetStatus());
        return 1;
    }
    const char* stored = nullptr;
    if (capsGetPayloadData(session, payloadCode.c_str(), kCapsDomainInstaller, kPropPayloadPath, &stored) != kCapsOK ||
        stored == nullptr) {
        operation->AppendToLog(LogAppender::kLogError, "Unable to read payload path for repair operation.");
        return 1;
    }
    PropertyMap properties;
    if (!InstallPayloadOperationUtils::AddStoredPayloadProperties(session, payloadCode, properties)) {
        operation->AppendToLog(LogAppender::kLogError, "Unable to read install properties for repair operation.");
        return 1;
    }
    std::string image(stored);
    if (!ExistingPath(image) && ExistingPath(sessionPayloadPath)) {
        operation->AppendToLog(LogAppender::kLogInfo,
                               "Physical payload repair using session payload because original payload is missing.");
        operation->AppendToLog(LogAppender::kLogInfo, "Session payload path: " + sessionPayloadPath);
        image = sessionPayloadPath;
    }
    if (!InstallPayloadOperationUtils::SupportsPhysicalRepair(properties)) {
        operation->SetStatusMessage(ContainerMessage(0, ContainerMessage::NamedArguments()));
        operation->AppendToLog(LogAppender::kLogWarn,
                               "Physically repairing payloads installed with Setup versions 0.0.75.0 and earlier is "
                               "not supported on Mac - non fatal error");
        return 0;
    }
    if (FileSystemUtils::ValidateUTF8FullPathString(image) != FileSystemUtils::kPathValid) {
        operation->AppendToLog(LogAppender::kLogError, "Unable to read payload path for repair operation.");
        return 1;
    }
    const FileSystemPath imagePath(image);
    std::vector<UserInterfaceMessagePrompt> prompts;
    QENPayloadRepairer repairer(imagePath, properties, *operation, manager, prompts);
    unsigned long result = 0;
    return static_cast<unsigned long>(repairer.RepairPayload(result));
}

unsigned long UninstallBootstrapper(const std::string& sessionKey, ThreadOperation* operation,
                                    UIThreadOperationManager& manager)
{
    if (operation == nullptr)
        return 1;
    operation->AppendToLog(LogAppender::kLogDebug, "Uninstalling bootstrapper...");
    FileSystemPath script(std::string("/"));
    if (QENEngineMac::GetUninstallInstructionsPathForIdentifier(sessionKey, script) && !FileSystemUtils::Exists(script))
        return RemoveCollectionRecord(sessionKey, script, *operation);
    // The engine takes the script's identifier from "sessionID" when it is given none.
    const PropertyMap properties = {{TolkConstants::kPropSessionID, sessionKey}};
    std::vector<UserInterfaceMessagePrompt> prompts;
    QENPayloadUninstaller uninstaller(std::string(), *operation, manager, prompts, properties);
    unsigned long result = 0;
    return static_cast<unsigned long>(uninstaller.UninstallPayload(result));
}

}  // namespace InstallPayloadOperationPlatformMethods
