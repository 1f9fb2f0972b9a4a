// SVLWindow: the wizard's window. Closing it is confirmed first, and a closed wizard window
// ends the application.
#pragma once

#include "platform/gui/GuiWindow.h"

#include <boost/noncopyable.hpp>

#include <cstdint>
#include <string>

class SVLWindow : private boost::noncopyable {
public:
    SVLWindow(const std::string& title, int width, int height);

    platform::GuiWindow& Window() { return window_; }

    // Asked before the window closes: the quit confirmation, titled as the window; true lets it
    // close, and the run then ends with SorvelConstants::kExitUserQuit.
    bool windowShouldClose();
    // Closes the window and terminates the application.
    void close();

    // Resizes the window's content to width by height keeping its top-right corner in place,
    // then centres the window. Used by both window controllers.
    static void ResizeContent(platform::GuiWindow& window, std::uint32_t width, std::uint32_t height);

    // How long a close request waits for the page's answer before Setup answers it itself (a
    // page whose script is stuck answers nothing). Used by both window controllers.
    static constexpr double kCloseAnswerSeconds = 3.0;

private:
    platform::GuiWindow window_;
};
