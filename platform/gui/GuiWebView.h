// GuiWebView: the web view that fills a GuiWindow (WebKitGTK): loads a file URL or HTML data,
// evaluates script in the page, reports every finished frame load, and hands the page's
// alert() and confirm() to its owner. A script that the owner evaluates while it handles an
// alert() runs in the page before alert() returns, as in a web view that lives in the
// application's own process. Pages get no context menu, take no drops and open no windows: the
// URL of a new-window navigation goes to the workspace (Workspace.h). The main frame shows only
// what the owner loads and the files of the page folder; pages read no files by request. Pages
// keep nothing on disk (no cookies, storage or caches): the views' processes write no files. Main
// thread only.
#pragma once

#include <boost/noncopyable.hpp>

#include <functional>
#include <string>
#include <vector>

namespace platform {

class GuiWindow;

class GuiWebView : private boost::noncopyable {
public:
    // The preferences of a view; the identifier names a set that views may share.
    struct Preferences {
        std::string identifier;
        bool tabsToLinks = false;
    };

    // ownPage: raised by the main frame of the view's own page (one the owner loaded, or a file of
    // the page folder); false for an inner frame's alert.
    typedef std::function<void(const std::string& message, bool ownPage)> AlertHandler;
    typedef std::function<bool(const std::string& message)> ConfirmHandler;
    // mainFrame: the load was the page's own, not one of an inner frame.
    typedef std::function<void(bool mainFrame)> FrameLoadHandler;

    // A view that fills the window; the window must outlive it.
    explicit GuiWebView(GuiWindow& window);
    ~GuiWebView();

    GuiWindow& Window() const { return window_; }

    void SetPreferences(const Preferences& preferences);
    // Without scrolling the page's top frame shows no scroll bars and cannot be scrolled.
    void SetScrollingEnabled(bool enabled);

    // Where a page may take the main frame itself (links, forms, scripts): the files in this
    // folder and below. Anywhere else the view refuses to go and tells the refused handler;
    // without a folder a page cannot go anywhere. What the owner loads may lie anywhere; inner
    // frames are not held.
    void SetPageFolder(const std::string& folder);

    // Loads the file at the absolute path by its file URL.
    void LoadFile(const std::string& path);
    void LoadURL(const std::string& url);
    // Loads the text as a document of the MIME type and text encoding, with the base URL.
    void LoadData(const std::string& data, const std::string& mimeType, const std::string& encoding,
                  const std::string& baseURL);

    // Evaluates the script in the page's top frame; errors stay in the page. While the alert
    // handler runs, the script runs before the page's alert() returns; otherwise scripts run in
    // the order given, after whatever the page is doing now.
    void EvaluateScript(const std::string& script);

    // Evaluates the script and calls done with whether it succeeded and its value as text, later,
    // from the main loop. False, and done is never called, while the view is inside its alert
    // handler: the page cannot run it before its alert() has returned.
    typedef std::function<void(bool succeeded, const std::string& value)> EvaluationDone;
    bool EvaluateScriptThen(const std::string& script, EvaluationDone done);

    // Evaluates the script and waits for its value as text (false when it failed, when the view
    // is inside its alert handler, or after the time-out). For tests and diagnostics.
    bool EvaluateScriptAndWait(const std::string& script, std::string& value, double timeoutSeconds);
    // Writes what the view shows now as a PNG file and waits for it (false when no picture came
    // before the time-out or the file could not be written). For tests and diagnostics.
    bool SaveSnapshotPNG(const std::string& path, double timeoutSeconds);

    // Each handler replaces the previous one; an empty one removes it. Without an alert handler
    // alert() does nothing; without a confirm handler confirm() answers true.
    void SetAlertHandler(AlertHandler handler);
    void SetConfirmHandler(ConfirmHandler handler);
    void SetFrameLoadHandler(FrameLoadHandler handler);
    // Called when the page's process has ended unexpectedly; the page is gone.
    void SetProcessTerminatedHandler(std::function<void()> handler);
    // Called with the URL of each page that the view refused to show in its main frame.
    void SetNavigationRefusedHandler(std::function<void(const std::string& url)> handler);

    // Until the first page has loaded and shows, the window shows the text over the still empty
    // view.
    void SetPlaceholderText(const std::string& text);
    // Whether the placeholder stands over the view now (for tests).
    bool ShowsPlaceholder() const;

    // How many frame loads have finished since the view was made (for tests).
    unsigned FinishedFrameLoads() const { return finishedLoads_; }
    // Ends the page's process as a crash would (for tests); the terminated handler is told.
    void TerminatePageProcessForTesting();

private:
    struct Signals;
    friend struct Signals;

    void DidFinishFrameLoad(bool mainFrame);
    // After a refused page committed: the last own page shown, again.
    void ShowOwnPageAgain();
    // Tells the handler of refused navigations (SetNavigationRefusedHandler) of one.
    void NavigationRefused(const std::string& url);
    void HidePlaceholder();
    void RunAlert(const std::string& message, bool ownPage, std::vector<std::string>& replies);
    // Whether the URL is that of a file in the page folder.
    bool InPageFolder(const std::string& url) const;

    GuiWindow& window_;
    void* overlay_;          // GtkOverlay* that holds the view and the placeholder over it
    void* placeholder_;      // the placeholder's GtkBox, shown until the first page shows
    void* placeholderText_;  // its GtkLabel
    bool pageShown_;         // the first page has loaded and shown: no placeholder any more
    unsigned placeholderTimer_;  // the GLib source that hides the placeholder at the latest; 0 for none
    void* view_;             // WebKitWebView*, owned
    void* contentManager_;   // WebKitUserContentManager*, owned
    bool mainLoadFailed_;
    bool scrollingEnabled_;
    // The default text of the prompt() that only the top frame's support script raises: inner
    // frames, which cannot read it, cannot pass for the top frame.
    std::string bridgeMarker_;
    std::string pageFolder_;  // lexically normal, with a trailing separator; empty: none
    std::string ownURL_;      // the URL the owner loaded last (or the base URL of its data)
    std::string pendingURL_;  // what the owner loads now, until its answer has come; empty: none
    std::string shownURL_;    // the last own page that the main frame showed
    bool ownPage_;            // the main frame shows the owner's page or one of the page folder
    unsigned finishedLoads_;
    // Scripts evaluated inside the alert handler, one list per alert being handled (alerts
    // nest when a handler runs a modal loop).
    std::vector<std::vector<std::string> > pendingReplies_;
    AlertHandler alert_;
    ConfirmHandler confirm_;
    FrameLoadHandler frameLoad_;
    std::function<void()> processTerminated_;
    std::function<void(const std::string& url)> navigationRefused_;
};

}  // namespace platform
