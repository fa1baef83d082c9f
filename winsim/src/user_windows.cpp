// Window classes and windows: creation, destruction, texts, visibility, focus,
// painting and the sending of messages.
#include "user_internal.h"

namespace winsim::user {
namespace {

constexpr DWORD kErrorCannotFindClass = 1407;
constexpr DWORD kErrorControlIdNotFound = 1421;

const WindowClass* FindClass(const std::wstring& name) {
    for (const WindowClass& c : Ui().classes) {
        if (detail::EqualNoCase(c.name, name)) return &c;
    }
    return nullptr;
}

std::wstring ClassNameOf(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(name));
    return name;
}

}  // namespace

State& Ui() {
    static State& state = *new State;  // never destroyed: threads may outlive main
    static bool hooked = (detail::OnReset([] { state = State{}; }), true);
    (void)hooked;
    return state;
}

Window* Find(HWND handle) {
    auto& windows = Ui().windows;
    auto found = windows.find(handle);
    if (found == windows.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return found->second.get();
}

HWND TopLevel(HWND handle) {
    Window* window = Find(handle);
    while (window && (window->style & WS_CHILD) && window->parent) window = Find(window->parent);
    return window ? window->handle : nullptr;
}

Window* NewWindow(DWORD exStyle, const std::wstring& className, const std::wstring& text, DWORD style, int x, int y,
                  int cx, int cy, HWND parent, int id, HINSTANCE instance) {
    State& ui = Ui();
    auto window = std::make_unique<Window>();
    window->handle = reinterpret_cast<HWND>(ui.nextHandle += 4);
    window->className = className;
    window->text = text;
    window->style = style;
    window->exStyle = exStyle;
    window->x = x;
    window->y = y;
    window->cx = cx;
    window->cy = cy;
    window->instance = instance;
    if (style & WS_CHILD) {
        window->parent = parent;
        window->id = id;
        Find(parent)->children.push_back(window->handle);
    } else {
        window->owner = parent ? TopLevel(parent) : nullptr;
    }
    Window* created = window.get();
    ui.windows[created->handle] = std::move(window);
    return created;
}

void MarkShown(Window* window) {
    window->needsPaint = true;
    if (window->style & WS_CHILD) return;
    auto& shown = Ui().shown;
    for (const ShownWindow& earlier : shown) {
        if (earlier.handle == window->handle) return;
    }
    shown.push_back({window->handle, window->className, window->text});
}

void NotifyParent(Window* control, WORD code) {
    SendMessageW(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control->handle));
}

}  // namespace winsim::user

using winsim::user::Find;
using winsim::user::Ui;
using winsim::user::Window;

extern "C" {

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("RegisterClassExW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXW) || !windowClass->lpfnWndProc ||
        !windowClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (windowClass->cbClsExtra || windowClass->cbWndExtra)
        winsim::detail::Unimplemented("RegisterClassExW", "class or window extra bytes");
    std::wstring name = winsim::user::ClassNameOf(windowClass->lpszClassName);
    if (winsim::user::FindClass(name) || winsim::user::ControlProc(name)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    winsim::user::WindowClass entry{name,
                                    windowClass->lpfnWndProc,
                                    windowClass->style,
                                    windowClass->hInstance,
                                    windowClass->hIcon,
                                    windowClass->hIconSm,
                                    windowClass->hCursor,
                                    windowClass->hbrBackground,
                                    L"",
                                    0};
    if (windowClass->lpszMenuName && IS_INTRESOURCE(windowClass->lpszMenuName)) {
        entry.menuId = static_cast<int>(reinterpret_cast<uintptr_t>(windowClass->lpszMenuName));
    } else if (windowClass->lpszMenuName) {
        entry.menuName = windowClass->lpszMenuName;
    }
    Ui().classes.push_back(entry);
    return static_cast<ATOM>(0xC000 + Ui().classes.size());
}

// The program's own classes, by name and for the instance that registered
// them; lpszClassName points at the caller's name.
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* windowClass) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("GetClassInfoExW", &code)) {
        SetLastError(code);
        return FALSE;
    }
    if (!className || !windowClass || windowClass->cbSize != sizeof(WNDCLASSEXW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (IS_INTRESOURCE(className)) winsim::detail::Unimplemented("GetClassInfoExW", "class atoms");
    if (winsim::user::ControlProc(className)) winsim::detail::Unimplemented("GetClassInfoExW", "predefined classes");
    const auto& classes = Ui().classes;
    for (size_t i = 0; i < classes.size(); ++i) {
        const winsim::user::WindowClass& c = classes[i];
        if (!winsim::detail::EqualNoCase(c.name, className) || c.instance != instance) continue;
        LPCWSTR menu = c.menuId ? MAKEINTRESOURCEW(c.menuId) : c.menuName.empty() ? nullptr : c.menuName.c_str();
        *windowClass = WNDCLASSEXW{sizeof(WNDCLASSEXW), c.style, c.proc, 0, 0, c.instance, c.icon,
                                   c.cursor, c.background, menu, className, c.iconSmall};
        return static_cast<ATOM>(0xC000 + i + 1);
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("CreateWindowExW", &code)) {
        SetLastError(code);
        return nullptr;
    }
    if (!className) {
        SetLastError(winsim::user::kErrorCannotFindClass);
        return nullptr;
    }
    std::wstring name = winsim::user::ClassNameOf(className);
    WNDPROC proc = winsim::user::ControlProc(name);
    if (const winsim::user::WindowClass* registered = winsim::user::FindClass(name)) proc = registered->proc;
    if (!proc) {
        SetLastError(winsim::user::kErrorCannotFindClass);
        return nullptr;
    }
    if ((style & WS_CHILD) && !Find(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    int id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
    if (!(style & WS_CHILD) && menu) winsim::detail::Unimplemented("CreateWindowExW", "window menus");
    Window* window = winsim::user::NewWindow(exStyle, name, windowName ? windowName : L"", style, x, y, width, height,
                                             parent, id, instance);
    window->proc = proc;
    HWND handle = window->handle;
    CREATESTRUCTW create{parameter, instance, menu,   parent,    height,        width,
                         y,         x,        static_cast<LONG>(style), windowName, className, exStyle};
    if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    window = Find(handle);
    if (window && (window->style & WS_VISIBLE)) winsim::user::MarkShown(window);
    return window ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("DestroyWindow", &code)) {
        SetLastError(code);
        return FALSE;
    }
    Window* window = Find(handle);
    if (!window) return FALSE;
    if (window->destroying) return TRUE;
    window->destroying = true;
    window->style &= ~WS_VISIBLE;
    SendMessageW(handle, WM_DESTROY, 0, 0);
    std::vector<HWND> children = Find(handle)->children;
    for (HWND child : children) DestroyWindow(child);
    window = Find(handle);
    if (Window* parent = window->parent ? Find(window->parent) : nullptr) {
        auto& siblings = parent->children;
        for (auto it = siblings.begin(); it != siblings.end(); ++it) {
            if (*it == handle) {
                siblings.erase(it);
                break;
            }
        }
    }
    if (Ui().focus == handle) Ui().focus = nullptr;
    Ui().windows.erase(handle);
    return TRUE;
}

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = Find(handle);
    if (!window) return 0;
    switch (message) {
        case WM_SETTEXT:
            window->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            return TRUE;
        case WM_GETTEXT: {
            if (wParam == 0) return 0;
            LPWSTR buffer = reinterpret_cast<LPWSTR>(lParam);
            size_t count = window->text.size() < wParam - 1 ? window->text.size() : wParam - 1;
            window->text.copy(buffer, count);
            buffer[count] = 0;
            return static_cast<LRESULT>(count);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->text.size());
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(handle, &paint);
            EndPaint(handle, &paint);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(handle);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageW(handle, WM_CLOSE, 0, 0);
            return 0;
        default:
            return 0;
    }
}

BOOL ShowWindow(HWND handle, int command) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("ShowWindow", &code)) return FALSE;
    Window* window = Find(handle);
    if (!window) return FALSE;
    BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
    if (command == SW_HIDE) {
        window->style &= ~WS_VISIBLE;
    } else {
        window->style |= WS_VISIBLE;
        winsim::user::MarkShown(window);
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND handle) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("UpdateWindow", &code)) return FALSE;
    Window* window = Find(handle);
    if (!window) return FALSE;
    if ((window->style & WS_VISIBLE) && window->needsPaint) SendMessageW(handle, WM_PAINT, 0, 0);
    return TRUE;
}

HWND GetParent(HWND handle) {
    Window* window = Find(handle);
    if (!window) return nullptr;
    return (window->style & WS_CHILD) ? window->parent : window->owner;
}

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = Find(handle);
    if (!window) return 0;
    return window->proc(handle, message, wParam, lParam);
}

HDC BeginPaint(HWND handle, PAINTSTRUCT* paint) {
    Window* window = Find(handle);
    if (!window || !paint) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = reinterpret_cast<HDC>(window->handle);
    paint->fErase = TRUE;
    paint->rcPaint = RECT{0, 0, window->cx, window->cy};
    window->needsPaint = false;
    return paint->hdc;
}

BOOL EndPaint(HWND handle, const PAINTSTRUCT* paint) { return Find(handle) && paint ? TRUE : FALSE; }

HWND GetDlgItem(HWND dialog, int id) {
    Window* window = Find(dialog);
    if (!window) return nullptr;
    for (HWND child : window->children) {
        if (Find(child)->id == id) return child;
    }
    SetLastError(winsim::user::kErrorControlIdNotFound);
    return nullptr;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageW(control, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? static_cast<BOOL>(SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        if (max > 0) text[0] = 0;
        return 0;
    }
    return static_cast<UINT>(SendMessageW(control, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(text)));
}

HWND SetFocus(HWND handle) {
    HWND previous = Ui().focus;
    if (handle && !Find(handle)) return nullptr;
    Ui().focus = handle;
    return previous;
}

HWND GetFocus(void) { return Ui().focus; }

}  // extern "C"
