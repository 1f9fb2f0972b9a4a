// QENCAPSWriteCollectionDataCommand: adds a collection with its driver payload, original
// installer path and alias path to the installation database, in a session whose transaction the
// engine ends.
#pragma once

#include "QENCommand.h"
#include "caps/caps.h"

#include <string>

class QENCAPSWriteCollectionDataCommand : public QENCommand {
public:
    QENCAPSWriteCollectionDataCommand(LogAppender& log, const std::string& collectionID, const std::string& driverCode,
                                      const std::string& installerPath, const std::string& aliasPath);
    // Closes the session (what was never committed is discarded first).
    ~QENCAPSWriteCollectionDataCommand() override;

    std::string GetName() const override;
    Records HeldRecords() const override { return kInstallationRecords; }

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    // Writes one domain-0 value of the collection; false (after the failure message and the
    // rollback of the partial transaction) when the write fails.
    bool StoreCollectionValue(const std::string& key, const std::string& value, const char* failureFormat);

    std::string collectionID_;
    std::string driverCode_;
    std::string installerPath_;
    std::string aliasPath_;
    capsiSession* session_;
    // Set by DoCommit: from then on closing may commit what is left; before it, nothing may.
    bool commitRequested_;
};
