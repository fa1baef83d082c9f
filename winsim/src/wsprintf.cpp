// wsprintfW with the Windows conversions: %s wide, %S narrow, l means 32 bits.
#include <windows.h>

#include <cstdarg>
#include <string>

#include "internal.h"

namespace {

const size_t kMaxOutput = 1024;  // characters, terminator included, as on Windows

struct Spec {
    bool left = false;
    bool zero = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;
    char size = 0;  // 'h', 'l' or 0
};

void Pad(std::wstring& out, const std::wstring& body, const Spec& spec, bool numeric) {
    size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    if (body.size() >= width) {
        out += body;
        return;
    }
    size_t fill = width - body.size();
    if (spec.left) {
        out += body;
        out.append(fill, L' ');
    } else if (spec.zero && numeric) {
        size_t signLength = (!body.empty() && body[0] == L'-') ? 1 : 0;
        if (body.compare(0, 2, L"0x") == 0 || body.compare(0, 2, L"0X") == 0) signLength = 2;
        out += body.substr(0, signLength);
        out.append(fill, L'0');
        out += body.substr(signLength);
    } else {
        out.append(fill, L' ');
        out += body;
    }
}

std::wstring Unsigned(unsigned long long value, unsigned base, bool upper) {
    const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value);
    return text;
}

std::wstring Format(const wchar_t* format, va_list args) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == L'%') {
            out += L'%';
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == L'-') spec.left = true;
            else if (*p == L'0') spec.zero = true;
            else if (*p == L'#') spec.alternate = true;
            else break;
        }
        while (*p >= L'0' && *p <= L'9') spec.width = spec.width * 10 + (*p++ - L'0');
        if (*p == L'.') {
            spec.precision = 0;
            for (++p; *p >= L'0' && *p <= L'9'; ++p) spec.precision = spec.precision * 10 + (*p - L'0');
        }
        if (*p == L'h' || *p == L'l' || *p == L'w') spec.size = (*p++ == L'h') ? 'h' : 'l';
        switch (*p) {
            case L'd':
            case L'i': {
                int value = va_arg(args, int);
                if (spec.size == 'h') value = static_cast<short>(value);
                std::wstring body = value < 0 ? L"-" + Unsigned(0ull - static_cast<long long>(value), 10, false)
                                              : Unsigned(static_cast<unsigned>(value), 10, false);
                Pad(out, body, spec, true);
                break;
            }
            case L'u':
            case L'x':
            case L'X': {
                unsigned value = va_arg(args, unsigned);
                if (spec.size == 'h') value = static_cast<unsigned short>(value);
                unsigned base = *p == L'u' ? 10 : 16;
                std::wstring body = Unsigned(value, base, *p == L'X');
                if (spec.alternate && base == 16 && value) body = (*p == L'X' ? L"0X" : L"0x") + body;
                Pad(out, body, spec, true);
                break;
            }
            case L'p': {
                void* value = va_arg(args, void*);
                std::wstring body = Unsigned(reinterpret_cast<uintptr_t>(value), 16, true);
                Pad(out, std::wstring(sizeof(void*) * 2 - body.size(), L'0') + body, spec, false);
                break;
            }
            case L'c':
            case L'C': {
                int value = va_arg(args, int);
                bool narrow = spec.size == 'h' || (*p == L'C' && spec.size != 'l');
                wchar_t c = narrow ? static_cast<wchar_t>(static_cast<unsigned char>(value)) : static_cast<wchar_t>(value);
                Pad(out, std::wstring(1, c), spec, false);
                break;
            }
            case L's':
            case L'S': {
                bool narrow = spec.size == 'h' || (*p == L'S' && spec.size != 'l');
                std::wstring body;
                if (narrow) {
                    const char* text = va_arg(args, const char*);
                    body = winsim::detail::Widen(text ? text : "(null)");
                } else {
                    const wchar_t* text = va_arg(args, const wchar_t*);
                    body = text ? text : L"(null)";
                }
                if (spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision)) body.resize(spec.precision);
                Pad(out, body, spec, false);
                break;
            }
            default:
                winsim::detail::Unimplemented("wsprintfW", "unknown conversion");
        }
        if (!*p) break;
    }
    return out;
}

}  // namespace

extern "C" int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = Format(format, args);
    va_end(args);
    if (text.size() > kMaxOutput - 1) text.resize(kMaxOutput - 1);
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return static_cast<int>(text.size());
}
