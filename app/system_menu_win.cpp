#include "app/system_menu.h"

#include <QWidget>
#include <string>

// The platform's header last, without its min and max macros, which would
// break the standard library's and Qt's own names.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace morvane::app {

void AppendToSystemMenu(QWidget& window, unsigned command, const QString& text) {
    const HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
    if (menu == nullptr) {
        return;
    }
    const std::wstring wide = text.toStdWString();
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, command, wide.c_str());
}

bool ReadSystemCommand(const void* message, unsigned& command) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_SYSCOMMAND) {
        return false;
    }
    command = static_cast<unsigned>(msg->wParam);
    return true;
}

}  // namespace morvane::app
