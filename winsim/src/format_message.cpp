// FormatMessageW over the message tables of PE images: lookup by language,
// inserts and escapes as Windows documents them.
#include <windows.h>
#include <winsim/pe_image.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "internal.h"
#include "modules.h"

namespace {

using winsim::detail::Unimplemented;
using winsim::pe::Image;
using winsim::pe::MessageEntry;
using winsim::pe::Resource;

const uint16_t kMessageTableType = 11;
const uint16_t kMessageTableName = 1;
const WORD kUsEnglish = 0x0409;  // winsim's thread, user and system language

// The message table resource in the language asked for. Language 0 follows
// Windows' order: neutral, the thread/user/system defaults and US English
// (all en-US here), then any language present.
const Resource* FindTable(const Image& image, DWORD language, DWORD* error) {
    std::vector<const Resource*> tables;
    for (const Resource& resource : image.resources) {
        if (resource.type.name.empty() && resource.type.number == kMessageTableType && resource.name.name.empty() &&
            resource.name.number == kMessageTableName)
            tables.push_back(&resource);
    }
    if (tables.empty()) {
        *error = image.resources.empty() ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
        return nullptr;
    }
    const WORD specific[] = {static_cast<WORD>(language)};
    const WORD byDefault[] = {0x0000, kUsEnglish};
    const WORD* order = language ? specific : byDefault;
    size_t count = language ? 1 : 2;
    for (size_t i = 0; i < count; ++i) {
        for (const Resource* table : tables) {
            if (table->language == order[i]) return table;
        }
    }
    if (!language) return tables.front();
    *error = ERROR_RESOURCE_LANG_NOT_FOUND;
    return nullptr;
}

// Text of an entry up to its terminator: ANSI bytes widened one for one, or UTF-16.
std::wstring EntryText(const MessageEntry& entry) {
    std::wstring text;
    if (entry.flags == 0) {
        for (uint8_t byte : entry.text) {
            if (!byte) break;
            text.push_back(static_cast<wchar_t>(byte));
        }
    } else if (entry.flags == 1) {
        for (size_t i = 0; i + 1 < entry.text.size(); i += 2) {
            wchar_t unit = static_cast<wchar_t>(entry.text[i] | (entry.text[i + 1] << 8));
            if (!unit) break;
            text.push_back(unit);
        }
    } else {
        Unimplemented("FormatMessageW", "message entries that are neither ANSI nor UTF-16");
    }
    return text;
}

bool FindMessage(const Image& image, DWORD messageId, DWORD language, std::wstring* text, DWORD* error) {
    const Resource* table = FindTable(image, language, error);
    if (!table) return false;
    winsim::pe::MessageTable parsed;
    if (!winsim::pe::ParseMessageTable(table->data, &parsed)) {
        *error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return false;
    }
    for (const MessageEntry& entry : parsed.entries) {
        if (entry.id == messageId) {
            *text = EntryText(entry);
            return true;
        }
    }
    *error = ERROR_MR_MID_NOT_FOUND;
    return false;
}

// One printf-style insert format such as "s", "-5s", "08lx" or "d".
struct InsertFormat {
    std::wstring flags;
    int width = 0;
    int precision = -1;
    wchar_t size = 0;  // 'h', 'l' or 'w'
    wchar_t conversion = L's';
};

InsertFormat ParseInsertFormat(const std::wstring& text) {
    InsertFormat format;
    size_t i = 0;
    while (i < text.size() && std::wcschr(L"-+ #0", text[i])) format.flags.push_back(text[i++]);
    if (i < text.size() && text[i] == L'*') Unimplemented("FormatMessageW", "* widths in insert formats");
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') format.width = format.width * 10 + (text[i++] - L'0');
    if (i < text.size() && text[i] == L'.') {
        format.precision = 0;
        ++i;
        if (i < text.size() && text[i] == L'*') Unimplemented("FormatMessageW", "* precisions in insert formats");
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
            format.precision = format.precision * 10 + (text[i++] - L'0');
    }
    if (i < text.size() && (text[i] == L'h' || text[i] == L'l' || text[i] == L'w')) format.size = text[i++];
    if (i + 1 != text.size() || !std::wcschr(L"sScCdiuxXo", text[i]))
        Unimplemented("FormatMessageW", "this insert format");
    format.conversion = text[i];
    return format;
}

std::wstring PadText(std::wstring text, const InsertFormat& format) {
    if (format.precision >= 0 && text.size() > static_cast<size_t>(format.precision)) text.resize(format.precision);
    if (text.size() < static_cast<size_t>(format.width)) {
        size_t fill = format.width - text.size();
        bool left = format.flags.find(L'-') != std::wstring::npos;
        text = left ? text + std::wstring(fill, L' ') : std::wstring(fill, L' ') + text;
    }
    return text;
}

std::wstring FormatNumber(DWORD_PTR value, const InsertFormat& format) {
    std::wstring spec = L"%" + format.flags;
    if (format.width) spec += std::to_wstring(format.width);
    if (format.precision >= 0) spec += L"." + std::to_wstring(format.precision);
    spec.push_back(format.conversion);
    wchar_t out[128];
    bool isSigned = format.conversion == L'd' || format.conversion == L'i';
    if (isSigned) {
        int number = format.size == L'h' ? static_cast<short>(value) : static_cast<int>(value);
        std::swprintf(out, 128, spec.c_str(), number);
    } else {
        unsigned number = format.size == L'h' ? static_cast<unsigned short>(value) : static_cast<unsigned>(value);
        std::swprintf(out, 128, spec.c_str(), number);
    }
    return out;
}

// Inserts in the wide function: s is wide (h makes it narrow), S narrow (l or w makes it wide).
std::wstring FormatInsert(DWORD_PTR value, const InsertFormat& format) {
    wchar_t conversion = format.conversion;
    bool wide = (conversion == L's' || conversion == L'c') ? format.size != L'h'
                                                           : format.size == L'l' || format.size == L'w';
    if (conversion == L's' || conversion == L'S') {
        if (!value) Unimplemented("FormatMessageW", "a null insert string");
        std::wstring text = wide ? std::wstring(reinterpret_cast<const wchar_t*>(value))
                                 : winsim::detail::Widen(reinterpret_cast<const char*>(value));
        return PadText(text, format);
    }
    if (conversion == L'c' || conversion == L'C') {
        wchar_t c = wide ? static_cast<wchar_t>(static_cast<WORD>(value)) : static_cast<unsigned char>(value);
        return PadText(std::wstring(1, c), format);
    }
    return FormatNumber(value, format);
}

struct Inserts {
    bool ignore;               // FORMAT_MESSAGE_IGNORE_INSERTS
    const DWORD_PTR* array;    // FORMAT_MESSAGE_ARGUMENT_ARRAY, or null
    bool valist;               // arguments given as a va_list
};

// Expands the message text; false with *error when an insert has no argument.
bool ExpandMessage(const std::wstring& text, const Inserts& inserts, std::wstring* out, DWORD* error) {
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = text[i];
        if (c != L'%' || i + 1 == text.size()) {
            out->push_back(c);
            ++i;
            continue;
        }
        wchar_t next = text[i + 1];
        if (next >= L'1' && next <= L'9') {
            size_t start = i;
            int number = next - L'0';
            i += 2;
            if (i < text.size() && text[i] >= L'0' && text[i] <= L'9') number = number * 10 + (text[i++] - L'0');
            std::wstring format = L"s";
            if (i < text.size() && text[i] == L'!') {
                size_t close = text.find(L'!', i + 1);
                if (close != std::wstring::npos) {
                    format = text.substr(i + 1, close - i - 1);
                    i = close + 1;
                }
            }
            if (inserts.ignore) {
                out->append(text, start, i - start);
                continue;
            }
            if (inserts.valist) Unimplemented("FormatMessageW", "inserts from a va_list");
            if (!inserts.array) {
                *error = ERROR_INVALID_PARAMETER;
                return false;
            }
            out->append(FormatInsert(inserts.array[number - 1], ParseInsertFormat(format)));
            continue;
        }
        i += 2;
        if (next == L'0') return true;
        if (next == L'n') {
            out->append(L"\r\n");
        } else if (next == L'r') {
            out->push_back(L'\r');
        } else if (next == L't') {
            out->push_back(L'\t');
        } else {
            // Any other character stands for itself; with inserts ignored the
            // sequence is passed through whole, as Windows does.
            if (inserts.ignore) out->push_back(L'%');
            out->push_back(next);
        }
    }
    return true;
}

// The message text from the module and then the system table; 0 or the error.
DWORD LookupMessage(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, std::wstring* text) {
    DWORD error = ERROR_MR_MID_NOT_FOUND;
    if (flags & FORMAT_MESSAGE_FROM_HMODULE) {
        bool known = true;
        auto image = winsim::detail::ModuleResources(static_cast<HMODULE>(const_cast<void*>(source)), &known);
        if (!known) Unimplemented("FormatMessageW", "a module handle that winsim did not give out");
        if (!image) {
            error = ERROR_RESOURCE_DATA_NOT_FOUND;
        } else if (FindMessage(*image, messageId, languageId, text, &error)) {
            return 0;
        }
    }
    if (flags & FORMAT_MESSAGE_FROM_SYSTEM) error = ERROR_MR_MID_NOT_FOUND;  // the system table is empty
    return error;
}

DWORD Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

}  // namespace

extern "C" {

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     va_list* arguments) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("FormatMessageW", &code)) return Fail(code);
    if (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) Unimplemented("FormatMessageW", "line width limits");
    if (flags & FORMAT_MESSAGE_FROM_STRING) Unimplemented("FormatMessageW", "FORMAT_MESSAGE_FROM_STRING");
    if (!(flags & (FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM))) return Fail(ERROR_INVALID_PARAMETER);
    std::wstring text;
    if (DWORD error = LookupMessage(flags, source, messageId, languageId, &text)) return Fail(error);
    Inserts inserts{(flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0, nullptr, false};
    if (arguments && (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY))
        inserts.array = reinterpret_cast<const DWORD_PTR*>(arguments);
    else if (arguments)
        inserts.valist = true;
    std::wstring out;
    DWORD error = 0;
    if (!ExpandMessage(text, inserts, &out, &error)) return Fail(error);
    DWORD length = static_cast<DWORD>(out.size());
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
        size_t units = length + 1 > size ? length + 1 : size;
        // Plain heap memory: LocalFree releases it, and a failure injected
        // into the program's own LocalAlloc calls leaves it alone.
        auto* block = static_cast<LPWSTR>(std::calloc(units, sizeof(WCHAR)));
        if (!block) return Fail(ERROR_NOT_ENOUGH_MEMORY);
        out.copy(block, length);
        *reinterpret_cast<LPWSTR*>(buffer) = block;
        return length;
    }
    if (!buffer || size < length + 1) return Fail(ERROR_INSUFFICIENT_BUFFER);
    out.copy(buffer, length);
    buffer[length] = L'\0';
    return length;
}

}  // extern "C"
