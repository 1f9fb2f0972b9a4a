// UIDriverFullGUI: the full wizard. It learns the payload language from the wizard's scripts,
// relaunches Setup with administrator rights (or in the payload's language) when needed, and
// then runs the application that hosts the wizard.
#pragma once

#include "UIDriver.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <sys/types.h>
#include <vector>

class UIDriverFullGUI : public UIDriver {
public:
    explicit UIDriverFullGUI(InstallerEngine& engine);

    bool operator()(UserInterfaceMessagePrompt* prompt) override;
    bool Run() override;
    bool Alert(const std::string& title, const std::string& body, const std::string& button) override;

    struct UIDriverFullGUIData {
        static InstallerEngine* sInstallerEngine;  // the wizard's controllers take the engine from here
        // Set once the wizard application has launched, or once Alert has loaded the GUI.
        static bool sGUIInitialized;
    };

    // Runs Setup again through an administrator authorisation when DecideRelaunch says so, and
    // then ends the process (0 when the user cancelled, 4 when the rights could not be had,
    // else as RelaunchExitCode says). Returns when no relaunch is needed.
    static void RespawnAndAuthorizeIfNeeded(InstallerEngine& engine);

    // Whether Setup must run again through an administrator authorisation, and with which
    // arguments: every raw argument but the program path, plus "-AppleLanguages" "(<language>)"
    // when the payload language differs from the interface language. Either language may be
    // empty (unknown), which counts as no difference.
    struct RelaunchDecision {
        bool relaunch = false;
        bool languagesDiffer = false;
        std::vector<std::string> arguments;
    };
    static RelaunchDecision DecideRelaunch(const std::vector<std::string>& rawArguments, uid_t effectiveUser,
                                           const std::string& interfaceLanguage, const std::string& payloadLanguage);

    // The command that runs the privileged copy of the program with the arguments: the program
    // itself. The authoriser starts it with an environment of its own (pkexec keeps none of
    // this process's variables), so what the copy needs from here comes first among its
    // arguments, as PrivilegedCopy::ValueArguments gives it: the display, the X authority, the
    // system root, the languages and the user's home, each as this process has it (unset
    // stays unset), which the copy takes and checks itself (PrivilegedCopy::TakeValues).
    static void PrivilegedCommand(const std::string& executable, const std::vector<std::string>& arguments,
                                  std::string& command, std::vector<std::string>& commandArguments);

    // The exit code of the relaunching process: 0 when the user cancelled the authorisation, 4
    // when it failed or the privileged copy could not run or did not exit, otherwise the copy's
    // own exit status.
    static int RelaunchExitCode(int preAuthorizeResult, bool copyRan, int copyWaitStatus);

private:
    // The application main loop with the wizard's interface; whether it ended normally.
    static bool RunApplicationMain(const std::vector<std::string>& arguments);

    boost::shared_ptr<UIDriverFullGUIData> data_;
};
