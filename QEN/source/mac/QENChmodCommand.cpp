#include "QENChmodCommand.h"

#include "platform/files/DiskNames.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENChmodCommand::QENChmodCommand(LogAppender& log, const FileSystemPath& path, unsigned short mode)
    : QENCommand(log), path_(path), newMode_(mode), savedMode_(0)
{
}

QENChmodCommand::~QENChmodCommand() {}

std::string QENChmodCommand::GetName() const
{
    return "QENChmodCommand";
}

bool QENChmodCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    // The mode kept is read from the object that is changed, through the one descriptor.
    platform::ChangedObject object;
    if (object.Open(platform::OnDiskPath(path)) != 0) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to get permissions of \"%1%\"") % path));
        return false;
    }
    savedMode_ = static_cast<unsigned short>(object.Status().st_mode & 07777);
    object_ = object.Identity();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Saved permissions of %1$04o") % savedMode_));
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Setting permissions to %1$04o") % newMode_));
    if (object.ChangeMode(newMode_) != 0) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to set permissions of \"%1%\" to %2$04o") % path % newMode_));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Set");
    return true;
}

bool QENChmodCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Restoring permissions for \"%1%\" to %2$04o") % path % savedMode_));
    bool setIdKept = true;
    if (platform::GiveBackMode(platform::OnDiskPath(path), object_, savedMode_, setIdKept) != 0) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to restore permissions of \"%1%\" to %2$04o") % path % savedMode_));
        return false;
    }
    if (!setIdKept)
        log_.AppendToLog(LogAppender::kLogWarn,
                         str(format("The set-user-ID and set-group-ID bits of \"%1%\" were not given back: its "
                                    "mode let other users write it meanwhile") %
                             path));
    log_.AppendToLog(LogAppender::kLogDebug, "Restored");
    return true;
}

bool QENChmodCommand::DoCommit()
{
    return true;
}

bool QENChmodCommand::UndoAfterPerform(QENUndoStep& step) const
{
    step = QENUndoStep(QENUndoStep::kSetMode, path_.AsUTF8String(), object_.handle, savedMode_);
    step.device = object_.device;
    step.inode = object_.inode;
    return true;
}
