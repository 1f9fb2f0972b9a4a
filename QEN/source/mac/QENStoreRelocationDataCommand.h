// QENStoreRelocationDataCommand: stores, in the uninstall database of a storage key, an alias
// record of every install path and of every named volume, through which their present locations
// can be found again; the transaction stays open until the engine commits or rolls back.
#pragma once

#include "QENRelocationDataCommand.h"

#include <map>
#include <string>
#include <vector>

class QENStoreRelocationDataCommand : public QENRelocationDataCommand {
public:
    typedef std::vector<std::string> PathList;
    // token -> volume path
    typedef std::map<std::string, std::string> TokenVolumeMap;

    QENStoreRelocationDataCommand(LogAppender& log, const std::string& storageKey, const PathList& installPaths,
                                  const TokenVolumeMap& tokenVolumes);

    std::string GetName() const override;

protected:
    bool DoPerform() override;

private:
    PathList installPaths_;
    TokenVolumeMap tokenVolumes_;
};
