// The message loop: the input queue, WM_QUIT, WM_PAINT for windows that need
// it, dispatching and character accelerators.
#include "user_internal.h"

using winsim::user::Find;
using winsim::user::Ui;
using winsim::user::Window;

namespace winsim::user {
namespace {

// A visible window waiting for WM_PAINT, or null.
HWND WindowToPaint() {
    for (auto& entry : Ui().windows) {
        Window* window = entry.second.get();
        if (window->needsPaint && (window->style & WS_VISIBLE)) return window->handle;
    }
    return nullptr;
}

}  // namespace
}  // namespace winsim::user

namespace winsim {

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    user::Ui().queue.push_back(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
}

}  // namespace winsim

extern "C" {

BOOL GetMessageW(LPMSG message, HWND window, UINT first, UINT last) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("GetMessageW", &code)) {
        SetLastError(code);
        return -1;
    }
    if (window || first || last) winsim::detail::Unimplemented("GetMessageW", "message filters");
    for (;;) {
        winsim::user::State& ui = Ui();
        if (!ui.queue.empty()) {
            *message = ui.queue.front();
            ui.queue.pop_front();
            return TRUE;
        }
        if (ui.quitPosted) {
            ui.quitPosted = false;
            *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(ui.quitCode), 0, 0, POINT{0, 0}};
            return FALSE;
        }
        if (HWND paint = winsim::user::WindowToPaint()) {
            *message = MSG{paint, WM_PAINT, 0, 0, 0, POINT{0, 0}};
            return TRUE;
        }
        winsim::user::RunUserStep("GetMessageW");
    }
}

BOOL TranslateMessage(const MSG* message) {
    if (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)
        winsim::detail::Unimplemented("TranslateMessage", "keys to characters; post the characters instead");
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* message) {
    if (!message->hwnd) return 0;
    return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG message) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("TranslateAcceleratorW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (!window || !table) return 0;
    for (const winsim::AcceleratorEntry& entry : winsim::AcceleratorEntries(table)) {
        if (entry.flags & FVIRTKEY) {
            if (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)
                winsim::detail::Unimplemented("TranslateAcceleratorW", "virtual-key accelerators");
            continue;
        }
        // A character accelerator with Alt answers WM_SYSCHAR, one without it WM_CHAR.
        UINT wanted = (entry.flags & FALT) ? WM_SYSCHAR : WM_CHAR;
        if (message->message == wanted && message->wParam == entry.key) {
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(entry.command, 1), 0);
            return 1;
        }
    }
    return 0;
}

void PostQuitMessage(int exitCode) {
    Ui().quitPosted = true;
    Ui().quitCode = exitCode;
}

}  // extern "C"
