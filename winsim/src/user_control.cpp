// Test controls of the window manager: what the windows show, and the user's
// clicks, keys and typing, each taken only where a real user could act.
#include "user_internal.h"

using winsim::user::Find;
using winsim::user::Ui;
using winsim::user::Window;

namespace winsim {
namespace {

bool IsDialogWindow(Window* window) { return window->dialogProc || window->sheet; }

// The top-level dialog that takes a control's keyboard input.
Window* KeyboardDialog(HWND control, const char* action) {
    Window* dialog = Find(user::TopLevel(control));
    if (!dialog || !IsDialogWindow(dialog)) return nullptr;
    if (dialog->sheet) detail::Unimplemented(action, "keyboard input in a property sheet");
    return dialog;
}

bool CanTakeInput(HWND handle) {
    if (!WindowVisible(handle)) return false;
    for (Window* window = Find(handle); window; window = (window->style & WS_CHILD) ? Find(window->parent) : nullptr) {
        if (window->style & WS_DISABLED) return false;
    }
    HWND active = ActiveWindow();
    return !active || user::TopLevel(handle) == active;
}

bool IsPushButton(Window* window) {
    DWORD type = window->style & BS_TYPEMASK;
    return detail::EqualNoCase(window->className, L"BUTTON") && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// The default push button of a dialog: the one with BS_DEFPUSHBUTTON, or IDOK.
int DefaultButtonId(Window* dialog) {
    for (HWND child : dialog->children) {
        Window* control = Find(child);
        if (detail::EqualNoCase(control->className, L"BUTTON") && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return control->id;
    }
    return IDOK;
}

bool CommandFromKeyboard(Window* dialog, int id) {
    HWND button = GetDlgItem(dialog->handle, id);
    if (button && (Find(button)->style & WS_DISABLED)) return false;
    SendMessageW(dialog->handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

}  // namespace

HWND ActiveWindow() {
    auto& stack = Ui().modalStack;
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        Window* window = Find(*it);
        if (window && !window->ended) return *it;
    }
    return nullptr;
}

bool WindowExists(HWND window) { return Ui().windows.count(window) != 0; }

bool WindowVisible(HWND handle) {
    Window* window = Find(handle);
    for (; window; window = (window->style & WS_CHILD) ? Find(window->parent) : nullptr) {
        if (!(window->style & WS_VISIBLE)) return false;
    }
    return WindowExists(handle);
}

bool WindowEnabled(HWND handle) {
    Window* window = Find(handle);
    return window && !(window->style & WS_DISABLED);
}

std::wstring WindowText(HWND handle) {
    Window* window = Find(handle);
    return window ? window->text : L"";
}

std::wstring WindowClass(HWND handle) {
    Window* window = Find(handle);
    return window ? window->className : L"";
}

DWORD WindowStyle(HWND handle) {
    Window* window = Find(handle);
    return window ? window->style : 0;
}

int WindowId(HWND handle) {
    Window* window = Find(handle);
    return window ? window->id : 0;
}

std::vector<HWND> ChildWindows(HWND handle) {
    Window* window = Find(handle);
    return window ? window->children : std::vector<HWND>{};
}

std::vector<ShownWindow> WindowsShown() { return Ui().shown; }

bool SelectTab(HWND sheet, int index) {
    Window* window = Find(sheet);
    if (!window || !window->sheet || !CanTakeInput(sheet)) return false;
    return SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != FALSE;
}

bool PressSheetButton(HWND sheet, SheetButton button) {
    int id = button == SheetButton::Ok ? IDOK : button == SheetButton::Cancel ? IDCANCEL : ID_APPLY_NOW;
    HWND control = GetDlgItem(sheet, id);
    return control && Click(control);
}

bool Click(HWND control) {
    Window* button = Find(control);
    if (!button || !detail::EqualNoCase(button->className, L"BUTTON") || !CanTakeInput(control)) return false;
    if (button->style & WS_TABSTOP) SetFocus(control);
    if ((button->style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        button->check = button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    user::NotifyParent(button, BN_CLICKED);
    return true;
}

bool ClickDlgButton(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && Click(control);
}

bool TypeText(HWND control, const std::wstring& text) {
    if (!Find(control) || !detail::EqualNoCase(Find(control)->className, L"EDIT") || !CanTakeInput(control))
        return false;
    SetFocus(control);
    for (wchar_t character : text) {
        Window* edit = Find(control);
        if (!edit) return false;
        user::TypeCharacter(edit, character);
    }
    return true;
}

bool SelectAllText(HWND control) {
    if (!Find(control) || !CanTakeInput(control)) return false;
    SetFocus(control);
    SendMessageW(control, EM_SETSEL, 0, -1);
    return true;
}

bool PressDelete(HWND control) {
    Window* edit = Find(control);
    if (!edit || !detail::EqualNoCase(edit->className, L"EDIT") || !CanTakeInput(control)) return false;
    SetFocus(control);
    if (edit->style & ES_READONLY) return true;
    if (edit->selStart == edit->selEnd && edit->selEnd < edit->text.size()) ++edit->selEnd;
    SendMessageW(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    return true;
}

bool PressEnter(HWND control) {
    Window* focus = Find(control);
    if (!focus || !CanTakeInput(control)) return false;
    Window* dialog = KeyboardDialog(control, "PressEnter");
    if (!dialog) return false;
    SetFocus(control);
    if (detail::EqualNoCase(focus->className, L"EDIT") && (focus->style & ES_MULTILINE) &&
        (focus->style & ES_WANTRETURN))
        return user::TypeCharacter(focus, L'\r');
    if (IsPushButton(focus)) return Click(control);
    return CommandFromKeyboard(dialog, DefaultButtonId(dialog));
}

bool PressEscape(HWND control) {
    if (!Find(control) || !CanTakeInput(control)) return false;
    Window* dialog = KeyboardDialog(control, "PressEscape");
    return dialog && CommandFromKeyboard(dialog, IDCANCEL);
}

bool PressCloseBox(HWND handle) {
    Window* window = Find(handle);
    if (!window || (window->style & WS_CHILD) || !(window->style & WS_SYSMENU) || !CanTakeInput(handle)) return false;
    SendMessageW(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

}  // namespace winsim
