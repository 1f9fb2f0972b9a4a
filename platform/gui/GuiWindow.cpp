#include "platform/gui/GuiWindow.h"

#include <gtk/gtk.h>

#include <utility>

namespace platform {

namespace {

GtkWindow* AsWindow(void* window)
{
    return GTK_WINDOW(window);
}

// The window system refuses windows beyond its coordinate range (and fails the program for it),
// so sizes are kept within what a screen can show.
int ClampSize(int size)
{
    const int kLargest = 16384;
    return size < 1 ? 1 : (size > kLargest ? kLargest : size);
}

}  // namespace

GuiWindow::GuiWindow(const std::string& title, int width, int height)
    : window_(nullptr), sizePending_(false), escapeCloses_(false)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    // The window belongs to this object, not to GTK's list of toplevels.
    g_object_ref_sink(window);
    window_ = window;
    gtk_window_set_title(AsWindow(window_), title.c_str());
    rect_.width = ClampSize(width);
    rect_.height = ClampSize(height);
    gtk_window_set_default_size(AsWindow(window_), rect_.width, rect_.height);
    g_signal_connect(window, "delete-event", G_CALLBACK(&GuiWindow::OnDelete), this);
    g_signal_connect(window, "configure-event", G_CALLBACK(&GuiWindow::OnConfigure), this);
    // Before the window hands the key to the widget with the focus (a web view would keep it).
    g_signal_connect(window, "key-press-event", G_CALLBACK(&GuiWindow::OnKeyPress), this);
}

GuiWindow::~GuiWindow()
{
    GtkWidget* window = GTK_WIDGET(window_);
    g_signal_handlers_disconnect_by_data(window, this);
    gtk_widget_destroy(window);
    g_object_unref(window);
}

void GuiWindow::SetTitle(const std::string& title)
{
    gtk_window_set_title(AsWindow(window_), title.c_str());
}

std::string GuiWindow::Title() const
{
    const gchar* title = gtk_window_get_title(AsWindow(window_));
    return title != nullptr ? title : std::string();
}

GuiWindow::Rect GuiWindow::ContentRect() const
{
    return rect_;
}

void GuiWindow::SetContentRect(const Rect& rect)
{
    rect_ = rect;
    rect_.width = ClampSize(rect.width);
    rect_.height = ClampSize(rect.height);
    sizePending_ = true;
    gtk_window_move(AsWindow(window_), rect_.x, rect_.y);
    gtk_window_resize(AsWindow(window_), rect_.width, rect_.height);
}

void GuiWindow::SetContentSize(int width, int height)
{
    rect_.width = ClampSize(width);
    rect_.height = ClampSize(height);
    sizePending_ = true;
    gtk_window_resize(AsWindow(window_), rect_.width, rect_.height);
}

void GuiWindow::Center()
{
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window_));
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) {
        gtk_window_set_position(AsWindow(window_), GTK_WIN_POS_CENTER);
        return;
    }
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    rect_.x = area.x + (area.width - rect_.width) / 2;
    rect_.y = area.y + (area.height - rect_.height) / 2;
    gtk_window_move(AsWindow(window_), rect_.x, rect_.y);
}

bool GuiWindow::IsVisible() const
{
    return gtk_widget_get_visible(GTK_WIDGET(window_));
}

void GuiWindow::MakeKeyAndOrderFront()
{
    gtk_widget_show_all(GTK_WIDGET(window_));
    gtk_window_present(AsWindow(window_));
}

void GuiWindow::OrderOut()
{
    gtk_widget_hide(GTK_WIDGET(window_));
}

void GuiWindow::SetModal(bool modal)
{
    gtk_window_set_modal(AsWindow(window_), modal);
}

void GuiWindow::SetModalChildOf(const GuiWindow* parent)
{
    gtk_window_set_type_hint(AsWindow(window_),
                             parent != nullptr ? GDK_WINDOW_TYPE_HINT_DIALOG : GDK_WINDOW_TYPE_HINT_NORMAL);
    gtk_window_set_transient_for(AsWindow(window_), parent != nullptr ? AsWindow(parent->window_) : nullptr);
    gtk_window_set_modal(AsWindow(window_), parent != nullptr);
}

void GuiWindow::SetEscapeCloses(bool closes)
{
    escapeCloses_ = closes;
}

void GuiWindow::SetCloseButtonEnabled(bool enabled)
{
    gtk_window_set_deletable(AsWindow(window_), enabled);
}

bool GuiWindow::CloseButtonEnabled() const
{
    return gtk_window_get_deletable(AsWindow(window_));
}

void GuiWindow::SetShouldCloseHandler(std::function<bool()> handler)
{
    shouldClose_ = std::move(handler);
}

void GuiWindow::SetClosedHandler(std::function<void()> handler)
{
    closed_ = std::move(handler);
}

void GuiWindow::Close()
{
    gtk_widget_hide(GTK_WIDGET(window_));
    if (closed_) {
        // The handler may replace itself or destroy more than this window's state.
        const std::function<void()> closed = closed_;
        closed();
    }
}

void GuiWindow::PerformClose()
{
    if (!shouldClose_ || shouldClose_())
        Close();
}

int GuiWindow::OnDelete(void*, void*, void* self)
{
    static_cast<GuiWindow*>(self)->PerformClose();
    // The window is hidden, never destroyed, by the close button: its owner decides its end.
    return TRUE;
}

int GuiWindow::OnKeyPress(void*, void* event, void* self)
{
    GuiWindow* window = static_cast<GuiWindow*>(self);
    const GdkEventKey* key = static_cast<const GdkEventKey*>(event);
    if (!window->escapeCloses_ || key->keyval != GDK_KEY_Escape)
        return FALSE;
    window->PerformClose();
    return TRUE;
}

int GuiWindow::OnConfigure(void*, void* event, void* self)
{
    const GdkEventConfigure* configure = static_cast<const GdkEventConfigure*>(event);
    GuiWindow* window = static_cast<GuiWindow*>(self);
    // Reports that come before the window system has taken the size last asked for are about
    // an older geometry; the request stands until the window has that size.
    if (window->sizePending_) {
        if (configure->width != window->rect_.width || configure->height != window->rect_.height)
            return FALSE;
        window->sizePending_ = false;
    }
    window->rect_.x = configure->x;
    window->rect_.y = configure->y;
    window->rect_.width = configure->width;
    window->rect_.height = configure->height;
    return FALSE;
}

}  // namespace platform
