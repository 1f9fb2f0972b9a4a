// The physical work of the operations on payloads of other makers: an application started
// through the system's CFM launcher, or a "tolk1" payload run by the command engine.
#include "Sorvel/source/xplat/InstallPayloadOperationPlatformMethods.h"

#include "Common/source/mac/ExecUtils.h"
#include "QENPayloadInstaller.h"
#include "QENPayloadRepairer.h"
#include "QENPayloadUninstaller.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Sorvel/source/xplat/InstallPayloadOperationUtils.h"
#include "Sorvel/source/xplat/ThreadOperation.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"
#include "caps/CAPSSessionPtr.h"

#include "platform/SystemRoot.h"

#include <boost/format.hpp>

namespace {

const char* const kLaunchCFMApp = "/System/Library/Frameworks/Carbon.framework/Versions/A/Support/LaunchCFMApp";
const char* const kPropThirdPartyTolk = "THIRD_PARTY_TOLK";

bool IsTolk1(const std::string& packageType)
{
    return packageType == PayloadProxyFileConstants::kThirdPartyTypeTolk1;
}

// {"THIRD_PARTY_TOLK" = "1"} and the payload's stored install properties; logs with the texts of
// the action and answers false when those cannot be read.
bool StoredTolk1Properties(CAPSSessionPtr& session, const std::string& payloadCode, ThreadOperation& operation,
                           const std::string& action, InstallPayloadOperationPlatformMethods::PropertyMap& properties)
{
    properties = {{kPropThirdPartyTolk, "1"}};
    if (!session.Open()) {
        operation.AppendToLog(LogAppender::kLogError, "Unable to access install properties for " + action + " operation.");
        return false;
    }
    if (!InstallPayloadOperationUtils::AddStoredPayloadProperties(session, payloadCode, properties)) {
        operation.AppendToLog(LogAppender::kLogError, "Unable to read install properties for " + action + " operation.");
        return false;
    }
    return true;
}

}  // namespace

namespace InstallPayloadOperationPlatformMethods {

unsigned long InstallThirdPartyPayload(const FileSystemPath&, const FileSystemPath& workPath,
                                       const std::string& packageType, const PropertyMap& properties,
                                       const std::string&, const std::string&, const PropertyMap&,
                                       ThreadOperation* operation, UIThreadOperationManager& manager,
                                       unsigned long& exitCode, PropertyMap&)
{
    if (operation == nullptr)
        return 1;
    operation->AppendToLog(LogAppender::kLogInfo, "Installing third party payload");
    if (packageType == PayloadProxyFileConstants::kThirdPartyTypeCfmApplication) {
        const std::string application = workPath.AsUTF8String();
        const std::vector<std::string> arguments = {platform::SystemRoot::Resolve(kLaunchCFMApp), application};
        std::string refusal;
        if (!ExecUtils::MayRunProgram(arguments[0], refusal)) {
            operation->AppendToLog(LogAppender::kLogError, "The CFM app " + application + " was not run: " + refusal);
            return 1;
        }
        operation->AppendToLog(LogAppender::kLogInfo, "Running CFM app: " + application);
        bool ioError = false;
        const int code = ExecUtils::RunExecutable(arguments, nullptr, 0, nullptr, ioError, true);
        exitCode = static_cast<unsigned long>(code);
        if (code != ExecUtils::kExecFailed && !ioError) {
            // The exit code is the caller's to judge.
            operation->SetStatusMessage(ContainerMessage(0, ContainerMessage::NamedArguments()));
            return 0;
        }
        operation->AppendToLog(LogAppender::kLogInfo, (boost::format("LaunchCFMApp returned %1%") % code).str());
        if (ioError)
            operation->AppendToLog(LogAppender::kLogInfo, "LaunchCFMApp had an i/o error");
        return 1;
    }
    if (IsTolk1(packageType)) {
        PropertyMap tolkProperties = {{kPropThirdPartyTolk, "1"}};
        tolkProperties.insert(properties.begin(), properties.end());
        std::vector<UserInterfaceMessagePrompt> prompts;
        QENPayloadInstaller installer(workPath, tolkProperties, *operation, manager, prompts);
        const int result = installer.InstallPayload(exitCode);
        return static_cast<unsigned long>(result);
    }
    operation->AppendToLog(LogAppender::kLogError, "Unsupported payload type provided to InstallThirdPartyPayload: " +
                                                       packageType);
    return 1;
}

unsigned long RepairThirdPartyPayload(const FileSystemPath& sourcePath, const std::string& payloadCode,
                                      const std::string&, const std::string& packageType, const std::string&,
                                      const std::string&, const PropertyMap&, ThreadOperation* operation,
                                      UIThreadOperationManager& manager, unsigned long& exitCode, PropertyMap&)
{
    if (!IsTolk1(packageType)) {
        if (operation != nullptr)
            operation->AppendToLog(LogAppender::kLogError,
                                   "Attempt made to repair third party payload type that doesn't support repair, failing.");
        return 1;
    }
    if (operation == nullptr)
        return 1;
    // Only read from, and kept open until the repair has returned.
    CAPSSessionPtr session;
    PropertyMap properties;
    if (!StoredTolk1Properties(session, payloadCode, *operation, "repair", properties))
        return 1;
    if (!InstallPayloadOperationUtils::SupportsPhysicalRepair(properties)) {
        operation->SetStatusMessage(ContainerMessage(0, ContainerMessage::NamedArguments()));
        operation->AppendToLog(LogAppender::kLogWarn,
                               "Physically repairing payloads installed with Setup versions 0.0.75.0 and earlier is "
                               "not supported on Mac - non fatal error");
        return 0;
    }
    std::vector<UserInterfaceMessagePrompt> prompts;
    QENPayloadRepairer repairer(sourcePath, properties, *operation, manager, prompts);
    return static_cast<unsigned long>(repairer.RepairPayload(exitCode));
}

unsigned long UninstallThirdPartyPayload(const std::string& payloadCode, const std::string&,
                                         const std::string& packageType, const std::string&, const std::string&,
                                         const PropertyMap&, ThreadOperation* operation,
                                         UIThreadOperationManager& manager, unsigned long& exitCode, PropertyMap&)
{
    if (!IsTolk1(packageType)) {
        if (operation != nullptr)
            operation->AppendToLog(LogAppender::kLogError, "Attempt made to uninstall third party payload type that "
                                                           "doesn't support uninstall, failing.");
        return 1;
    }
    if (operation == nullptr)
        return 1;
    PropertyMap properties;
    {
        CAPSSessionPtr session;
        if (!StoredTolk1Properties(session, payloadCode, *operation, "uninstall", properties))
            return 1;
        session.Rollback();
    }
    std::vector<UserInterfaceMessagePrompt> prompts;
    QENPayloadUninstaller uninstaller(payloadCode, *operation, manager, prompts, properties);
    return static_cast<unsigned long>(uninstaller.UninstallPayload(exitCode));
}

bool WriteThirdPartyPayloadCAPSData(capsiSession*, const std::string&, const FileSystemPath&)
{
    return true;
}

}  // namespace InstallPayloadOperationPlatformMethods
