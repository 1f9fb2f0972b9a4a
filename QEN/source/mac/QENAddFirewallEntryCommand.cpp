#include "QENAddFirewallEntryCommand.h"

#include "FirewallAccessor.h"

#include <boost/format.hpp>

QENAddFirewallEntryCommand::QENAddFirewallEntryCommand(LogAppender& log, const std::string& name,
                                                       const std::vector<std::uint32_t>& ports)
    : QENCommand(log), name_(name), ports_(ports), replacedUnreadableFile_(false)
{
}

std::string QENAddFirewallEntryCommand::GetName() const
{
    return "QENAddFirewallEntryCommand";
}

bool QENAddFirewallEntryCommand::DoPerform()
{
    const FirewallEntry entry(name_, ports_, true, true);
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Adding firewall rule named \"%1%\"") % name_).str());
    FirewallAccessor accessor;
    FirewallEntryPtr previous = accessor.GetEntryWithName(name_);
    // A file that cannot be read as settings is replaced by the add: the rollback puts it back
    // as it was, rather than leave a file with no rules in its place.
    std::string unreadable;
    const bool unreadableFile = accessor.GetUnreadableSettings(unreadable);
    const bool added = accessor.SetEntry(entry);
    if (added) {
        replaced_ = previous;
        replacedUnreadableFile_ = unreadableFile;
        replacedBytes_.swap(unreadable);
        log_.AppendToLog(LogAppender::kLogDebug, "Added");
    } else {
        log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Unable to add firewall rule named \"%1%\"") % name_).str());
    }
    return added;
}

bool QENAddFirewallEntryCommand::DoRollback()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Removing added firewall rule named \"%1%\"") % name_).str());
    FirewallAccessor accessor;
    if (replacedUnreadableFile_) {
        if (!accessor.RestoreSettings(replacedBytes_)) {
            log_.AppendToLog(LogAppender::kLogDebug,
                             (boost::format("Unable to remove added firewall rule named \"%1%\"") % name_).str());
            return false;
        }
        log_.AppendToLog(LogAppender::kLogDebug, "Removed");
        return true;
    }
    FirewallEntryPtr removed;
    if (!accessor.RemoveEntryWithName(name_, removed)) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to remove added firewall rule named \"%1%\"") % name_).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Removed");
    if (!replaced_)
        return true;

    // The rule that stood under this name before the add is the one to leave behind.
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Restoring replaced firewall rule named \"%1%\"") % name_).str());
    if (!accessor.SetEntry(*replaced_)) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to restore replaced firewall rule named \"%1%\"") % name_).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Restored");
    return true;
}

bool QENAddFirewallEntryCommand::DoCommit()
{
    return true;
}
