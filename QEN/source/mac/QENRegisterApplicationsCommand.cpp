#include "QENRegisterApplicationsCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENRegisterApplicationsCommand::QENRegisterApplicationsCommand(LogAppender& log,
                                                               const std::vector<FileSystemPath>& applications)
    : QENCommand(log), applications_(applications)
{
}

QENRegisterApplicationsCommand::~QENRegisterApplicationsCommand() {}

std::string QENRegisterApplicationsCommand::GetName() const
{
    return "QENRegisterApplicationsCommand";
}

bool QENRegisterApplicationsCommand::DoPerform()
{
    for (const FileSystemPath& application : applications_) {
        const std::string path = application.AsUTF8String();
        log_.AppendToLog(LogAppender::kLogDebug, str(format("Registering application at \"%1%\"") % path));
        if (!FileSystemUtilsMac::RegisterApplication(application))
            log_.AppendToLog(LogAppender::kLogWarn,
                             str(format("Attempt to register application at \"%1%\" failed") % path));
    }
    return true;
}

bool QENRegisterApplicationsCommand::DoRollback()
{
    log_.AppendToLog(LogAppender::kLogDebug, "Rollback of app registration is not supported");
    return false;
}

bool QENRegisterApplicationsCommand::DoCommit()
{
    return true;
}
