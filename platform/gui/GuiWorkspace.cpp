#include "platform/gui/GuiWorkspace.h"

#include <gtk/gtk.h>

#include <sys/stat.h>

#include <cerrno>

namespace platform {

namespace {

int ShowURI(const char* uri)
{
    GError* error = nullptr;
    const gboolean shown = gtk_show_uri_on_window(nullptr, uri, GDK_CURRENT_TIME, &error);
    if (error != nullptr)
        g_error_free(error);
    return shown ? 0 : EIO;
}

}  // namespace

int GuiWorkspace::OpenURL(const std::string& url)
{
    return ShowURI(url.c_str());
}

int GuiWorkspace::OpenFile(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return ENOENT;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri == nullptr)
        return EINVAL;
    const int result = ShowURI(uri);
    g_free(uri);
    return result;
}

}  // namespace platform
