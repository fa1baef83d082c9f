// Shared state of winsim's window manager: windows, classes, focus, the input
// queue and the user's scripted steps. One user-interface thread, no locks.
#pragma once
#include <winsim/control.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "internal.h"

namespace winsim::user {

struct SheetState;

struct Window {
    HWND handle = nullptr;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // top-level windows
    std::wstring className;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::wstring text;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<HWND> children;
    bool needsPaint = false;
    bool destroying = false;

    // Edit controls: the selection, caret at selEnd.
    size_t selStart = 0, selEnd = 0;
    // Buttons.
    int check = BST_UNCHECKED;

    // Dialogs.
    DLGPROC dialogProc = nullptr;
    bool ended = false;
    INT_PTR result = 0;

    // Property sheets.
    std::shared_ptr<SheetState> sheet;
};

struct WindowClass {
    std::wstring name;
    WNDPROC proc;
    UINT style;
    HINSTANCE instance;
    HICON icon, iconSmall;
    HCURSOR cursor;
    HBRUSH background;
    std::wstring menuName;
    int menuId;  // when the menu is named by number
};

struct State {
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::deque<WindowClass> classes;  // a deque: menu names handed out stay where they are
    uintptr_t nextHandle = 0x10000;
    HWND focus = nullptr;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    std::deque<std::function<void()>> steps;
    std::vector<HWND> modalStack;  // innermost last
    std::vector<ShownWindow> shown;
};

State& Ui();

// The window behind a handle, or null (and ERROR_INVALID_WINDOW_HANDLE).
Window* Find(HWND handle);
HWND TopLevel(HWND handle);

// Creates a window of a registered or predefined class without sending it
// WM_CREATE (the callers send what their kind of window gets).
Window* NewWindow(DWORD exStyle, const std::wstring& className, const std::wstring& text, DWORD style, int x, int y,
                  int cx, int cy, HWND parent, int id, HINSTANCE instance);
void MarkShown(Window* window);

// Procedures of the predefined controls, by class name; null for other classes.
WNDPROC ControlProc(const std::wstring& className);
// The procedure that runs a dialog's DLGPROC with the dialog manager's defaults.
LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SheetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sends WM_COMMAND with a notification code to a control's parent.
void NotifyParent(Window* control, WORD code);

// Creates a dialog from a template of the instance's resources, sends it
// WM_INITDIALOG and sets the focus as the dialog manager does. Null when the
// template is missing.
HWND CreateDialogFromTemplate(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM initParam,
                              bool childPage);

// Runs the user's steps until the window's modal loop ends.
void RunModalLoop(Window* modalWindow, const char* function);
// Runs the next user step; aborts when the script has none left.
void RunUserStep(const char* function);

// Edit control text changes as the user makes them (typing).
bool TypeCharacter(Window* edit, wchar_t character);

// Resource data of an instance (the program's module image), or null.
const std::vector<uint8_t>* FindResourceData(HINSTANCE instance, uint16_t type, LPCWSTR name);
bool ParseDialogTemplate(const std::vector<uint8_t>& data, DialogTemplate* dialog);

}  // namespace winsim::user
