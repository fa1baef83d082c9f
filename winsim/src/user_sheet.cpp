// PropertySheetW: a modal sheet with its tabs, OK, Cancel and Apply; pages
// created on first display, PSN_APPLY to every existing page in index order.
#include "user_internal.h"

namespace winsim::user {

struct SheetState {
    std::vector<PROPSHEETPAGEW> pages;
    std::vector<std::wstring> tabs;
    std::vector<HWND> pageWindows;
    std::vector<bool> changed;
    int current = -1;
    bool applied = false;
};

namespace {

constexpr int kTabControlId = 0x3020;
constexpr DWORD kHeaderFlags = PSH_PROPSHEETPAGE | PSH_USEICONID | PSH_USEHICON | PSH_USECALLBACK | PSH_NOAPPLYNOW;
constexpr DWORD kPageFlags = PSP_USETITLE | PSP_USEICONID | PSP_USEHICON;

std::wstring TextOrString(HINSTANCE instance, LPCWSTR text) {
    if (!text) return L"";
    if (!IS_INTRESOURCE(text)) return text;
    WCHAR buffer[256];
    LoadStringW(instance, static_cast<UINT>(reinterpret_cast<uintptr_t>(text)), buffer, 256);
    return buffer;
}

std::wstring TabText(const PROPSHEETPAGEW& page) {
    if (page.dwFlags & PSP_USETITLE) return TextOrString(page.hInstance, page.pszTitle);
    DialogTemplate dialog;
    const std::vector<uint8_t>* data = FindResourceData(page.hInstance, 5, page.pszTemplate);
    return data && ParseDialogTemplate(*data, &dialog) ? dialog.caption : L"";
}

SheetState* SheetOf(HWND sheet) {
    Window* window = Find(sheet);
    return window ? window->sheet.get() : nullptr;
}

LRESULT NotifyPage(HWND sheet, HWND page, UINT code, LPARAM lParam) {
    PSHNOTIFY notify{{sheet, 0, code}, lParam};
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
}

void EnableApply(HWND sheet, bool enable) {
    if (Window* apply = Find(GetDlgItem(sheet, ID_APPLY_NOW))) {
        if (enable) {
            apply->style &= ~WS_DISABLED;
        } else {
            apply->style |= WS_DISABLED;
        }
    }
}

BOOL SelectPage(HWND sheet, int index) {
    SheetState* state = SheetOf(sheet);
    if (index < 0 || index >= static_cast<int>(state->pages.size())) return FALSE;
    if (state->current >= 0 && state->pageWindows[state->current])
        NotifyPage(sheet, state->pageWindows[state->current], PSN_KILLACTIVE, 0);
    if (!state->pageWindows[index]) {
        PROPSHEETPAGEW& page = state->pages[index];
        HWND window = CreateDialogFromTemplate(page.hInstance, page.pszTemplate, sheet, page.pfnDlgProc,
                                               reinterpret_cast<LPARAM>(&page), true);
        state = SheetOf(sheet);
        if (!window) return FALSE;
        state->pageWindows[index] = window;
    }
    if (state->current >= 0 && state->current != index && state->pageWindows[state->current])
        ShowWindow(state->pageWindows[state->current], SW_HIDE);
    state->current = index;
    ShowWindow(state->pageWindows[index], SW_SHOW);
    NotifyPage(sheet, state->pageWindows[index], PSN_SETACTIVE, 0);
    return TRUE;
}

void EndSheet(HWND sheet) {
    Window* window = Find(sheet);
    window->ended = true;
    window->style &= ~WS_VISIBLE;
}

void ApplyPages(HWND sheet, bool okPressed) {
    SheetState* state = SheetOf(sheet);
    NotifyPage(sheet, state->pageWindows[state->current], PSN_KILLACTIVE, 0);
    for (size_t i = 0; i < state->pages.size(); ++i) {
        state = SheetOf(sheet);
        if (state->pageWindows[i]) NotifyPage(sheet, state->pageWindows[i], PSN_APPLY, okPressed ? TRUE : FALSE);
    }
    state = SheetOf(sheet);
    state->applied = true;
    state->changed.assign(state->changed.size(), false);
    EnableApply(sheet, false);
    if (okPressed) EndSheet(sheet);
}

void CancelSheet(HWND sheet, bool closeBox) {
    SheetState* state = SheetOf(sheet);
    for (size_t i = 0; i < state->pages.size(); ++i) {
        state = SheetOf(sheet);
        if (state->pageWindows[i]) NotifyPage(sheet, state->pageWindows[i], PSN_RESET, closeBox ? TRUE : FALSE);
    }
    EndSheet(sheet);
}

void CreateButton(HWND sheet, const wchar_t* text, int id, DWORD style) {
    CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 50, 14, sheet,
                    reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

bool CopyPages(const PROPSHEETHEADERW& header, SheetState* state) {
    for (UINT i = 0; i < header.nPages; ++i) {
        const PROPSHEETPAGEW& page = header.ppsp[i];
        if (page.dwSize != sizeof(PROPSHEETPAGEW)) detail::Unimplemented("PropertySheetW", "older page sizes");
        if (page.dwFlags & ~kPageFlags) detail::Unimplemented("PropertySheetW", "page flags beyond title and icon");
        if ((page.dwFlags & PSP_USEICONID) && page.pszIcon && !LoadIconW(page.hInstance, page.pszIcon)) return false;
        state->pages.push_back(page);
        state->tabs.push_back(TabText(page));
    }
    state->pageWindows.assign(header.nPages, nullptr);
    state->changed.assign(header.nPages, false);
    return true;
}

}  // namespace

LRESULT CALLBACK SheetWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    SheetState* state = SheetOf(handle);
    switch (message) {
        case PSM_SETCURSEL:
            if (lParam) detail::Unimplemented("PSM_SETCURSEL", "selection by page handle");
            return SelectPage(handle, static_cast<int>(wParam));
        case PSM_CHANGED:
            for (size_t i = 0; i < state->pageWindows.size(); ++i) {
                if (state->pageWindows[i] == reinterpret_cast<HWND>(wParam)) state->changed[i] = true;
            }
            EnableApply(handle, true);
            return 0;
        case PSM_INDEXTOHWND: {
            size_t index = static_cast<size_t>(wParam);
            return index < state->pageWindows.size() ? reinterpret_cast<LRESULT>(state->pageWindows[index]) : 0;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return 0;
            if (LOWORD(wParam) == IDOK) ApplyPages(handle, true);
            if (LOWORD(wParam) == ID_APPLY_NOW) ApplyPages(handle, false);
            if (LOWORD(wParam) == IDCANCEL) CancelSheet(handle, false);
            return 0;
        case WM_CLOSE:
            CancelSheet(handle, true);
            return 0;
        case WM_SYSCOMMAND:
        case WM_SETTEXT:
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
        case WM_PAINT:
            return DefWindowProcW(handle, message, wParam, lParam);
        default:
            if (message >= WM_USER + 100 && message < WM_USER + 200)
                detail::Unimplemented("PropertySheetW", "this property sheet message");
            return 0;
    }
}

}  // namespace winsim::user

namespace winsim {

std::vector<std::wstring> SheetTabs(HWND sheet) {
    user::SheetState* state = user::SheetOf(sheet);
    return state ? state->tabs : std::vector<std::wstring>{};
}

int SheetCurrentPage(HWND sheet) {
    user::SheetState* state = user::SheetOf(sheet);
    return state ? state->current : -1;
}

bool ApplyEnabled(HWND sheet) {
    HWND apply = GetDlgItem(sheet, ID_APPLY_NOW);
    return apply && WindowEnabled(apply);
}

}  // namespace winsim

using winsim::user::Find;
using winsim::user::Window;

extern "C" {

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("PropertySheetW", &code)) {
        SetLastError(code);
        return -1;
    }
    if (!header || header->dwSize != sizeof(PROPSHEETHEADERW))
        winsim::detail::Unimplemented("PropertySheetW", "older header sizes");
    if (header->dwFlags & ~winsim::user::kHeaderFlags)
        winsim::detail::Unimplemented("PropertySheetW", "header flags beyond pages, icon, callback and no-apply");
    if (!(header->dwFlags & PSH_PROPSHEETPAGE))
        winsim::detail::Unimplemented("PropertySheetW", "pages made with CreatePropertySheetPageW");
    if (header->nPages == 0) return -1;
    auto state = std::make_shared<winsim::user::SheetState>();
    if (!winsim::user::CopyPages(*header, state.get())) return -1;
    if ((header->dwFlags & PSH_USEICONID) && header->pszIcon && !LoadIconW(header->hInstance, header->pszIcon))
        return -1;

    HWND owner = header->hwndParent ? winsim::user::TopLevel(header->hwndParent) : nullptr;
    Window* sheetWindow = winsim::user::NewWindow(
        WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, L"#32770",
        winsim::user::TextOrString(header->hInstance, header->pszCaption),
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, owner, 0, header->hInstance);
    sheetWindow->proc = winsim::user::SheetWindowProc;
    sheetWindow->dialogProc = nullptr;
    sheetWindow->sheet = state;
    HWND sheet = sheetWindow->handle;
    CreateWindowExW(0, L"SysTabControl32", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, sheet,
                    reinterpret_cast<HMENU>(static_cast<intptr_t>(winsim::user::kTabControlId)), nullptr, nullptr);
    winsim::user::CreateButton(sheet, L"OK", IDOK, BS_DEFPUSHBUTTON);
    winsim::user::CreateButton(sheet, L"Cancel", IDCANCEL, BS_PUSHBUTTON);
    if (!(header->dwFlags & PSH_NOAPPLYNOW)) winsim::user::CreateButton(sheet, L"&Apply", ID_APPLY_NOW, WS_DISABLED);

    bool ownerWasEnabled = false;
    if (Window* ownerWindow = owner ? Find(owner) : nullptr) {
        ownerWasEnabled = !(ownerWindow->style & WS_DISABLED);
        ownerWindow->style |= WS_DISABLED;
    }
    UINT start = header->nStartPage < header->nPages ? header->nStartPage : 0;
    INT_PTR result = -1;
    if (winsim::user::SelectPage(sheet, static_cast<int>(start))) {
        if (header->dwFlags & PSH_USECALLBACK) header->pfnCallback(sheet, PSCB_INITIALIZED, 0);
        ShowWindow(sheet, SW_SHOW);
        winsim::user::RunModalLoop(Find(sheet), "PropertySheetW");
        result = state->applied ? 1 : 0;
    }
    DestroyWindow(sheet);
    if (Window* ownerWindow = owner ? Find(owner) : nullptr) {
        if (ownerWasEnabled) ownerWindow->style &= ~WS_DISABLED;
    }
    return result;
}

}  // extern "C"
