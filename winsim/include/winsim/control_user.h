// Test controls of windows, dialogs and property sheets: the user's actions,
// run from inside the modal loops, and what the windows show.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

// The instance handle of the program's own module (the one wWinMain gets).
HINSTANCE ProgramInstance();

// The user: steps run one at a time, in order, whenever a modal loop (a dialog,
// a property sheet, the message loop) waits for input. A loop that waits with no
// step left aborts the test: the script ended while a window still wanted input.
void QueueUserStep(std::function<void()> step);
size_t PendingUserSteps();

// Windows as the user sees them.
HWND ActiveWindow();  // the innermost modal dialog or sheet, or null
bool WindowExists(HWND window);
bool WindowVisible(HWND window);  // itself and its parents shown
bool WindowEnabled(HWND window);
std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);
DWORD WindowStyle(HWND window);
int WindowId(HWND window);
std::vector<HWND> ChildWindows(HWND window);  // in creation (tab) order
struct ShownWindow {
    HWND handle;
    std::wstring className;
    std::wstring text;  // as it was when the window was first shown
};
std::vector<ShownWindow> WindowsShown();  // top-level windows ever made visible, in order

// Property sheets.
std::vector<std::wstring> SheetTabs(HWND sheet);
int SheetCurrentPage(HWND sheet);
bool ApplyEnabled(HWND sheet);
enum class SheetButton { Ok, Cancel, Apply };

// User actions. Each returns false, having done nothing, when the window can't
// take the input: hidden, disabled, or behind a modal window.
bool SelectTab(HWND sheet, int index);
bool PressSheetButton(HWND sheet, SheetButton button);
bool Click(HWND control);                // push buttons and check boxes
bool ClickDlgButton(HWND dialog, int id);
bool TypeText(HWND edit, const std::wstring& text);  // key by key at the caret
bool SelectAllText(HWND edit);
bool PressDelete(HWND edit);     // the selection, or the character after the caret
bool PressEnter(HWND control);   // in a dialog: the focused push button or the default one
bool PressEscape(HWND control);  // in a dialog: Cancel
bool PressCloseBox(HWND window); // the close box in the caption
// Posts an input message (a key or character) to the message loop's queue.
void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Resources as the module image holds them.
struct DialogItem {
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
    int id;                 // -1 for 0xFFFF (and 0xFFFFFFFF in extended templates)
    std::wstring className; // predefined classes by their upper-case names
    std::wstring text;
};
struct DialogTemplate {
    bool extended;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
    std::wstring menu;
    std::wstring className;
    std::wstring caption;
    bool hasFont;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    std::wstring typeface;
    std::vector<DialogItem> items;
};
bool ReadDialogTemplate(HINSTANCE instance, int id, DialogTemplate* dialog);

struct MenuItem {
    std::wstring text;
    WORD flags;  // MF_POPUP 0x10, MF_END 0x80, ...
    WORD id;     // commands only
    std::vector<MenuItem> items;
};
bool ReadMenu(HINSTANCE instance, int id, std::vector<MenuItem>* menu);

struct AcceleratorEntry {
    BYTE flags;
    WORD key;
    WORD command;
};
std::vector<AcceleratorEntry> AcceleratorEntries(HACCEL table);

}  // namespace winsim
