#include "SVLWindow.h"

#include "SVLPageBridge.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include "platform/gui/GuiAlert.h"
#include "platform/gui/GuiApplication.h"

#include <limits>

namespace {

int ToPixels(std::uint32_t value)
{
    return value > static_cast<std::uint32_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                               : static_cast<int>(value);
}

}  // namespace

SVLWindow::SVLWindow(const std::string& title, int width, int height) : window_(title, width, height)
{
    window_.SetShouldCloseHandler([this]() { return windowShouldClose(); });
    window_.SetClosedHandler([]() { platform::GuiApplication::Terminate(); });
}

bool SVLWindow::windowShouldClose()
{
    platform::AlertRequest alert;
    alert.title = window_.Title();
    alert.messageText = SVLPageBridge::LocalizedString("ConfirmationTitle");
    alert.defaultButton = SVLPageBridge::LocalizedString("UnsupportedOSAlertButtonLabel");
    alert.alternateButton = SVLPageBridge::LocalizedString("ConfirmationResume");
    alert.informativeText = SVLPageBridge::LocalizedString("QuitConfirmationMessage");
    const int response = platform::RunModalAlert(alert);
    const bool quit = response == platform::kAlertDefaultReturn || response == platform::kAlertErrorReturn;
    // Quitting before the end is no success, whatever the page had set: the caller is told.
    if (quit && UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine != nullptr)
        UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine->SetExitCode(SorvelConstants::kExitUserQuit);
    return quit;
}

void SVLWindow::close()
{
    window_.Close();
}

void SVLWindow::ResizeContent(platform::GuiWindow& window, std::uint32_t width, std::uint32_t height)
{
    const platform::GuiWindow::Rect old = window.ContentRect();
    platform::GuiWindow::Rect rect;
    rect.width = ToPixels(width);
    rect.height = ToPixels(height);
    // Screen y grows downwards here, so the top edge stays where it is; the left edge moves by
    // the change in width.
    rect.x = old.x - (rect.width - old.width);
    rect.y = old.y;
    window.SetContentRect(rect);
    window.SetContentSize(rect.width, rect.height);
    window.Center();
}
