// SVLPageBridge: what the wizard window and the HTML alert window do alike for their web views:
// the page bridge (a page raises alert() with "DQEN<===>Method<===>arguments..." and reads the
// answer from DQEN.result), the confirm panel, the page preparation after each frame load and
// the start-up error that ends the application.
#pragma once

#include <boost/function.hpp>
#include <boost/optional.hpp>

#include <string>
#include <vector>

namespace platform {
class GuiWebView;
}

namespace SVLPageBridge {

// The separator of a bridge text's components, and its first component.
extern const char kComponentSeparator[];
extern const char kBridgeName[];

// The components of the text, split at every separator (empty components kept).
std::vector<std::string> SplitBridgeText(const std::string& message);

// The answer made fit for a single-quoted script literal: backslash, apostrophe and line feed
// escaped, in that order.
std::string EscapeAnswer(const std::string& answer);

// The script that hands an answer to the page: DQEN.result = '<escaped answer>'; or null.
std::string AnswerScript(const boost::optional<std::string>& answer);

// Calls a method by name with string arguments; no answer when the call failed.
typedef boost::function<boost::optional<std::string>(const std::string& name, const std::vector<std::string>& arguments)>
    Dispatcher;

// A page's alert(): a bridge text is dispatched and answered in the page; any other text is
// shown in the "JavaScript Alert" panel. Only the main frame of the window's own page (ownPage,
// GuiWebView::AlertHandler) reaches the methods: a bridge text of any other frame is refused
// and logged, and gets no answer.
void RunJavaScriptAlert(platform::GuiWebView& view, const std::string& message, bool ownPage,
                        const Dispatcher& dispatch);

// Logs that the window refused to show the page at the URL (GuiWebView::SetPageFolder).
void NavigationRefused(const std::string& url);

// A page's confirm(): the confirmation panel; true unless its alternate button was pressed.
bool RunJavaScriptConfirm(const std::string& message);

// Page preparation: evaluates "onFrameLoad.js" from the main bundle's SharedSupport folder,
// declares each method name to the page in the order given, then calls the page's load handler.
// False, after the start-up error, when the script is missing.
bool PreparePage(platform::GuiWebView& view, const std::vector<std::string>& methodNames);

// The "Startup error" alert with the informative text, followed by the path of the file that is
// missing, and a "Quit" button, then termination. The same goes to the standard error, for a
// user who started the wizard from a terminal.
void StartupError(const std::string& informativeText, const std::string& missingPath);

// The string of the main bundle's "Localizable" table for the key; empty when there is none.
std::string LocalizedString(const std::string& key);

}  // namespace SVLPageBridge
