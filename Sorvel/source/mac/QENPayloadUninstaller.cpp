#include "QENPayloadUninstaller.h"

#include "QEN/source/mac/QENEngine.h"
#include "Sorvel/source/xplat/ThreadOperation.h"

QENPayloadUninstaller::QENPayloadUninstaller(const std::string& identifier, ThreadOperation& operation,
                                             UIThreadOperationManager& manager,
                                             std::vector<UserInterfaceMessagePrompt>& prompts,
                                             const PropertyMap& clientProperties)
    : SorvelQENPayloadController(operation, manager, prompts), identifier_(identifier), clientProperties_(clientProperties)
{
}

int QENPayloadUninstaller::UninstallPayload(unsigned long& result)
{
    return RunEngine("UninstallPayload",
                     [this]() { return QENEngine::UninstallPayload(*this, operation_, identifier_, clientProperties_); },
                     result);
}
