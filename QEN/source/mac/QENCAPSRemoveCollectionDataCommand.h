// QENCAPSRemoveCollectionDataCommand: removes a whole collection from the installation database
// in a session of its own, whose transaction stays open until the engine commits or rolls back.
#pragma once

#include "QENCommand.h"
#include "caps/caps.h"

#include <string>

class QENCAPSRemoveCollectionDataCommand : public QENCommand {
public:
    QENCAPSRemoveCollectionDataCommand(LogAppender& log, const std::string& collectionID);
    // Closes the session (what was never committed is discarded first).
    ~QENCAPSRemoveCollectionDataCommand() override;

    std::string GetName() const override;
    Records HeldRecords() const override { return kInstallationRecords; }

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string collectionID_;
    capsiSession* session_;
    // Set by DoCommit: from then on closing may commit what is left; before it, nothing may.
    bool commitRequested_;
};
