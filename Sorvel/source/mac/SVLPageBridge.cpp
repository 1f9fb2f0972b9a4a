#include "SVLPageBridge.h"

#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/SorvelConstants.h"

#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/files/Files.h"
#include "platform/gui/GuiAlert.h"
#include "platform/gui/GuiApplication.h"
#include "platform/gui/GuiWebView.h"

#include <iostream>

namespace SVLPageBridge {

const char kComponentSeparator[] = "<===>";
const char kBridgeName[] = "DQEN";

namespace {

const char kFrameLoadScriptName[] = "onFrameLoad.js";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    std::string::size_type at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

void LogWarning(const std::string& text)
{
    if (Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog))
        logger->AppendToLog(LogAppender::kLogWarn, text);
}

}  // namespace

std::vector<std::string> SplitBridgeText(const std::string& message)
{
    std::vector<std::string> components;
    const std::string separator(kComponentSeparator);
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type at = message.find(separator, start);
        if (at == std::string::npos) {
            components.push_back(message.substr(start));
            return components;
        }
        components.push_back(message.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string EscapeAnswer(const std::string& answer)
{
    std::string escaped(answer);
    // The backslash goes first, or the escapes added after it would be doubled.
    ReplaceAll(escaped, "\\", "\\\\");
    ReplaceAll(escaped, "'", "\\'");
    ReplaceAll(escaped, "\n", "\\n");
    return escaped;
}

std::string AnswerScript(const boost::optional<std::string>& answer)
{
    if (!answer)
        return "DQEN.result = null;";
    return "DQEN.result = '" + EscapeAnswer(*answer) + "';";
}

void RunJavaScriptAlert(platform::GuiWebView& view, const std::string& message, bool ownPage,
                        const Dispatcher& dispatch)
{
    const std::vector<std::string> components = SplitBridgeText(message);
    if (components[0] != kBridgeName) {
        platform::AlertRequest alert;
        alert.messageText = "JavaScript Alert";
        alert.informativeText = message;
        platform::RunModalAlert(alert);
        return;
    }
    if (!ownPage) {
        // The name is the frame's text: escaped, it cannot make lines of its own in the log.
        LogWarning("Refused the page bridge call \"" + EscapeAnswer(components.size() > 1 ? components[1] : "") +
                   "\" of a frame that is not the main frame of the medium's own page.");
        return;
    }
    // "DQEN" alone names no method: the page gets null, as for a method that does not exist.
    boost::optional<std::string> answer;
    if (components.size() > 1 && dispatch)
        answer = dispatch(components[1], std::vector<std::string>(components.begin() + 2, components.end()));
    view.EvaluateScript(AnswerScript(answer));
}

void NavigationRefused(const std::string& url)
{
    LogWarning("Refused to show \"" + url + "\": Setup's windows show only the medium's own pages.");
}

bool RunJavaScriptConfirm(const std::string& message)
{
    platform::AlertRequest alert;
    alert.messageText = LocalizedString("ConfirmationTitle");
    alert.alternateButton = LocalizedString("CancelButtonLabel");
    alert.informativeText = message;
    const int response = platform::RunModalAlert(alert);
    return response == platform::kAlertDefaultReturn || response == platform::kAlertErrorReturn;
}

bool PreparePage(platform::GuiWebView& view, const std::vector<std::string>& methodNames)
{
    platform::BundlePtr bundle = platform::Bundle::Main();
    std::string script;
    const std::string path = bundle ? bundle->SharedSupportPath() + "/" + kFrameLoadScriptName : kFrameLoadScriptName;
    if (!bundle || !platform::ReadWholeFile(path, script)) {
        StartupError("Required support files are missing.", path);
        return false;
    }
    view.EvaluateScript(script);
    for (const std::string& name : methodNames)
        view.EvaluateScript("DQENCreateContainerMethod('" + name + "');");
    view.EvaluateScript("DQENCallOnLoadHandler();");
    return true;
}

void StartupError(const std::string& informativeText, const std::string& missingPath)
{
    const std::string text = informativeText + "\n\nNot found: " + missingPath;
    std::cerr << "Setup: Startup error: " << informativeText << " Not found: " << missingPath << std::endl;
    platform::AlertRequest alert;
    alert.messageText = "Startup error";
    alert.defaultButton = "Quit";
    alert.informativeText = text;
    platform::RunModalAlert(alert);
    platform::GuiApplication::Terminate();
}

std::string LocalizedString(const std::string& key)
{
    platform::BundlePtr bundle = platform::Bundle::Main();
    if (!bundle)
        return std::string();
    return platform::LocalizedString(*bundle, key, std::string(), "Localizable");
}

}  // namespace SVLPageBridge
