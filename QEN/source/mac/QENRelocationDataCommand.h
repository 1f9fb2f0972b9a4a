// QENRelocationDataCommand: the base of the two commands that change the relocation data of a
// storage key's uninstall database. Both open the database in their perform and keep its
// transaction open until the engine commits or rolls back. The engine commits them before the
// installation database's records, and both must stand or neither: until the command goes, a
// copy of the database as it was before the run is kept beside it, which a rollback after the
// commit puts back (as the run's journal does for a run that died).
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
    // The database's earlier self comes back (or, when the run made it, it goes).
    bool UndoBeforePerform(QENUndoStep& step) const override;

protected:
    QENRelocationDataCommand(LogAppender& log, const std::string& storageKey);

    // Opens the storage key's uninstall database for the perform and keeps the copy of what was
    // there; kCapsOK, or the error, which it logged.
    capsStatus OpenDatabase();
    // End the transaction that the perform opened (nothing to do when it opened none); true when
    // that worked. A rollback after the commit puts the earlier database back instead.
    bool DoCommit() override;
    bool DoRollback() override;

    const std::string storageKey_;
    boost::shared_ptr<UninstallDBAccess> accessor_;

private:
    bool EndTransaction(bool commit);
    bool KeepEarlierDatabase();
    bool PutBackEarlierDatabase();

    std::string databaseFile_;  // empty when the key names no file
    bool databaseExisted_;      // before the run
    std::string earlierCopy_;   // the name of the copy of what existed; empty when none
    bool keptCopy_;             // the copy is there
    bool committed_;
};
