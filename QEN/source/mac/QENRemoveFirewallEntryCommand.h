// QENRemoveFirewallEntryCommand: removes a firewall rule and keeps it, so that its rollback can
// write it back with everything it held.
#pragma once

#include "FirewallEntry.h"
#include "QENCommand.h"

#include <string>

class QENRemoveFirewallEntryCommand : public QENCommand {
public:
    QENRemoveFirewallEntryCommand(LogAppender& log, const std::string& name);

    std::string GetName() const override;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string name_;
    FirewallEntryPtr removed_;
};
