// QENAddFirewallEntryCommand: adds (or replaces) an enabled, editable firewall rule that opens
// a list of ports; its rollback takes the rule away again, or puts back the rule it replaced, or
// the whole settings file it replaced when that could not be read as settings.
#pragma once

#include "FirewallEntry.h"
#include "QENCommand.h"

#include <cstdint>
#include <string>
#include <vector>

class QENAddFirewallEntryCommand : public QENCommand {
public:
    QENAddFirewallEntryCommand(LogAppender& log, const std::string& name, const std::vector<std::uint32_t>& ports);

    std::string GetName() const override;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string name_;
    std::vector<std::uint32_t> ports_;
    // The rule of the same name that the perform replaced, if any.
    FirewallEntryPtr replaced_;
    // The bytes of a settings file that did not read as settings, which the perform replaced.
    bool replacedUnreadableFile_;
    std::string replacedBytes_;
};
