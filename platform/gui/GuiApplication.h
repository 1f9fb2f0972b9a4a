// GuiApplication: the windowing application of the process (GTK 3): the display connection, the
// main loop that also serves RunLoop::Main(), the launch and termination notifications, and the
// nested loops with which modal windows wait. Nothing opens a display until Load is called, so
// programs that never show a window run without one.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

class GuiApplication {
public:
    typedef std::function<void()> Observer;

    enum Notification {
        kDidFinishLaunching,  // posted once the main interface is loaded, before events are served
        kWillTerminate,       // posted once, when Terminate is first called
    };

    // Connects to the display for the process (once; later calls answer the first result) and
    // lets the event loop serve RunLoop::Main(). The arguments are the program's own (a
    // "--display=" in them is honoured, no other option of the toolkit's, and none where the
    // process acts for another user, see InvokingUser). False without a display; no window can
    // then be made.
    static bool Load(const std::vector<std::string>& arguments = std::vector<std::string>());
    static bool IsLoaded();

    // The application main: Load, then the loader (which makes the main interface), then
    // kDidFinishLaunching, then events until Terminate. 0 once terminated; 1 when there is no
    // display (the loader is not called).
    static int Main(const std::vector<std::string>& arguments, const std::function<void()>& loadMainInterface);

    // Posts kWillTerminate (only the first time) and ends Main's loop and every nested loop.
    static void Terminate();
    static bool IsTerminating();

    // Observers run on the main thread in the order added. An id for RemoveObserver.
    static int AddObserver(Notification notification, Observer observer);
    static void RemoveObserver(int id);

    // Serves events until the condition holds (checked before each wait), the application
    // terminates or the time-out passes (a negative time-out waits without limit). Whether the
    // condition held. Without a display only RunLoop::Main() tasks are served.
    static bool RunUntil(const std::function<bool()>& condition, double timeoutSeconds);
    // Wakes a loop that waits in RunUntil, so that it checks its condition again.
    static void WakeUp();
    // Runs the task once on the main thread, from the event loop, when the seconds have passed.
    // The task must find out itself whether it is still wanted. Without a display: never.
    static void PerformAfter(double seconds, const std::function<void()>& task);

    // Brings every window of the application in front and gives it the input focus.
    static void ActivateIgnoringOtherApps();

    // The image in the file becomes the icon of every window; false when it cannot be read.
    static bool SetApplicationIconFromFile(const std::string& path);

    // Clears the terminating state and the observers, so that a test process can run several
    // application lives one after another.
    static void ResetForTesting();
};

}  // namespace platform
