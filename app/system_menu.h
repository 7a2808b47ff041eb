#pragma once
// The window's real system menu, where the platform has one (Windows). Kept
// apart so that the platform's headers, whose macros clash with common names,
// meet no other code.

#include <QString>

class QWidget;

namespace morvane::app {

// Appends a separator and the entry `text` with the system command `command`.
// Does nothing when the window has no system menu.
void AppendToSystemMenu(QWidget& window, unsigned command, const QString& text);

// True when `message`, a native message, is a system command; its value is
// then in `command`.
bool ReadSystemCommand(const void* message, unsigned& command);

}  // namespace morvane::app
