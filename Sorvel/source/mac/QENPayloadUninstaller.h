// QENPayloadUninstaller: plays back the stored uninstall script of one payload (or of the session
// named by the client property "sessionID" when the identifier is empty) on the install thread,
// with itself as the engine's controller.
#pragma once

#include "SorvelQENPayloadController.h"

#include <map>
#include <string>

class QENPayloadUninstaller : public SorvelQENPayloadController {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    QENPayloadUninstaller(const std::string& identifier, ThreadOperation& operation, UIThreadOperationManager& manager,
                          std::vector<UserInterfaceMessagePrompt>& prompts, const PropertyMap& clientProperties);

    // As QENPayloadInstaller::InstallPayload.
    int UninstallPayload(unsigned long& result);

private:
    std::string identifier_;
    PropertyMap clientProperties_;
};
