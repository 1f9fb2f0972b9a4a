// QENRelocationDataCommand: the base of the two commands that change the relocation data of a
// storage key's uninstall database. Both open the database in their perform and keep its
// transaction open until the engine commits or rolls back.
#pragma once

#include "QENCommand.h"
#include "caps/UninstallDBAccess.h"

#include <boost/shared_ptr.hpp>

#include <string>

class QENRelocationDataCommand : public QENCommand {
public:
    // Releases the accessor, which discards whatever was not committed.
    ~QENRelocationDataCommand() override;

    Records HeldRecords() const override { return kUninstallRecords; }

protected:
    QENRelocationDataCommand(LogAppender& log, const std::string& storageKey);

    // Opens the storage key's uninstall database for the perform; kCapsOK, or the error, which
    // it logged.
    capsStatus OpenDatabase();
    // End the transaction that the perform opened (nothing to do when it opened none); true when
    // that worked.
    bool DoCommit() override;
    bool DoRollback() override;

    const std::string storageKey_;
    boost::shared_ptr<UninstallDBAccess> accessor_;

private:
    bool EndTransaction(bool commit);
};
