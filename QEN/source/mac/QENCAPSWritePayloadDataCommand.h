// QENCAPSWritePayloadDataCommand: records an installed payload in the installation database (its
// record, constraints, install state, data values and whitelisted properties) in a session whose
// transaction the engine ends. A repair records nothing.
#pragma once

#include "QENCommand.h"
#include "caps/caps.h"

#include <map>
#include <string>
#include <vector>

class QENCAPSWritePayloadDataCommand : public QENCommand {
public:
    typedef std::map<std::string, std::string> PropertyMap;
    typedef std::vector<std::string> CodeList;

    // mode: "install" records the payload, "repair" records nothing, anything else fails.
    QENCAPSWritePayloadDataCommand(LogAppender& log, const std::string& collectionID, const std::string& payloadID,
                                   const std::string& productFamily, const std::string& productName,
                                   const std::string& version, const std::string& signature,
                                   const std::string& installLanguage, const std::string& installDirectory,
                                   const PropertyMap& properties, const CodeList& conflicts, const CodeList& upgrades,
                                   const std::string& uninstallerAliasPath, const std::string& payloadPath,
                                   const std::string& mode);
    // Closes the session, if one is held (what was never committed is discarded first).
    ~QENCAPSWritePayloadDataCommand() override;

    std::string GetName() const override;
    Records HeldRecords() const override { return kInstallationRecords; }

    // Opens the session unless one is held.
    bool CAPSInit();
    // The work of mode "install".
    bool DoCAPSOperations();

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    // A failed step of DoCAPSOperations: the message, then the partial transaction undone.
    bool FailOperations(LogAppender::LogLevel level, const std::string& message);

    std::string collectionID_;
    std::string payloadID_;
    std::string productFamily_;
    std::string productName_;
    std::string version_;
    std::string signature_;
    std::string installLanguage_;
    std::string installDirectory_;
    PropertyMap properties_;
    CodeList conflicts_;
    CodeList upgrades_;
    std::string uninstallerAliasPath_;
    std::string payloadPath_;
    std::string mode_;
    capsiSession* session_;
    // Set by DoCommit: from then on closing may commit what is left; before it, nothing may.
    bool commitRequested_;
};
