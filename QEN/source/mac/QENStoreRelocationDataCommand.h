// QENStoreRelocationDataCommand: stores, in the uninstall database of a storage key, an alias
// record of every install path and of every named volume, through which their present locations
// can be found again; the transaction stays open until the engine commits or rolls back.
#pragma once

#include "QENCommand.h"
#include "UninstallDBAccess.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>
#include <vector>

class QENStoreRelocationDataCommand : public QENCommand {
public:
    typedef std::vector<std::string> PathList;
    // token -> volume path
    typedef std::map<std::string, std::string> TokenVolumeMap;

    QENStoreRelocationDataCommand(LogAppender& log, const std::string& storageKey, const PathList& installPaths,
                                  const TokenVolumeMap& tokenVolumes);
    // Releases the accessor, which discards whatever was not committed.
    ~QENStoreRelocationDataCommand() override;

    std::string GetName() const override;
    Records HeldRecords() const override { return kUninstallRecords; }

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string storageKey_;
    PathList installPaths_;
    TokenVolumeMap tokenVolumes_;
    boost::shared_ptr<UninstallDBAccess> accessor_;
};
