#include "QENRemoveFirewallEntryCommand.h"

#include "FirewallAccessor.h"

#include <boost/format.hpp>

QENRemoveFirewallEntryCommand::QENRemoveFirewallEntryCommand(LogAppender& log, const std::string& name)
    : QENCommand(log), name_(name)
{
}

std::string QENRemoveFirewallEntryCommand::GetName() const
{
    return "QENRemoveFirewallEntryCommand";
}

bool QENRemoveFirewallEntryCommand::DoPerform()
{
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Removing firewall rule named \"%1%\"") % name_).str());
    FirewallAccessor accessor;
    if (!accessor.RemoveEntryWithName(name_, removed_)) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("Unable to remove firewall rule named \"%1%\"") % name_).str());
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Removed");
    return true;
}

bool QENRemoveFirewallEntryCommand::DoRollback()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Restoring removed firewall rule named \"%1%\"") % name_).str());
    FirewallAccessor accessor;
    if (removed_ && accessor.SetEntry(*removed_)) {
        log_.AppendToLog(LogAppender::kLogDebug, "Restored");
        return true;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Unable to restore removed firewall rule named \"%1%\"") % name_).str());
    return false;
}

bool QENRemoveFirewallEntryCommand::DoCommit()
{
    return true;
}
