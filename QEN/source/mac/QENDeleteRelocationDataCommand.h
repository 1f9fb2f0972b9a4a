// QENDeleteRelocationDataCommand: deletes every path alias and token volume of a storage key's
// uninstall database; the transaction stays open until the engine commits or rolls back.
#pragma once

#include "QENCommand.h"
#include "UninstallDBAccess.h"

#include <boost/shared_ptr.hpp>

#include <string>

class QENDeleteRelocationDataCommand : public QENCommand {
public:
    QENDeleteRelocationDataCommand(LogAppender& log, const std::string& storageKey);
    // Releases the accessor, which discards whatever was not committed.
    ~QENDeleteRelocationDataCommand() override;

    std::string GetName() const override;
    Records HeldRecords() const override { return kUninstallRecords; }

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string storageKey_;
    boost::shared_ptr<UninstallDBAccess> accessor_;
};
