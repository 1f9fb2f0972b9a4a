#include "QENPayloadRepairer.h"

#include "QEN/source/mac/QENEngine.h"
#include "Sorvel/source/xplat/ThreadOperation.h"

QENPayloadRepairer::QENPayloadRepairer(const FileSystemPath& imagePath, const PropertyMap& clientProperties,
                                       ThreadOperation& operation, UIThreadOperationManager& manager,
                                       std::vector<UserInterfaceMessagePrompt>& prompts)
    : SorvelQENPayloadController(operation, manager, prompts), imagePath_(imagePath), clientProperties_(clientProperties)
{
}

int QENPayloadRepairer::RepairPayload(unsigned long& result)
{
    return RunEngine("RepairPayload",
                     [this]() { return QENEngine::RepairPayload(*this, operation_, imagePath_, clientProperties_); },
                     result);
}
