#include "UIDriverTerminal.h"

#include "InstallerEngine.h"

#include <iostream>

UIDriverTerminal::UIDriverTerminal(InstallerEngine& engine) : UIDriver(engine) {}

bool UIDriverTerminal::Run()
{
    std::cout << "Installer Parent Path: " << engine_.GetInstallerParentPath().AsUTF8String() << std::endl;
    std::cout << "Installation properties:" << std::endl;
    boost::shared_ptr<InstallerEngine::StringMap> properties = engine_.GetPropertyMap();
    if (properties) {
        for (const auto& entry : *properties)
            std::cout << "\t" << entry.first << " = " << entry.second << std::endl;
    }
    return true;
}

bool UIDriverTerminal::Alert(const std::string& title, const std::string& body, const std::string&)
{
    std::cerr << title << std::endl;
    if (!body.empty())
        std::cerr << body << std::endl;
    return false;
}
