#include "QENOrvexSelfHealUninstallCommand.h"

#include "Common/source/mac/BundleUtils.h"
#include "Common/source/mac/ExecUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/Folders.h"

#include <boost/format.hpp>
#include <boost/shared_ptr.hpp>

#include <stdexcept>
#include <vector>

const char* const QENOrvexSelfHealUninstallCommand::kTargetBundleIDKey = "VeltTargetBundleID";
const char* const QENOrvexSelfHealUninstallCommand::kRemoverToolName = "RemoverTool";

namespace {

// The nearest application bundle (with an executable) enclosing the path, and its identifier;
// either pointer is empty when there is no such bundle or (for the identifier) it has none.
boost::shared_ptr<FileSystemPath> GetEnclosingAppInfo(const FileSystemPath& path,
                                                      boost::shared_ptr<std::string>& bundleID)
{
    bundleID.reset();
    platform::BundlePtr application =
        BundleUtils::CreateEnclosingCFBundleOfType(path, platform::FourCharCode('A', 'P', 'P', 'L'), true);
    if (!application)
        return boost::shared_ptr<FileSystemPath>();
    boost::shared_ptr<FileSystemPath> applicationPath;
    try {
        applicationPath.reset(new FileSystemPath(application->Path()));
    } catch (const std::runtime_error&) {
        return boost::shared_ptr<FileSystemPath>();
    }
    std::string identifier;
    if (application->InfoString("CFBundleIdentifier", identifier))
        bundleID.reset(new std::string(identifier));
    return applicationPath;
}

// The target names the application when it is the identifier or a beginning of it, case and
// all.
bool TargetsApplication(const std::string& target, const std::string& identifier)
{
    return target.size() <= identifier.size() && identifier.compare(0, target.size(), target) == 0;
}

}  // namespace

QENOrvexSelfHealUninstallCommand::QENOrvexSelfHealUninstallCommand(LogAppender& log, const FileSystemPath& path)
    : QENCommand(log), path_(path)
{
}

std::string QENOrvexSelfHealUninstallCommand::GetName() const
{
    return "QENOrvexSelfHealUninstallCommand";
}

bool QENOrvexSelfHealUninstallCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    boost::shared_ptr<std::string> identifier;
    boost::shared_ptr<FileSystemPath> application = GetEnclosingAppInfo(path_, identifier);
    if (!application || !identifier) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to locate enclosing application bundle information for path \"%1%\"") %
                          path)
                             .str());
        return false;
    }

    std::vector<FileSystemPath> uninstallers;
    std::vector<FileSystemPath> neighbours;
    if (FileSystemUtils::ChildrenForDirectory(application->Parent(), neighbours)) {
        for (const FileSystemPath& neighbour : neighbours) {
            if (neighbour.AsUTF8String() == application->AsUTF8String())
                continue;
            platform::BundlePtr bundle = BundleUtils::CreateBundleFromPath(neighbour);
            std::string target;
            if (bundle && bundle->InfoString(kTargetBundleIDKey, target) && TargetsApplication(target, *identifier))
                uninstallers.push_back(neighbour);
        }
    }
    if (uninstallers.empty()) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("No uninstallers were found for the self-healing library at \"%1%\"") % path)
                             .str());
    }

    for (const FileSystemPath& uninstaller : uninstallers) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Inspecting the uninstaller at \"%1%\" for the self-healing library at \"%2%\"") %
                          uninstaller.AsUTF8String() % path)
                             .str());
        platform::BundlePtr bundle = BundleUtils::CreateBundleFromPath(uninstaller);
        std::string tool;
        if (!bundle || !bundle->AuxiliaryExecutablePath(kRemoverToolName, tool)) {
            log_.AppendToLog(LogAppender::kLogWarn,
                             (boost::format("No RemoverTool was found in the uninstaller at \"%1%\" for the "
                                            "self-healing library at \"%2%\"") %
                              uninstaller.AsUTF8String() % path)
                                 .str());
            continue;
        }
        log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Running the RemoverTool at \"%1%\"") % tool).str());
        std::vector<std::string> arguments;
        arguments.push_back(tool);
        arguments.push_back(tool);
        arguments.push_back(application->AsUTF8String());
        bool ioError = false;
        const int code = ExecUtils::RunExecutable(arguments, nullptr, 0, nullptr, ioError, false);
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("RemoverTool at \"%1%\" exited with code \"%2%\"") % tool % code).str());
    }
    return true;
}

bool QENOrvexSelfHealUninstallCommand::DoRollback()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Rollback of self-healing uninstall is not supported for OrvexSelfHealing at "
                                    "\"%1%\"") %
                      path_.AsUTF8String())
                         .str());
    return false;
}

bool QENOrvexSelfHealUninstallCommand::DoCommit()
{
    return true;
}
