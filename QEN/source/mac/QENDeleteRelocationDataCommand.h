// QENDeleteRelocationDataCommand: deletes every path alias and token volume of a storage key's
// uninstall database; the transaction stays open until the engine commits or rolls back.
#pragma once

#include "QENRelocationDataCommand.h"

#include <string>

class QENDeleteRelocationDataCommand : public QENRelocationDataCommand {
public:
    QENDeleteRelocationDataCommand(LogAppender& log, const std::string& storageKey);

    std::string GetName() const override;

protected:
    bool DoPerform() override;
};
