// GuiWindow: one top-level window of the application (a GTK window): its title, content
// rectangle, visibility and close button, and the question asked before the user closes it.
// Main thread only; GuiApplication::Load must have succeeded.
#pragma once

#include <boost/noncopyable.hpp>

#include <functional>
#include <string>

namespace platform {

class GuiWindow : private boost::noncopyable {
public:
    // Where the window's content lies on the screen (top-left corner) and its size, in pixels.
    struct Rect {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };

    // A new window, not yet shown, with the given content size.
    GuiWindow(const std::string& title, int width, int height);
    ~GuiWindow();

    void SetTitle(const std::string& title);
    std::string Title() const;

    // The content rectangle as last requested or reported by the window system.
    Rect ContentRect() const;
    // Moves and resizes the content to the rectangle.
    void SetContentRect(const Rect& rect);
    void SetContentSize(int width, int height);
    // Puts the window in the middle of its screen's work area.
    void Center();

    bool IsVisible() const;
    // Shows the window in front of the others with the input focus.
    void MakeKeyAndOrderFront();
    // Hides the window.
    void OrderOut();
    // While modal, the application's other windows take no input.
    void SetModal(bool modal);
    // Makes the window a dialog of parent: kept above it by the window system and modal to it
    // (null: a window of its own again, not modal).
    void SetModalChildOf(const GuiWindow* parent);
    // Whether the Escape key asks as the close button does (PerformClose).
    void SetEscapeCloses(bool closes);

    void SetCloseButtonEnabled(bool enabled);
    bool CloseButtonEnabled() const;

    // Asked when the user clicks the close button: true lets the window close (Close). Without a
    // handler the window closes.
    void SetShouldCloseHandler(std::function<bool()> handler);
    // Called by Close, after the window is hidden.
    void SetClosedHandler(std::function<void()> handler);
    // Hides the window and tells the closed handler. The window can be shown again.
    void Close();

    // Asks the user as the close button does; for tests, which have no pointer to click with.
    void PerformClose();

    // The GTK window, for the platform layer's own use.
    void* NativeWindow() const { return window_; }

private:
    static int OnDelete(void* widget, void* event, void* self);
    static int OnConfigure(void* widget, void* event, void* self);
    static int OnKeyPress(void* widget, void* event, void* self);

    void* window_;  // GtkWindow*, owned
    Rect rect_;
    bool sizePending_;  // a size was asked for that the window system has not reported yet
    bool escapeCloses_;
    std::function<bool()> shouldClose_;
    std::function<void()> closed_;
};

}  // namespace platform
