// Dialogs: creation from resource templates, the dialog manager's default
// handling, the modal loop that runs the user's steps, DialogBoxParamW and EndDialog.
#include <cstdio>
#include <cstdlib>

#include "user_internal.h"

namespace winsim::user {
namespace {

constexpr uint16_t kRtDialog = 5;
const wchar_t kDialogClass[] = L"#32770";

// The first visible, enabled control with WS_TABSTOP: where the dialog
// manager puts the focus when WM_INITDIALOG asks for it.
HWND FirstTabStop(Window* dialog) {
    for (HWND child : dialog->children) {
        Window* control = Find(child);
        if ((control->style & WS_TABSTOP) && (control->style & WS_VISIBLE) && !(control->style & WS_DISABLED))
            return child;
    }
    return nullptr;
}

}  // namespace

HWND CreateDialogFromTemplate(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM initParam,
                              bool childPage) {
    const std::vector<uint8_t>* data = FindResourceData(instance, kRtDialog, name);
    DialogTemplate dialog;
    if (!data || !ParseDialogTemplate(*data, &dialog)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (!dialog.menu.empty() || !dialog.className.empty())
        detail::Unimplemented("DialogBoxParamW", "dialog templates with a menu or a class");
    DWORD style = dialog.style & ~WS_VISIBLE;
    if (childPage) style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME)) | WS_CHILD;
    Window* window = NewWindow(dialog.exStyle, kDialogClass, dialog.caption, style, dialog.x, dialog.y, dialog.cx,
                               dialog.cy, parent, 0, instance);
    window->proc = DialogWindowProc;
    window->dialogProc = proc;
    HWND handle = window->handle;
    for (const DialogItem& item : dialog.items) {
        HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD,
                                       item.x, item.y, item.cx, item.cy, handle,
                                       reinterpret_cast<HMENU>(static_cast<intptr_t>(item.id)), instance, nullptr);
        if (!control) detail::Unimplemented("DialogBoxParamW", "a control class of the template");
    }
    HWND focus = FirstTabStop(Find(handle));
    if (SendMessageW(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), initParam) && focus && Find(focus))
        SetFocus(focus);
    return Find(handle) ? handle : nullptr;
}

LRESULT CALLBACK DialogWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* dialog = Find(handle);
    INT_PTR handled = dialog->dialogProc ? dialog->dialogProc(handle, message, wParam, lParam) : FALSE;
    if (message == WM_INITDIALOG) return handled;
    // A handled message's own result would be in DWLP_MSGRESULT, which nothing here sets.
    if (handled) return 0;
    switch (message) {
        case WM_CLOSE: {
            // As if Cancel were pressed, unless a Cancel button is there and disabled.
            HWND cancel = GetDlgItem(handle, IDCANCEL);
            if (cancel && (Find(cancel)->style & WS_DISABLED)) return 0;
            SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case WM_SETTEXT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
        case WM_PAINT:
        case WM_SYSCOMMAND:
            return DefWindowProcW(handle, message, wParam, lParam);
        default:
            return 0;
    }
}

void RunUserStep(const char* function) {
    State& ui = Ui();
    if (ui.steps.empty()) {
        std::fprintf(stderr, "winsim: %s waits for user input, but the test has no further user step\n", function);
        std::fflush(stderr);
        std::abort();
    }
    std::function<void()> step = std::move(ui.steps.front());
    ui.steps.pop_front();
    step();
}

void RunModalLoop(Window* modalWindow, const char* function) {
    HWND handle = modalWindow->handle;
    Ui().modalStack.push_back(handle);
    for (Window* window = Find(handle); window && !window->ended; window = Find(handle)) RunUserStep(function);
    Ui().modalStack.pop_back();
}

}  // namespace winsim::user

namespace winsim {

void QueueUserStep(std::function<void()> step) { user::Ui().steps.push_back(std::move(step)); }

size_t PendingUserSteps() { return user::Ui().steps.size(); }

}  // namespace winsim

using winsim::user::Find;
using winsim::user::Window;

extern "C" {

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("DialogBoxParamW", &code)) {
        SetLastError(code);
        return -1;
    }
    HWND owner = parent ? winsim::user::TopLevel(parent) : nullptr;
    HWND previousFocus = GetFocus();
    bool ownerWasEnabled = false;
    if (Window* ownerWindow = owner ? Find(owner) : nullptr) {
        ownerWasEnabled = !(ownerWindow->style & WS_DISABLED);
        ownerWindow->style |= WS_DISABLED;
    }
    HWND dialog = winsim::user::CreateDialogFromTemplate(instance, templateName, owner, dialogProc, initParam, false);
    INT_PTR result = -1;
    if (Window* window = dialog ? Find(dialog) : nullptr) {
        if (!window->ended) {
            ShowWindow(dialog, SW_SHOW);
            winsim::user::RunModalLoop(window, "DialogBoxParamW");
        }
        // A dialog destroyed instead of ended leaves -1.
        if (Window* ended = Find(dialog)) {
            result = ended->result;
            DestroyWindow(dialog);
        }
    }
    if (Window* ownerWindow = owner ? Find(owner) : nullptr) {
        if (ownerWasEnabled) ownerWindow->style &= ~WS_DISABLED;
    }
    if (previousFocus && Find(previousFocus)) SetFocus(previousFocus);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("EndDialog", &code)) {
        SetLastError(code);
        return FALSE;
    }
    Window* window = Find(dialog);
    if (!window || !window->dialogProc) return FALSE;
    window->ended = true;
    window->result = result;
    window->style &= ~WS_VISIBLE;
    return TRUE;
}

}  // extern "C"
