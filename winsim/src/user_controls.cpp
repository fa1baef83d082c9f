// The predefined controls: buttons (push buttons and check boxes), edit
// controls and statics, with the notifications Windows sends their parents.
#include "user_internal.h"

namespace winsim::user {
namespace {

// Room for text a user can type into an edit control before EM_LIMITTEXT.
constexpr size_t kDefaultTextLimit = 32767;

LRESULT CALLBACK ButtonProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* button = Find(handle);
    switch (message) {
        case BM_SETCHECK:
            if ((button->style & BS_TYPEMASK) == BS_CHECKBOX || (button->style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                button->check = static_cast<int>(wParam);
            return 0;
        case BM_GETCHECK:
            return button->check;
        default:
            return DefWindowProcW(handle, message, wParam, lParam);
    }
}

void ReplaceSelection(Window* edit, const std::wstring& text) {
    edit->text.replace(edit->selStart, edit->selEnd - edit->selStart, text);
    edit->selStart = edit->selEnd = edit->selStart + text.size();
    NotifyParent(edit, EN_CHANGE);
}

LRESULT CALLBACK EditProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* edit = Find(handle);
    switch (message) {
        case WM_SETTEXT:
            DefWindowProcW(handle, message, wParam, lParam);
            edit->selStart = edit->selEnd = 0;
            // A single-line edit reports a new text as a change; a multiline one does not.
            if (!(edit->style & ES_MULTILINE)) NotifyParent(edit, EN_CHANGE);
            return TRUE;
        case EM_SETSEL: {
            size_t length = edit->text.size();
            long start = static_cast<long>(static_cast<int>(wParam));
            long end = static_cast<long>(static_cast<int>(lParam));
            if (start < 0) {
                edit->selStart = edit->selEnd;
                return 0;
            }
            if (end < 0 || static_cast<size_t>(end) > length) end = static_cast<long>(length);
            if (static_cast<size_t>(start) > length) start = static_cast<long>(length);
            if (start > end) std::swap(start, end);
            edit->selStart = static_cast<size_t>(start);
            edit->selEnd = static_cast<size_t>(end);
            return 0;
        }
        case EM_GETSEL:
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(edit->selStart);
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(edit->selEnd);
            return MAKELONG(edit->selStart, edit->selEnd);
        case EM_REPLACESEL:
            ReplaceSelection(edit, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
            return 0;
        default:
            return DefWindowProcW(handle, message, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(handle, message, wParam, lParam);
}

}  // namespace

WNDPROC ControlProc(const std::wstring& className) {
    if (detail::EqualNoCase(className, L"BUTTON")) return ButtonProc;
    if (detail::EqualNoCase(className, L"EDIT")) return EditProc;
    if (detail::EqualNoCase(className, L"STATIC")) return StaticProc;
    if (detail::EqualNoCase(className, L"SysTabControl32")) return StaticProc;
    return nullptr;
}

bool TypeCharacter(Window* edit, wchar_t character) {
    if (edit->style & ES_READONLY) return false;
    if ((edit->style & ES_NUMBER) && (character < L'0' || character > L'9')) return false;
    if (edit->text.size() - (edit->selEnd - edit->selStart) >= kDefaultTextLimit) return false;
    if (character == L'\r') {
        if (!((edit->style & ES_MULTILINE) && (edit->style & ES_WANTRETURN))) return false;
        ReplaceSelection(edit, L"\r\n");
        return true;
    }
    ReplaceSelection(edit, std::wstring(1, character));
    return true;
}

}  // namespace winsim::user
