// SVLSorvelUIDelegateProtocol: the window calls that a window controller (the wizard's or the
// HTML alert's) offers to its user-interface publisher. Every call answers whether it was done.
// A controller that can switch its window's close button also offers SVLCloseBoxControl; one
// whose application reads the general pasteboard offers SVLPasteboardAccess.
#pragma once

#include <cstdint>
#include <string>

class SVLSorvelUIDelegateProtocol {
public:
    virtual ~SVLSorvelUIDelegateProtocol() {}

    // Shows the HTML text in a modal alert window; its exit text goes into result.
    virtual bool showHTMLAlert(const std::string& html, std::string& result) = 0;
    // Ends the window's dialog with the text.
    virtual bool exitDialog(const std::string& exitText) = 0;
    // Asks the user for a folder, starting at startFolder; the chosen path goes into result.
    virtual bool selectLocation(const std::string& startFolder, const std::string& title, const std::string& subtitle,
                                std::string& result) = 0;
    virtual bool setTitle(const std::string& title) = 0;
    virtual bool setVisibility(bool visible) = 0;
    // Resizes the window's content to width by height.
    virtual bool setViewWidth(std::uint32_t width, std::uint32_t height) = 0;
};

class SVLCloseBoxControl {
public:
    virtual ~SVLCloseBoxControl() {}

    virtual bool setCloseBoxEnabled(bool enabled) = 0;
};

class SVLPasteboardAccess {
public:
    virtual ~SVLPasteboardAccess() {}

    // The general pasteboard's text; false when there is none (or no display).
    virtual bool readPasteboardText(std::string& text) = 0;
};
