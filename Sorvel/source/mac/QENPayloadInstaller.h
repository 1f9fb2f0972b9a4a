// QENPayloadInstaller: runs the command engine's install run of one command payload image on the
// install thread, with itself as the engine's controller.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "SorvelQENPayloadController.h"

#include <map>
#include <string>

class QENPayloadInstaller : public SorvelQENPayloadController {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    // The image path and the properties are not copied and must outlive the object.
    QENPayloadInstaller(const FileSystemPath& imagePath, const PropertyMap& clientProperties, ThreadOperation& operation,
                    UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts);

    // result: 0 succeeded, 1 cancelled by the user, 2 failed; also the code of the operation's new
    // status message. Answers 0 when the run succeeded, else 1.
    int InstallPayload(unsigned long& result);

private:
    const FileSystemPath& imagePath_;
    const PropertyMap& clientProperties_;
};
