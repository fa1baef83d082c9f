// ExpandEnvironmentStringsW over the host process's environment.
#include <windows.h>

#include <string>

#include "internal.h"

extern char** environ;

namespace {

// The value of a variable, names compared without regard to case as on Windows.
bool FindVariable(const std::wstring& name, std::wstring* value) {
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        if (winsim::detail::EqualNoCase(winsim::detail::Widen(text.substr(0, equals)), name)) {
            *value = winsim::detail::Widen(text.substr(equals + 1));
            return true;
        }
    }
    return false;
}

// A reference to an unknown variable stays as written, both percent signs
// included; a percent sign without a partner is plain text.
std::wstring Expand(const std::wstring& source) {
    std::wstring out;
    size_t i = 0;
    while (i < source.size()) {
        size_t close = source[i] == L'%' ? source.find(L'%', i + 1) : std::wstring::npos;
        if (close == std::wstring::npos) {
            out.push_back(source[i++]);
            continue;
        }
        std::wstring value;
        if (close > i + 1 && FindVariable(source.substr(i + 1, close - i - 1), &value)) {
            out += value;
            i = close + 1;
        } else if (close > i + 1) {
            out.append(source, i, close - i + 1);
            i = close + 1;
        } else {
            out.push_back(source[i++]);
        }
    }
    return out;
}

}  // namespace

extern "C" {

DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("ExpandEnvironmentStringsW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (!source) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring expanded = Expand(source);
    DWORD needed = static_cast<DWORD>(expanded.size() + 1);
    if (size < needed) {
        // Windows fills what fits and asks for the rest.
        if (destination && size) {
            expanded.copy(destination, size - 1);
            destination[size - 1] = L'\0';
        }
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return needed;
    }
    expanded.copy(destination, expanded.size());
    destination[expanded.size()] = L'\0';
    return needed;
}

}  // extern "C"
