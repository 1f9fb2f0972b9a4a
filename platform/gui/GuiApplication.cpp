#include "platform/gui/GuiApplication.h"

#include "platform/Authorization.h"
#include "platform/HostInfo.h"
#include "platform/RunLoop.h"
#include "platform/gui/GuiWorkspace.h"

#include <gtk/gtk.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// The one option of the toolkit's that the program's arguments may give it.
const char kDisplayOption[] = "--display=";

// All of this state belongs to the main thread, the only one that touches the GUI.
struct ApplicationState {
    bool loadTried = false;
    bool loaded = false;
    bool terminating = false;
    GMainLoop* mainLoop = nullptr;  // set while Main serves events
    int nextObserverId = 1;
    std::vector<std::pair<int, std::pair<GuiApplication::Notification, GuiApplication::Observer> > > observers;
};

ApplicationState& State()
{
    static ApplicationState state;
    return state;
}

gboolean RunMainTasks(gpointer)
{
    RunLoop::Main().RunPending();
    return G_SOURCE_REMOVE;
}

gboolean MarkExpired(gpointer flag)
{
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

// The main thread's RunLoop::RunFor while the GUI is up: events keep being served. It is a
// sleep, so it lasts its time even while the application terminates.
void PumpEvents(double seconds)
{
    bool expired = false;
    g_timeout_add(static_cast<guint>(seconds * 1000.0), MarkExpired, &expired);
    while (!expired)
        g_main_context_iteration(nullptr, TRUE);
}

// The main display: the primary monitor, else the first one, in the desktop's own pixels.
bool GdkMainDisplaySize(std::uint32_t& width, std::uint32_t& height)
{
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr)
        return false;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr)
        return false;
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    if (area.width <= 0 || area.height <= 0)
        return false;
    width = static_cast<std::uint32_t>(area.width);
    height = static_cast<std::uint32_t>(area.height);
    return true;
}

void Post(GuiApplication::Notification notification)
{
    // Observers may add or remove observers; those that were there at the start are told.
    const std::vector<std::pair<int, std::pair<GuiApplication::Notification, GuiApplication::Observer> > > observers =
        State().observers;
    for (const auto& entry : observers) {
        if (entry.second.first == notification && entry.second.second)
            entry.second.second();
    }
}

// Without a session bus the toolkit's settings (those the folder chooser saves, say) cannot reach
// their store: every save would try to start a bus and warn on the standard error. The wizard
// needs no settings kept, so they stay in memory then. A backend chosen by the environment stays.
void KeepSettingsInMemoryWithoutSessionBus()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0')
        return;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info;
    if (runtime != nullptr && *runtime != '\0' && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
        S_ISSOCK(info.st_mode))
        return;
    setenv("GSETTINGS_BACKEND", "memory", 0);
}

}  // namespace

bool GuiApplication::Load(const std::vector<std::string>& arguments)
{
    ApplicationState& state = State();
    if (state.loadTried)
        return state.loaded;
    state.loadTried = true;
    KeepSettingsInMemoryWithoutSessionBus();

    // Of the arguments the toolkit is given the program's name and the display alone: it takes
    // every option of its own from them ("--gtk-module=" loads a library), and the arguments of a
    // wizard run as root are the user's. A process that acts for another user takes not even the
    // display from them: its display is the one it took and checked (SessionEnvironment).
    std::vector<std::string> copies(1, arguments.empty() ? std::string("Setup") : arguments.front());
    const bool forAnotherUser = InvokingUser() != geteuid();
    for (std::size_t i = 1; i < arguments.size() && !forAnotherUser; ++i) {
        if (arguments[i].compare(0, std::strlen(kDisplayOption), kDisplayOption) == 0)
            copies.push_back(arguments[i]);
    }
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    int argc = static_cast<int>(copies.size());
    char** argvPointer = argv.data();
    state.loaded = gtk_init_check(&argc, &argvPointer);
    if (!state.loaded)
        return false;

    // Tasks that other threads send the main thread run from the GLib loop; g_idle_add may be
    // called from any thread.
    RunLoop::Main().SetWakeUpHandler([]() { g_idle_add(RunMainTasks, nullptr); });
    RunLoop::Main().SetEventPump(PumpEvents);
    g_idle_add(RunMainTasks, nullptr);
    SetMainDisplaySizeSource(GdkMainDisplaySize);
    SetDesktopWorkspace(boost::shared_ptr<WorkspaceInterface>(new GuiWorkspace));
    return true;
}

bool GuiApplication::IsLoaded()
{
    return State().loaded;
}

int GuiApplication::Main(const std::vector<std::string>& arguments, const std::function<void()>& loadMainInterface)
{
    // Without a display the caller reports the failure (once, with the run's other errors).
    if (!Load(arguments))
        return 1;
    if (loadMainInterface)
        loadMainInterface();
    if (!State().terminating)
        Post(kDidFinishLaunching);
    if (!State().terminating) {
        GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
        State().mainLoop = loop;
        g_main_loop_run(loop);
        State().mainLoop = nullptr;
        g_main_loop_unref(loop);
    }
    return 0;
}

void GuiApplication::Terminate()
{
    ApplicationState& state = State();
    if (!state.terminating) {
        state.terminating = true;
        Post(kWillTerminate);
    }
    if (state.mainLoop != nullptr)
        g_main_loop_quit(state.mainLoop);
    WakeUp();
}

bool GuiApplication::IsTerminating()
{
    return State().terminating;
}

int GuiApplication::AddObserver(Notification notification, Observer observer)
{
    ApplicationState& state = State();
    const int id = state.nextObserverId++;
    state.observers.push_back(std::make_pair(id, std::make_pair(notification, std::move(observer))));
    return id;
}

void GuiApplication::RemoveObserver(int id)
{
    auto& observers = State().observers;
    observers.erase(std::remove_if(observers.begin(), observers.end(),
                                   [id](const auto& entry) { return entry.first == id; }),
                    observers.end());
}

bool GuiApplication::RunUntil(const std::function<bool()>& condition, double timeoutSeconds)
{
    if (!State().loaded) {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            if (condition())
                return true;
            double slice = 0.05;
            if (timeoutSeconds >= 0) {
                const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                if (spent >= timeoutSeconds)
                    return false;
                slice = std::min(slice, timeoutSeconds - spent);
            }
            RunLoop::Main().RunFor(slice);
        }
    }

    bool expired = false;
    guint timer = 0;
    if (timeoutSeconds >= 0)
        timer = g_timeout_add(static_cast<guint>(timeoutSeconds * 1000.0), MarkExpired, &expired);
    bool held = false;
    for (;;) {
        if (condition()) {
            held = true;
            break;
        }
        if (expired || State().terminating)
            break;
        g_main_context_iteration(nullptr, TRUE);
    }
    if (timer != 0 && !expired)
        g_source_remove(timer);
    return held;
}

void GuiApplication::WakeUp()
{
    if (State().loaded)
        g_main_context_wakeup(nullptr);
    else
        RunLoop::Main().Post([]() {});
}

void GuiApplication::PerformAfter(double seconds, const std::function<void()>& task)
{
    if (!State().loaded)
        return;
    typedef std::function<void()> Task;
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(std::max(0.0, seconds) * 1000.0),
        [](gpointer data) -> gboolean {
            (*static_cast<Task*>(data))();
            return G_SOURCE_REMOVE;
        },
        new Task(task), [](gpointer data) { delete static_cast<Task*>(data); });
}

void GuiApplication::ActivateIgnoringOtherApps()
{
    if (!State().loaded)
        return;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (gtk_widget_get_visible(GTK_WIDGET(window)) && gtk_window_get_window_type(window) == GTK_WINDOW_TOPLEVEL)
            gtk_window_present(window);
    }
    g_list_free(windows);
}

bool GuiApplication::SetApplicationIconFromFile(const std::string& path)
{
    if (!State().loaded)
        return false;
    GError* error = nullptr;
    const gboolean set = gtk_window_set_default_icon_from_file(path.c_str(), &error);
    if (error != nullptr)
        g_error_free(error);
    return set;
}

void GuiApplication::ResetForTesting()
{
    ApplicationState& state = State();
    state.terminating = false;
    state.observers.clear();
}

}  // namespace platform
