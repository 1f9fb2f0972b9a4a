#include "QENChownCommand.h"

#include "platform/files/DiskNames.h"

#include <boost/format.hpp>

#include <grp.h>
#include <pwd.h>

#include <cerrno>
#include <limits>
#include <utility>
#include <vector>

using boost::format;
using boost::str;

namespace {

const char kDigits[] = "0123456789";

// The id of a text of digits; false when it does not fit an id.
bool ParseDecimalID(const std::string& text, std::uint32_t& id)
{
    std::uint64_t value = 0;
    for (char digit : text) {
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return false;
    }
    id = static_cast<std::uint32_t>(value);
    return true;
}

// Looks a name up in the user (or group) database; the buffer grows while the entry does not fit.
bool LookUpName(const std::string& name, bool isGroup, std::uint32_t& id)
{
    std::vector<char> buffer(1024);
    for (;;) {
        int error = 0;
        if (isGroup) {
            struct group entry;
            struct group* found = nullptr;
            error = getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
            if (error == 0) {
                if (found == nullptr)
                    return false;
                id = static_cast<std::uint32_t>(found->gr_gid);
                return true;
            }
        } else {
            struct passwd entry;
            struct passwd* found = nullptr;
            error = getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
            if (error == 0) {
                if (found == nullptr)
                    return false;
                id = static_cast<std::uint32_t>(found->pw_uid);
                return true;
            }
        }
        if (error != ERANGE || buffer.size() >= (1u << 20))
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool ResolveID(const std::string& text, bool isGroup, std::uint32_t& id)
{
    id = 0;
    if (text.find_first_not_of(kDigits) == std::string::npos)
        return ParseDecimalID(text, id);
    return LookUpName(text, isGroup, id);
}

// The warning of a change of owner that could not give the mode (see ChangedObject::ChangeOwner).
void WarnOfModeLost(LogAppender& log, const std::string& path, mode_t mode, bool modeKept)
{
    if (!modeKept)
        log.AppendToLog(LogAppender::kLogWarn,
                        str(format("Unable to restore permissions of \"%1%\" to %2$04o") % path % mode));
}

}  // namespace

QENChownCommand::QENChownCommand(LogAppender& log, const FileSystemPath& path, std::string user, std::string group)
    : QENCommand(log),
      path_(path),
      user_(std::move(user)),
      group_(std::move(group)),
      newOwner_(0),
      newGroup_(0),
      savedOwner_(0),
      savedGroup_(0),
      savedMode_(0),
      ownerResolved_(false),
      groupResolved_(false)
{
    const std::string text = path_.AsUTF8String();
    ownerResolved_ = ResolveID(user_, false, newOwner_);
    if (ownerResolved_)
        log_.AppendToLog(LogAppender::kLogDebug,
                         str(format("User \"%1%\" resolved to uid %2% for path \"%3%\"") % user_ % newOwner_ % text));
    else
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to resolve user \"%1%\" for path \"%2%\"") % user_ % text));
    groupResolved_ = ResolveID(group_, true, newGroup_);
    if (groupResolved_)
        log_.AppendToLog(LogAppender::kLogDebug,
                         str(format("Group \"%1%\" resolved to gid %2% for path \"%3%\"") % group_ % newGroup_ % text));
    else
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to resolve group \"%1%\" for path \"%2%\"") % group_ % text));
}

QENChownCommand::~QENChownCommand() {}

std::string QENChownCommand::GetName() const
{
    return "QENChownCommand";
}

bool QENChownCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    if (!ownerResolved_ || !groupResolved_) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to set owner and group of \"%1%\" to user \"%2%\" and group \"%3%\"") %
                             path % user_ % group_));
        return false;
    }
    // The owner kept is read from the object that is changed, through the one descriptor.
    platform::ChangedObject object;
    if (object.Open(platform::OnDiskPath(path)) != 0) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to preserve owner and group of \"%1%\"") % path));
        return false;
    }
    savedOwner_ = object.Status().st_uid;
    savedGroup_ = object.Status().st_gid;
    savedMode_ = static_cast<unsigned short>(object.Status().st_mode & 07777);
    object_ = object.Identity();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved owner %1% and group %2% for \"%3%\"") % savedOwner_ % savedGroup_ % path));
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Setting owner to %1% and group to %2%") % newOwner_ % newGroup_));
    const mode_t mode = object.ModeKeptAcrossOwnerChange();
    bool modeKept = true;
    if (object.ChangeOwner(newOwner_, newGroup_, mode, modeKept) != 0) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to set owner and group of \"%1%\" to %2% and %3%") % path % newOwner_ % newGroup_));
        return false;
    }
    WarnOfModeLost(log_, path, mode, modeKept);
    log_.AppendToLog(LogAppender::kLogDebug, "Set");
    return true;
}

bool QENChownCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(
        LogAppender::kLogDebug,
        str(format("Restoring owner to %1% and group to %2% for \"%3%\"") % savedOwner_ % savedGroup_ % path));
    bool setIdKept = true;
    bool modeKept = true;
    if (platform::GiveBackOwner(platform::OnDiskPath(path), object_, savedOwner_, savedGroup_, savedMode_, setIdKept,
                                modeKept) != 0) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to restore owner %1% and group %2% for \"%3%\"") % savedOwner_ % savedGroup_ % path));
        return false;
    }
    if (!setIdKept)
        log_.AppendToLog(LogAppender::kLogWarn,
                         str(format("The set-user-ID and set-group-ID bits of \"%1%\" were not given back: it was "
                                    "user %2%'s meanwhile, who could have changed what it holds") %
                             path % newOwner_));
    WarnOfModeLost(log_, path, savedMode_, modeKept);
    log_.AppendToLog(LogAppender::kLogDebug, "Restored");
    return true;
}

bool QENChownCommand::DoCommit()
{
    return true;
}

bool QENChownCommand::UndoAfterPerform(QENUndoStep& step) const
{
    step =
        QENUndoStep(QENUndoStep::kSetOwner, path_.AsUTF8String(), object_.handle, savedMode_, savedOwner_, savedGroup_);
    step.device = object_.device;
    step.inode = object_.inode;
    return true;
}
