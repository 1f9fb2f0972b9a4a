// GuiAlert: the application's modal alert panel (a message, an informative text and up to three
// buttons) and the modal panel that chooses a folder. Both wait for the user in a nested event
// loop. Tests replace the presenters so that nobody has to press a button.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct AlertRequest {
    std::string title;  // of the panel's window; empty: none
    std::string messageText;
    std::string informativeText;
    std::string defaultButton;    // empty: the system's own default button ("OK")
    std::string alternateButton;  // empty: none
    std::string otherButton;      // empty: none
};

// Which button ended an alert; kAlertErrorReturn when no alert could be shown.
enum AlertResponse {
    kAlertDefaultReturn = 1,
    kAlertAlternateReturn = 0,
    kAlertOtherReturn = -1,
    kAlertErrorReturn = -2,
};

// Shows the alert in front of the application's windows and waits for a button; from another
// thread, the main thread shows it while the caller waits. Without a display
// (GuiApplication::Load failed or was never called) and without a presenter: error.
int RunModalAlert(const AlertRequest& request);

typedef std::function<int(const AlertRequest&)> AlertPresenter;
// Replaces the panel by the presenter; an empty one restores the panel.
void SetAlertPresenterForTesting(AlertPresenter presenter);

struct FolderPanelRequest {
    std::string title;
    std::string prompt;        // the label of the confirming button
    std::string message;       // shown above the folders; empty: none
    std::string directory;     // the folder shown first; empty: the panel's own choice
    std::string selectedName;  // the entry of that folder selected first; empty: none
    bool canCreateFolders = false;
};

enum FolderPanelResponse {
    kFolderPanelCancel = 0,
    kFolderPanelOK = 1,
};

// Runs the panel modally; on OK the chosen folders (absolute paths) are in chosen. Without a
// display and without a presenter: cancel.
int RunFolderPanel(const FolderPanelRequest& request, std::vector<std::string>& chosen);

typedef std::function<int(const FolderPanelRequest&, std::vector<std::string>&)> FolderPanelPresenter;
void SetFolderPanelPresenterForTesting(FolderPanelPresenter presenter);

}  // namespace platform
