#include "platform/gui/GuiAlert.h"

#include "platform/RunLoop.h"
#include "platform/gui/GuiApplication.h"

#include <gtk/gtk.h>

#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex gMutex;  // guards gAlertPresenter, gFolderPresenter
AlertPresenter gAlertPresenter;
FolderPanelPresenter gFolderPresenter;

// GTK's own responses are negative, so the buttons get positive ones.
const int kDefaultResponse = 1;
const int kAlternateResponse = 2;
const int kOtherResponse = 3;

// The window the panel belongs to (a modal child of it): a modal window that shows (the one
// that takes the input now), else the focused window, else any visible one.
GtkWindow* FrontWindow()
{
    GtkWindow* modal = nullptr;
    GtkWindow* active = nullptr;
    GtkWindow* visible = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (!gtk_widget_get_visible(GTK_WIDGET(window)) || gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL)
            continue;
        if (modal == nullptr && gtk_window_get_modal(window))
            modal = window;
        if (active == nullptr && gtk_window_is_active(window))
            active = window;
        if (visible == nullptr)
            visible = window;
    }
    g_list_free(windows);
    return modal != nullptr ? modal : (active != nullptr ? active : visible);
}

int RunGtkAlert(const AlertRequest& request)
{
    GtkWidget* dialog = gtk_message_dialog_new(FrontWindow(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE,
                                               "%s", request.messageText.c_str());
    if (dialog == nullptr)
        return kAlertErrorReturn;
    if (!request.title.empty())
        gtk_window_set_title(GTK_WINDOW(dialog), request.title.c_str());
    if (!request.informativeText.empty())
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", request.informativeText.c_str());
    // Left to right: other, alternate, default, as the platform's alerts order them.
    if (!request.otherButton.empty())
        gtk_dialog_add_button(GTK_DIALOG(dialog), request.otherButton.c_str(), kOtherResponse);
    if (!request.alternateButton.empty())
        gtk_dialog_add_button(GTK_DIALOG(dialog), request.alternateButton.c_str(), kAlternateResponse);
    gtk_dialog_add_button(GTK_DIALOG(dialog), request.defaultButton.empty() ? "OK" : request.defaultButton.c_str(),
                          kDefaultResponse);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), kDefaultResponse);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    switch (response) {
    case kDefaultResponse:
        return kAlertDefaultReturn;
    case kAlternateResponse:
        return kAlertAlternateReturn;
    case kOtherResponse:
        return kAlertOtherReturn;
    default:
        // Escape or the window manager closed it: the cautious answer where there is one.
        return request.alternateButton.empty() ? kAlertDefaultReturn : kAlertAlternateReturn;
    }
}

int RunGtkFolderPanel(const FolderPanelRequest& request, std::vector<std::string>& chosen)
{
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title.c_str(), FrontWindow(), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel", GTK_RESPONSE_CANCEL,
        request.prompt.empty() ? "_Open" : request.prompt.c_str(), GTK_RESPONSE_ACCEPT, nullptr);
    if (dialog == nullptr)
        return kFolderPanelCancel;
    // Small enough for a 1024 x 768 screen; GTK's own default (or one it remembered) may not be.
    gtk_window_set_default_size(GTK_WINDOW(dialog), 720, 520);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_create_folders(chooser, request.canCreateFolders);
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    if (!request.message.empty()) {
        GtkWidget* label = gtk_label_new(request.message.c_str());
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_file_chooser_set_extra_widget(chooser, label);
    }
    if (!request.directory.empty()) {
        if (!request.selectedName.empty())
            gtk_file_chooser_select_filename(chooser, (request.directory + "/" + request.selectedName).c_str());
        else
            gtk_file_chooser_set_current_folder(chooser, request.directory.c_str());
    }
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    int answer = kFolderPanelCancel;
    if (response == GTK_RESPONSE_ACCEPT) {
        answer = kFolderPanelOK;
        chosen.clear();
        GSList* names = gtk_file_chooser_get_filenames(chooser);
        for (GSList* item = names; item != nullptr; item = item->next) {
            chosen.push_back(static_cast<const char*>(item->data));
            g_free(item->data);
        }
        g_slist_free(names);
    }
    gtk_widget_destroy(dialog);
    return answer;
}

}  // namespace

int RunModalAlert(const AlertRequest& request)
{
    AlertPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        presenter = gAlertPresenter;
    }
    if (presenter)
        return presenter(request);
    if (!GuiApplication::IsLoaded())
        return kAlertErrorReturn;
    // The toolkit lives on the main thread; a worker's alert waits there for its answer.
    int response = kAlertErrorReturn;
    RunLoop::Main().PerformAndWait([&request, &response]() { response = RunGtkAlert(request); });
    return response;
}

void SetAlertPresenterForTesting(AlertPresenter presenter)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gAlertPresenter = std::move(presenter);
}

int RunFolderPanel(const FolderPanelRequest& request, std::vector<std::string>& chosen)
{
    FolderPanelPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        presenter = gFolderPresenter;
    }
    if (presenter)
        return presenter(request, chosen);
    if (!GuiApplication::IsLoaded())
        return kFolderPanelCancel;
    int response = kFolderPanelCancel;
    RunLoop::Main().PerformAndWait(
        [&request, &chosen, &response]() { response = RunGtkFolderPanel(request, chosen); });
    return response;
}

void SetFolderPanelPresenterForTesting(FolderPanelPresenter presenter)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gFolderPresenter = std::move(presenter);
}

}  // namespace platform
