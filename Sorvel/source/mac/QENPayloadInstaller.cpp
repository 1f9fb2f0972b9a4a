#include "QENPayloadInstaller.h"

#include "QEN/source/mac/QENEngine.h"
#include "Sorvel/source/xplat/ThreadOperation.h"

QENPayloadInstaller::QENPayloadInstaller(const FileSystemPath& imagePath, const PropertyMap& clientProperties,
                                       ThreadOperation& operation, UIThreadOperationManager& manager,
                                       std::vector<UserInterfaceMessagePrompt>& prompts)
    : SorvelQENPayloadController(operation, manager, prompts), imagePath_(imagePath), clientProperties_(clientProperties)
{
}

int QENPayloadInstaller::InstallPayload(unsigned long& result)
{
    return RunEngine("InstallPayload",
                     [this]() { return QENEngine::InstallPayload(*this, operation_, imagePath_, clientProperties_); },
                     result);
}
