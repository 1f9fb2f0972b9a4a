// GuiPasteboard: the general pasteboard (the display's clipboard) as text. Only with a display
// (GuiApplication::Load); without one there is no pasteboard.
#pragma once

#include <string>

namespace platform {

// The clipboard's text; false without a display or when the clipboard holds no text.
bool ReadPasteboardText(std::string& text);
// Puts the text on the clipboard; false without a display.
bool WritePasteboardText(const std::string& text);

}  // namespace platform
