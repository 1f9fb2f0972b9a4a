#include "platform/gui/GuiWebView.h"

#include "platform/desktop/Workspace.h"
#include "platform/gui/GuiApplication.h"
#include "platform/gui/GuiWindow.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <boost/shared_ptr.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

namespace platform {

namespace {

// The page's process waits for the answer of a prompt() but not for anything evaluated while
// it waits, so the top frame's alert() is turned into a prompt() that carries the view's bridge
// marker as its default text: the answer is the list of scripts evaluated meanwhile, which the
// page then runs itself before alert() returns. Inner frames keep their own alert().
const char kBridgeMarkerName[] = "tolk-bridge-";
const char kFrameLoadHandlerName[] = "tolkFrameLoad";
const char kPageShownHandlerName[] = "tolkPageShown";

// After the first page has loaded: tells the view once the page has been drawn (two frames on).
const char kPageShownScript[] =
    "requestAnimationFrame(function () { requestAnimationFrame(function () {\n"
    "  try { window.webkit.messageHandlers.tolkPageShown.postMessage(''); } catch (e) {}\n"
    "}); });";
// Should the page never say so, the placeholder goes all the same.
const guint kPlaceholderSeconds = 3;

// The top frame's support script, after the line that defines its marker.
const char kTopFrameScript[] =
    "  var nativePrompt = window.prompt, parse = JSON.parse, ownEval = window.eval;\n"
    "  window.alert = function (message) {\n"
    "    var reply = nativePrompt.call(window, arguments.length ? String(message) : '', marker);\n"
    "    if (typeof reply !== 'string' || reply === '') return;\n"
    "    var scripts;\n"
    "    try { scripts = parse(reply); } catch (e) { return; }\n"
    "    for (var i = 0; i < scripts.length; ++i) {\n"
    "      try { ownEval(scripts[i]); } catch (e) {}\n"
    "    }\n"
    "  };\n"
    "})();\n";

const char kInnerFrameScript[] =
    "if (window !== window.top) {\n"
    "  window.addEventListener('load', function () {\n"
    "    try { window.webkit.messageHandlers.tolkFrameLoad.postMessage(''); } catch (e) {}\n"
    "  });\n"
    "}\n";

const char kNoScrollingStyle[] = "html, body { overflow: hidden !important; }";

WebKitWebView* AsView(void* view)
{
    return WEBKIT_WEB_VIEW(view);
}

// A JSON array of strings (the page parses it with JSON.parse).
std::string JSONStringArray(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0)
            out += ',';
        out += '"';
        for (const char c : items[i]) {
            const unsigned char byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (byte < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                out += escape;
            } else {
                out += c;
            }
        }
        out += '"';
    }
    out += ']';
    return out;
}

// The local file of a file URL without host (query and fragment left out), lexically normal;
// false for any other URL.
bool LocalFilePath(const std::string& url, std::string& path)
{
    const std::string document = url.substr(0, url.find_first_of("?#"));
    gchar* hostname = nullptr;
    gchar* file = g_filename_from_uri(document.c_str(), &hostname, nullptr);
    const bool local = file != nullptr && (hostname == nullptr || *hostname == '\0');
    if (local)
        path = std::filesystem::path(file).lexically_normal().string();
    g_free(file);
    g_free(hostname);
    return local;
}

// Whether the URLs name the same document; WebKit may spell a file URL otherwise than GLib.
bool SameDocument(const std::string& one, const std::string& other)
{
    if (one == other)
        return true;
    std::string onePath;
    std::string otherPath;
    return LocalFilePath(one, onePath) && LocalFilePath(other, otherPath) && onePath == otherPath;
}

// One context for every view, which keeps nothing on disk: the views' processes would otherwise
// write their storage below the user's data folder, also after the program has let go of it.
WebKitWebContext* SharedWebContext()
{
    static WebKitWebContext* const context = webkit_web_context_new_ephemeral();
    return context;
}

// Hands the outcome of an evaluation to the one who asked for it.
void EvaluationFinished(GObject* view, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<GuiWebView::EvaluationDone> done(static_cast<GuiWebView::EvaluationDone*>(data));
    GError* error = nullptr;
    std::string text;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    if (value != nullptr) {
        if (gchar* converted = jsc_value_to_string(value)) {
            text = converted;
            g_free(converted);
        }
        g_object_unref(value);
    }
    if (error != nullptr)
        g_error_free(error);
    if (*done)
        (*done)(value != nullptr, text);
    GuiApplication::WakeUp();
}

// The state of one SaveSnapshotPNG; shared with the callback, which may come late.
struct Snapshot {
    bool done = false;
    std::string path;
    bool written = false;
};

void SnapshotFinished(GObject* view, GAsyncResult* result, gpointer data)
{
    boost::shared_ptr<Snapshot>* holder = static_cast<boost::shared_ptr<Snapshot>*>(data);
    Snapshot& snapshot = **holder;
    GError* error = nullptr;
    cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), result, &error);
    if (surface != nullptr) {
        snapshot.written = cairo_surface_write_to_png(surface, snapshot.path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
    }
    if (error != nullptr)
        g_error_free(error);
    snapshot.done = true;
    delete holder;
    GuiApplication::WakeUp();
}

}  // namespace

// The GTK signal handlers; each gets the view object as its data.
struct GuiWebView::Signals {
    static void LoadChanged(WebKitWebView* webView, WebKitLoadEvent event, gpointer self)
    {
        GuiWebView* view = static_cast<GuiWebView*>(self);
        if (event == WEBKIT_LOAD_STARTED) {
            view->mainLoadFailed_ = false;
        } else if (event == WEBKIT_LOAD_COMMITTED) {
            // What gets this far passed DecideResponse, or is the owner's data, or is a load that
            // gets no answer to decide on (about:blank): that one is refused here, before any
            // script of it runs, and the view goes back to the page it left.
            const gchar* uri = webkit_web_view_get_uri(webView);
            view->ownPage_ = uri != nullptr &&
                             ((!view->ownURL_.empty() && SameDocument(view->ownURL_, uri)) || view->InPageFolder(uri));
            if (view->ownPage_) {
                view->shownURL_ = uri;
            } else {
                webkit_web_view_stop_loading(webView);
                view->ShowOwnPageAgain();
                view->NavigationRefused(uri != nullptr ? uri : "");
            }
        } else if (event == WEBKIT_LOAD_FINISHED && !view->mainLoadFailed_)
            view->DidFinishFrameLoad(true);
    }

    static gboolean LoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer self)
    {
        static_cast<GuiWebView*>(self)->mainLoadFailed_ = true;
        return TRUE;  // no error page: a failed load finishes nothing
    }

    static void InnerFrameLoaded(WebKitUserContentManager*, gpointer, gpointer self)
    {
        static_cast<GuiWebView*>(self)->DidFinishFrameLoad(false);
    }

    static void PageShown(WebKitUserContentManager*, gpointer, gpointer self)
    {
        static_cast<GuiWebView*>(self)->HidePlaceholder();
    }

    static gboolean PlaceholderExpired(gpointer self)
    {
        GuiWebView* view = static_cast<GuiWebView*>(self);
        view->placeholderTimer_ = 0;
        view->HidePlaceholder();
        return G_SOURCE_REMOVE;
    }

    static gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self)
    {
        GuiWebView* view = static_cast<GuiWebView*>(self);
        const std::string message = webkit_script_dialog_get_message(dialog);
        switch (webkit_script_dialog_get_dialog_type(dialog)) {
        case WEBKIT_SCRIPT_DIALOG_PROMPT: {
            const gchar* defaultText = webkit_script_dialog_prompt_get_default_text(dialog);
            if (defaultText == nullptr || defaultText != view->bridgeMarker_)
                return TRUE;  // a page's own prompt() gets no panel and answers null
            std::vector<std::string> replies;
            view->RunAlert(message, view->ownPage_, replies);
            webkit_script_dialog_prompt_set_text(dialog, JSONStringArray(replies).c_str());
            return TRUE;
        }
        case WEBKIT_SCRIPT_DIALOG_ALERT: {
            // Only inner frames get here; what the handler evaluates can then only follow the
            // alert.
            std::vector<std::string> replies;
            view->RunAlert(message, false, replies);
            for (const std::string& script : replies)
                view->EvaluateScript(script);
            return TRUE;
        }
        case WEBKIT_SCRIPT_DIALOG_CONFIRM: {
            bool confirmed = true;
            try {
                if (view->confirm_)
                    confirmed = view->confirm_(message);
            } catch (...) {
            }
            webkit_script_dialog_confirm_set_confirmed(dialog, confirmed);
            return TRUE;
        }
        default:
            webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
            return TRUE;
        }
    }

    static gboolean ContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer)
    {
        return TRUE;  // pages have no context menu
    }

    static gboolean DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self)
    {
        if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
            return DecideResponse(static_cast<GuiWebView*>(self), WEBKIT_RESPONSE_POLICY_DECISION(decision));
        if (type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
            return FALSE;
        WebKitNavigationAction* action =
            webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* request = action != nullptr ? webkit_navigation_action_get_request(action) : nullptr;
        const gchar* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
        if (uri != nullptr && *uri != '\0')
            Workspace()->OpenURL(uri);
        // No web window is ever made: the URL went to its own application.
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }

    // Only the main frame's own document is held: which frame a navigation is for is known once
    // its answer has come, before anything of it shows. The owner's data loads get no answer.
    static gboolean DecideResponse(GuiWebView* view, WebKitResponsePolicyDecision* decision)
    {
        if (!webkit_response_policy_decision_is_main_frame_main_resource(decision))
            return FALSE;
        WebKitURIRequest* request = webkit_response_policy_decision_get_request(decision);
        WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
        const gchar* requested = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
        const gchar* answered = response != nullptr ? webkit_uri_response_get_uri(response) : nullptr;
        const std::string url = answered != nullptr ? answered : (requested != nullptr ? requested : "");
        if (!view->pendingURL_.empty() && requested != nullptr && SameDocument(view->pendingURL_, requested)) {
            view->pendingURL_.clear();
            return FALSE;
        }
        if (view->InPageFolder(url))
            return FALSE;
        webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
        view->NavigationRefused(url);
        return TRUE;
    }

    static void ProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self)
    {
        GuiWebView* view = static_cast<GuiWebView*>(self);
        if (view->processTerminated_) {
            const std::function<void()> handler = view->processTerminated_;
            handler();
        }
    }
};

GuiWebView::GuiWebView(GuiWindow& window)
    : window_(window),
      overlay_(nullptr),
      placeholder_(nullptr),
      placeholderText_(nullptr),
      pageShown_(false),
      placeholderTimer_(0),
      view_(nullptr),
      contentManager_(nullptr),
      mainLoadFailed_(false),
      scrollingEnabled_(true),
      ownPage_(false),
      finishedLoads_(0)
{
    gchar* random = g_uuid_string_random();
    bridgeMarker_ = std::string("\x01") + kBridgeMarkerName + random + "\x01";
    const std::string topFrameScript = std::string("(function () {\n  var marker = '\\u0001") + kBridgeMarkerName +
                                       random + "\\u0001';\n" + kTopFrameScript;
    g_free(random);

    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    contentManager_ = manager;
    WebKitUserScript* support = webkit_user_script_new(topFrameScript.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, support);
    webkit_user_script_unref(support);
    WebKitUserScript* inner = webkit_user_script_new(kInnerFrameScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, inner);
    webkit_user_script_unref(inner);
    g_signal_connect(manager, (std::string("script-message-received::") + kFrameLoadHandlerName).c_str(),
                     G_CALLBACK(&Signals::InnerFrameLoaded), this);
    webkit_user_content_manager_register_script_message_handler(manager, kFrameLoadHandlerName);
    g_signal_connect(manager, (std::string("script-message-received::") + kPageShownHandlerName).c_str(),
                     G_CALLBACK(&Signals::PageShown), this);
    webkit_user_content_manager_register_script_message_handler(manager, kPageShownHandlerName);

    WebKitSettings* settings = webkit_settings_new();
    // Pages read files only through their owner; what they show of their own folder (scripts,
    // styles, pictures) loads all the same.
    webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
    webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
    // Scripts open no windows; a link to a new window still reaches the new-window policy.
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);

    GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedWebContext(),
                                              "user-content-manager", manager, "settings", settings, nullptr));
    g_object_unref(settings);
    g_object_ref_sink(view);
    view_ = view;

    g_signal_connect(view, "load-changed", G_CALLBACK(&Signals::LoadChanged), this);
    g_signal_connect(view, "load-failed", G_CALLBACK(&Signals::LoadFailed), this);
    g_signal_connect(view, "script-dialog", G_CALLBACK(&Signals::ScriptDialog), this);
    g_signal_connect(view, "context-menu", G_CALLBACK(&Signals::ContextMenu), this);
    g_signal_connect(view, "decide-policy", G_CALLBACK(&Signals::DecidePolicy), this);
    g_signal_connect(view, "web-process-terminated", G_CALLBACK(&Signals::ProcessTerminated), this);
    // Nothing may be dropped on a page.
    gtk_drag_dest_unset(view);

    // Over the view lies a placeholder text, which stands in for it until its first page shows,
    // should its owner give one. The view below is drawn meanwhile, as it is visible.
    GtkWidget* overlay = gtk_overlay_new();
    g_object_ref_sink(overlay);
    overlay_ = overlay;
    gtk_container_add(GTK_CONTAINER(overlay), view);
    GtkWidget* placeholder = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_style_context_add_class(gtk_widget_get_style_context(placeholder), "background");
    GtkWidget* text = gtk_label_new("");
    gtk_widget_set_vexpand(text, TRUE);
    gtk_box_pack_start(GTK_BOX(placeholder), text, TRUE, TRUE, 0);
    gtk_widget_show(text);
    gtk_widget_set_no_show_all(placeholder, TRUE);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), placeholder);
    placeholder_ = placeholder;
    placeholderText_ = text;
    gtk_widget_show(view);
    gtk_container_add(GTK_CONTAINER(window.NativeWindow()), overlay);
    gtk_widget_show(overlay);
}

GuiWebView::~GuiWebView()
{
    if (placeholderTimer_ != 0)
        g_source_remove(placeholderTimer_);
    GtkWidget* view = GTK_WIDGET(view_);
    GtkWidget* overlay = GTK_WIDGET(overlay_);
    g_signal_handlers_disconnect_by_data(view, this);
    g_signal_handlers_disconnect_by_data(contentManager_, this);
    GtkWidget* parent = gtk_widget_get_parent(overlay);
    if (parent != nullptr)
        gtk_container_remove(GTK_CONTAINER(parent), overlay);
    gtk_widget_destroy(view);
    gtk_widget_destroy(overlay);
    g_object_unref(view);
    g_object_unref(overlay);
    g_object_unref(contentManager_);
}

void GuiWebView::SetPlaceholderText(const std::string& text)
{
    gtk_label_set_text(GTK_LABEL(placeholderText_), text.c_str());
    if (!pageShown_)
        gtk_widget_show(GTK_WIDGET(placeholder_));
}

bool GuiWebView::ShowsPlaceholder() const
{
    return gtk_widget_get_visible(GTK_WIDGET(placeholder_));
}

void GuiWebView::HidePlaceholder()
{
    pageShown_ = true;
    if (placeholderTimer_ != 0) {
        g_source_remove(placeholderTimer_);
        placeholderTimer_ = 0;
    }
    gtk_widget_hide(GTK_WIDGET(placeholder_));
}

void GuiWebView::SetPreferences(const Preferences& preferences)
{
    WebKitSettings* settings = webkit_web_view_get_settings(AsView(view_));
    webkit_settings_set_enable_tabs_to_links(settings, preferences.tabsToLinks);
}

void GuiWebView::SetScrollingEnabled(bool enabled)
{
    if (enabled == scrollingEnabled_)
        return;
    scrollingEnabled_ = enabled;
    WebKitUserContentManager* manager = WEBKIT_USER_CONTENT_MANAGER(contentManager_);
    webkit_user_content_manager_remove_all_style_sheets(manager);
    if (!enabled) {
        WebKitUserStyleSheet* style =
            webkit_user_style_sheet_new(kNoScrollingStyle, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                        WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
        webkit_user_content_manager_add_style_sheet(manager, style);
        webkit_user_style_sheet_unref(style);
    }
}

void GuiWebView::SetPageFolder(const std::string& folder)
{
    pageFolder_.clear();
    if (folder.empty())
        return;
    pageFolder_ = std::filesystem::path(folder).lexically_normal().string();
    if (pageFolder_.empty() || pageFolder_.back() != '/')
        pageFolder_ += '/';
}

bool GuiWebView::InPageFolder(const std::string& url) const
{
    std::string path;
    return !pageFolder_.empty() && LocalFilePath(url, path) && path.compare(0, pageFolder_.size(), pageFolder_) == 0;
}

void GuiWebView::LoadFile(const std::string& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri == nullptr)
        return;
    LoadURL(uri);
    g_free(uri);
}

void GuiWebView::LoadURL(const std::string& url)
{
    ownURL_ = url;
    pendingURL_ = url;
    webkit_web_view_load_uri(AsView(view_), url.c_str());
}

void GuiWebView::LoadData(const std::string& data, const std::string& mimeType, const std::string& encoding,
                          const std::string& baseURL)
{
    ownURL_ = baseURL;
    pendingURL_.clear();
    GBytes* bytes = g_bytes_new(data.data(), data.size());
    webkit_web_view_load_bytes(AsView(view_), bytes, mimeType.c_str(), encoding.c_str(), baseURL.c_str());
    g_bytes_unref(bytes);
}

void GuiWebView::EvaluateScript(const std::string& script)
{
    if (!pendingReplies_.empty()) {
        pendingReplies_.back().push_back(script);
        return;
    }
    webkit_web_view_evaluate_javascript(AsView(view_), script.data(), static_cast<gssize>(script.size()), nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
}

bool GuiWebView::EvaluateScriptThen(const std::string& script, EvaluationDone done)
{
    // The page waits for this view's alert handler, so it cannot answer now.
    if (!pendingReplies_.empty())
        return false;
    webkit_web_view_evaluate_javascript(AsView(view_), script.data(), static_cast<gssize>(script.size()), nullptr,
                                        nullptr, nullptr, &EvaluationFinished, new EvaluationDone(std::move(done)));
    return true;
}

bool GuiWebView::EvaluateScriptAndWait(const std::string& script, std::string& value, double timeoutSeconds)
{
    // Shared with the callback, which may come after the wait has given up.
    struct Evaluation {
        bool done = false;
        bool succeeded = false;
        std::string value;
    };
    boost::shared_ptr<Evaluation> evaluation(new Evaluation);
    const bool started = EvaluateScriptThen(script, [evaluation](bool succeeded, const std::string& text) {
        evaluation->done = true;
        evaluation->succeeded = succeeded;
        evaluation->value = text;
    });
    if (!started)
        return false;
    GuiApplication::RunUntil([&evaluation]() { return evaluation->done; }, timeoutSeconds);
    if (!evaluation->done || !evaluation->succeeded)
        return false;
    value = evaluation->value;
    return true;
}

bool GuiWebView::SaveSnapshotPNG(const std::string& path, double timeoutSeconds)
{
    boost::shared_ptr<Snapshot> snapshot(new Snapshot);
    snapshot->path = path;
    webkit_web_view_get_snapshot(AsView(view_), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
                                 &SnapshotFinished, new boost::shared_ptr<Snapshot>(snapshot));
    GuiApplication::RunUntil([&snapshot]() { return snapshot->done; }, timeoutSeconds);
    return snapshot->done && snapshot->written;
}

void GuiWebView::SetAlertHandler(AlertHandler handler)
{
    alert_ = std::move(handler);
}

void GuiWebView::SetConfirmHandler(ConfirmHandler handler)
{
    confirm_ = std::move(handler);
}

void GuiWebView::SetFrameLoadHandler(FrameLoadHandler handler)
{
    frameLoad_ = std::move(handler);
}

void GuiWebView::SetProcessTerminatedHandler(std::function<void()> handler)
{
    processTerminated_ = std::move(handler);
}

void GuiWebView::SetNavigationRefusedHandler(std::function<void(const std::string& url)> handler)
{
    navigationRefused_ = std::move(handler);
}

void GuiWebView::TerminatePageProcessForTesting()
{
    webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(view_));
}

void GuiWebView::ShowOwnPageAgain()
{
    // Back where the page left from, as it was; a page that replaced its own entry is loaded anew.
    WebKitWebView* view = AsView(view_);
    WebKitBackForwardListItem* back =
        webkit_back_forward_list_get_back_item(webkit_web_view_get_back_forward_list(view));
    const gchar* backURL = back != nullptr ? webkit_back_forward_list_item_get_uri(back) : nullptr;
    if (backURL != nullptr && backURL == shownURL_) {
        webkit_web_view_go_back(view);
    } else if (!shownURL_.empty()) {
        pendingURL_ = shownURL_;
        webkit_web_view_load_uri(view, shownURL_.c_str());
    }
}

void GuiWebView::NavigationRefused(const std::string& url)
{
    if (!navigationRefused_)
        return;
    const std::function<void(const std::string&)> handler = navigationRefused_;
    try {
        handler(url);
    } catch (...) {
    }
}

void GuiWebView::DidFinishFrameLoad(bool mainFrame)
{
    ++finishedLoads_;
    if (frameLoad_) {
        const FrameLoadHandler handler = frameLoad_;
        try {
            handler(mainFrame);
        } catch (...) {
        }
    }
    // After what the owner runs on the page, so that the page has made its content.
    if (mainFrame && !pageShown_ && gtk_widget_get_visible(GTK_WIDGET(placeholder_)) && placeholderTimer_ == 0) {
        EvaluateScript(kPageShownScript);
        placeholderTimer_ = g_timeout_add_seconds(kPlaceholderSeconds, &Signals::PlaceholderExpired, this);
    }
}

void GuiWebView::RunAlert(const std::string& message, bool ownPage, std::vector<std::string>& replies)
{
    pendingReplies_.push_back(std::vector<std::string>());
    if (alert_) {
        const AlertHandler handler = alert_;
        try {
            handler(message, ownPage);
        } catch (...) {
            // Nothing may unwind through the toolkit; the page just gets no answer.
        }
    }
    replies.swap(pendingReplies_.back());
    pendingReplies_.pop_back();
}

}  // namespace platform
