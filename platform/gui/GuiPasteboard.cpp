#include "platform/gui/GuiPasteboard.h"

#include "platform/gui/GuiApplication.h"

#include <gtk/gtk.h>

namespace platform {

bool ReadPasteboardText(std::string& text)
{
    if (!GuiApplication::IsLoaded())
        return false;
    gchar* value = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    if (value == nullptr)
        return false;
    text = value;
    g_free(value);
    return true;
}

bool WritePasteboardText(const std::string& text)
{
    if (!GuiApplication::IsLoaded())
        return false;
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(clipboard, text.data(), static_cast<gint>(text.size()));
    gtk_clipboard_store(clipboard);
    return true;
}

}  // namespace platform
