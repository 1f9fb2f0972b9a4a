// QENCAPSRemovePayloadDataCommand: marks a payload uninstalled in its collection and deletes its
// record from the installation database, in a session whose transaction the engine ends.
#pragma once

#include "QENCommand.h"
#include "caps/caps.h"

#include <string>

class QENCAPSRemovePayloadDataCommand : public QENCommand {
public:
    // The collection is the one the payload's records name as its most recent session, when they
    // name one; otherwise the one given.
    QENCAPSRemovePayloadDataCommand(LogAppender& log, const std::string& collectionID,
                                    const std::string& payloadCode);
    // Closes the session (what was never committed is discarded first).
    ~QENCAPSRemovePayloadDataCommand() override;

    std::string GetName() const override;
    Records HeldRecords() const override { return kInstallationRecords; }

    // The collection the command works on.
    const std::string& CollectionID() const { return collectionID_; }

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    // Whether a collection other than this one still has the payload (under any code of its
    // upgrade chain) installed; deleting its record then would take the other's records with it.
    bool StillInstalledElsewhere();

    std::string collectionID_;
    std::string payloadCode_;
    capsiSession* session_;
    // Set by DoCommit: from then on closing may commit what is left; before it, nothing may.
    bool commitRequested_;
};
