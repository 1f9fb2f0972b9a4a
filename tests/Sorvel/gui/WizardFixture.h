// WizardFixture: a wizard on a medium of the test's own: a Setup bundle with the real string
// table and an "onFrameLoad.js" of the test's choice, a "resources" folder beside it, an engine
// over the medium, and alerts and folder panels answered by the test instead of a person.
// Skips the test when there is no display.
#pragma once

#include "Sorvel/source/mac/SVLMainNib.h"
#include "Sorvel/source/xplat/InstallerEngine.h"

#include "tests/support/TempSystemRoot.h"

#include "platform/gui/GuiAlert.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolktest {

class WizardTest : public SystemRootTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The bundle's "onFrameLoad.js": the one Setup ships, or a text of the test's.
    void UseShippedFrameLoadScript();
    void WriteFrameLoadScript(const std::string& text);
    void RemoveFrameLoadScript();
    // The payloads of the example medium, as the medium's own.
    void CopyExamplePayloads();
    // A file in the "resources" folder beside the bundle.
    void WriteResource(const std::string& name, const std::string& text);

    // Loads the main interface and tells it the application has launched.
    void Launch();

    // Serves events until the condition holds; false after a generous limit.
    static bool WaitFor(const std::function<bool()>& condition);
    // The script's value in the wizard page, as text ("" when it cannot be had).
    std::string Evaluate(const std::string& script);
    // Evaluates the script until it gives the expected text; false after the limit.
    bool WaitForValue(const std::string& script, const std::string& expected);
    // What the page gets from a bridged call: the text of DQEN.result after alert(message), or
    // "null".
    std::string Bridge(const std::string& message);

    std::string media_;
    std::string bundle_;
    std::unique_ptr<InstallerEngine> engine_;
    std::unique_ptr<SVLMainNib> nib_;

    // Every alert shown, and the answer each gets.
    std::vector<platform::AlertRequest> alerts_;
    int alertAnswer_ = platform::kAlertDefaultReturn;
    // Runs while an alert is up, before it answers.
    std::function<void()> whileAlertShows_;
    // Every folder panel shown, and what it answers.
    std::vector<platform::FolderPanelRequest> panels_;
    int panelAnswer_ = platform::kFolderPanelOK;
    std::vector<std::string> panelChoice_;
};

// A page that defines DQEN itself and a function that raises one bridged alert and answers
// what the page then finds in DQEN.result.
extern const char kBridgePage[];

}  // namespace tolktest
