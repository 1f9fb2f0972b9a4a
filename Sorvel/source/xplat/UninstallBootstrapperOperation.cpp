#include "UninstallBootstrapperOperation.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"
#include "InstallPayloadOperationPlatformMethods.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"

#include <exception>
#include <filesystem>

UninstallBootstrapperOperation::UninstallBootstrapperOperation(const std::string& sessionKey) : sessionKey_(sessionKey)
{
}

std::string UninstallBootstrapperOperation::GetOperationType()
{
    return "UninstallBootstrapperOperation";
}

bool UninstallBootstrapperOperation::GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>&)
{
    return true;
}

bool UninstallBootstrapperOperation::DoCAPSPackageManagementOperations(
    CAPSSessionPtr& session, CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    if (!session.IsOpen())
        return false;
    const CAPSQueryUtilities::PackageManagementData data(sessionKey_, PayloadOperationConstants::kUninstall);
    return CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, data, result);
}

int UninstallBootstrapperOperation::operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>&)
{
    std::string text = "UninstallBootstrapperOperation: ";
    std::string current;
    FileSystemPath root(std::string("/"));
    bool haveRoot = false;
    try {
        current = std::filesystem::current_path().string();
        haveRoot = FileSystemVolume(FileSystemPath(current)).RootPath(root);
    } catch (const std::exception&) {
        // No working directory, or none on a volume: reported as a missing root below.
    }
    if (!haveRoot)
        text += "Could not obtain the RootPath of " + current;
    else if (root.AsUTF8String() == current)
        text += "Staying put with a working directory of " + current;
    else if (FileSystemUtils::SetWorkingDirectory(root))
        text += "Changed working directory to " + root.AsUTF8String();
    else
        text += "Could not change working directory to " + root.AsUTF8String();
    AppendToLog(kLogInfo, text);
    return static_cast<int>(InstallPayloadOperationPlatformMethods::UninstallBootstrapper(sessionKey_, this, manager));
}
