#include "UIDriverFullGUI.h"

#include "InstallerEngine.h"
#include "UserInterfaceMessagePrompt.h"

#include <sys/wait.h>

#include <algorithm>
#include <iostream>

InstallerEngine* UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine = nullptr;
bool UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized = false;

UIDriverFullGUI::UIDriverFullGUI(InstallerEngine& engine) : UIDriver(engine), data_(new UIDriverFullGUIData)
{
    UIDriverFullGUIData::sInstallerEngine = &engine;
    UIDriverFullGUIData::sGUIInitialized = false;
}

bool UIDriverFullGUI::operator()(UserInterfaceMessagePrompt* prompt)
{
    return prompt->SetUserResponseOption(TolkUIRequest::kResponseUnknown);
}

bool UIDriverFullGUI::Run()
{
    std::cerr << "The full wizard cannot run in this build of Setup; use --mode=terminal." << std::endl;
    return false;
}

bool UIDriverFullGUI::Alert(const std::string& title, const std::string& body, const std::string&)
{
    std::cerr << title << std::endl;
    if (!body.empty())
        std::cerr << body << std::endl;
    return false;
}

UIDriverFullGUI::RelaunchDecision UIDriverFullGUI::DecideRelaunch(const std::vector<std::string>& rawArguments,
                                                                  uid_t effectiveUser,
                                                                  const std::string& interfaceLanguage,
                                                                  const std::string& payloadLanguage)
{
    RelaunchDecision decision;
    const bool languageGiven =
        std::find(rawArguments.begin(), rawArguments.end(), "-AppleLanguages") != rawArguments.end();
    decision.languagesDiffer =
        !languageGiven && !interfaceLanguage.empty() && !payloadLanguage.empty() && interfaceLanguage != payloadLanguage;
    if (!decision.languagesDiffer && effectiveUser == 0)
        return decision;
    if (std::find(rawArguments.begin(), rawArguments.end(), "-norespawn") != rawArguments.end())
        return decision;
    decision.relaunch = true;
    if (!rawArguments.empty())
        decision.arguments.assign(rawArguments.begin() + 1, rawArguments.end());
    if (decision.languagesDiffer) {
        decision.arguments.push_back("-AppleLanguages");
        decision.arguments.push_back("(" + payloadLanguage + ")");
    }
    return decision;
}

int UIDriverFullGUI::RelaunchExitCode(int preAuthorizeResult, bool copyRan, int copyWaitStatus)
{
    if (preAuthorizeResult == 1)
        return 0;
    if (preAuthorizeResult != 0 || !copyRan || !WIFEXITED(copyWaitStatus))
        return 4;
    return WEXITSTATUS(copyWaitStatus);
}
