#include "SVLMainNib.h"

#include "SVLPageBridge.h"

namespace {

const char kInitialTitle[] = "Setup";
// The pages size the window themselves ("UIResizeWindow"); this is where they start.
const int kInitialWidth = 640;
const int kInitialHeight = 480;

}  // namespace

SVLMainNib::SVLMainNib()
{
    window_.reset(new SVLWindow(kInitialTitle, kInitialWidth, kInitialHeight));
    webView_.reset(new platform::GuiWebView(window_->Window()));
    controller_.reset(new SVLWizardController);
    controller_->setWizardView(webView_.get());
    window_->Window().SetShouldCloseHandler([this]() { return controller_->windowShouldClose(*window_); });
    controller_->awakeFromNib();
    // Starting the page's processes takes a moment; the window says what it waits for.
    webView_->SetPlaceholderText(SVLPageBridge::LocalizedString("StartingSetup"));
    window_->Window().MakeKeyAndOrderFront();
}

SVLMainNib::~SVLMainNib()
{
    controller_->setWizardView(nullptr);
    webView_.reset();
    window_.reset();
    controller_.reset();
}
