#include "QENSetDisplayAttributesCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENSetDisplayAttributesCommand::QENSetDisplayAttributesCommand(LogAppender& log, const FileSystemPath& path,
                                                               std::uint32_t attributes, std::uint32_t mask)
    : QENCommand(log), path_(path), attributes_(attributes), mask_(mask), savedAttributes_(0)
{
}

QENSetDisplayAttributesCommand::~QENSetDisplayAttributesCommand() {}

std::string QENSetDisplayAttributesCommand::GetName() const
{
    return "QENSetDisplayAttributesCommand";
}

bool QENSetDisplayAttributesCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    if (!FileSystemUtilsMac::GetDisplayAttributes(path_, savedAttributes_)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to read display attributes of \"%1%\"") % path));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved display attributes of %1$08x for \"%2%\"") % savedAttributes_ % path));
    if (!FileSystemUtilsMac::SetDisplayAttributes(path_, attributes_, mask_)) {
        // Only a debug line: the engine reports the failed command as an error itself.
        log_.AppendToLog(LogAppender::kLogDebug,
                         str(format("Unable to set display attributes of \"%1%\" to %2$08x with mask %3$08x") % path %
                             attributes_ % mask_));
        return false;
    }
    return true;
}

bool QENSetDisplayAttributesCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Restoring display attributes for \"%1%\" to %2$08x with mask %3$08x") % path %
                         savedAttributes_ % mask_));
    if (!FileSystemUtilsMac::SetDisplayAttributes(path_, savedAttributes_, mask_)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to restore display attributes of \"%1%\" to %2$08x with mask %3$08x") %
                             path % savedAttributes_ % mask_));
        return false;
    }
    return true;
}

bool QENSetDisplayAttributesCommand::DoCommit()
{
    return true;
}
