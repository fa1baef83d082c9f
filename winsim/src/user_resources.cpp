// User resources from the program's module image: strings, icons, cursors,
// accelerator tables, menus and dialog templates.
#include <winsim/pe_image.h>

#include <cstring>

#include "user_internal.h"

namespace winsim::user {
namespace {

constexpr uint16_t kRtCursorGroup = 12;
constexpr uint16_t kRtIconGroup = 14;
constexpr uint16_t kRtMenu = 4;
constexpr uint16_t kRtDialog = 5;
constexpr uint16_t kRtString = 6;
constexpr uint16_t kRtAccelerator = 9;
constexpr uint16_t kLanguage = 1033;

struct ResourceState {
    std::string path;
    bool loaded = false;
    pe::Image image;
    std::map<HACCEL, std::vector<AcceleratorEntry>> accelerators;
    uintptr_t nextHandle = 0x70000;
};

ResourceState& Resources() {
    static ResourceState& state = *new ResourceState;  // never destroyed: threads may outlive main
    static bool hooked = (detail::OnReset([] {
                              state.accelerators.clear();
                              state.loaded = false;
                          }),
                          true);
    (void)hooked;
    return state;
}

const pe::Image* ModuleImage(HINSTANCE instance) {
    if (instance != detail::MainModule()) return nullptr;
    ResourceState& resources = Resources();
    const std::string& path = detail::ModuleImagePath();
    if (!resources.loaded || resources.path != path) {
        std::string error;
        resources.image = pe::Image{};
        resources.loaded = pe::LoadImage(path, &resources.image, &error);
        resources.path = path;
        if (!resources.loaded) return nullptr;
    }
    return &resources.image;
}

pe::ResourceId NameOf(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return pe::NumberId(static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name)));
    if (name[0] == L'#') return pe::NumberId(static_cast<uint16_t>(wcstoul(name + 1, nullptr, 10)));
    std::u16string text;
    for (const wchar_t* c = name; *c; ++c) text.push_back(static_cast<char16_t>(c[0] >= L'a' && c[0] <= L'z' ? c[0] - 32 : c[0]));
    return pe::NameId(text);
}

HANDLE NewHandle() { return reinterpret_cast<HANDLE>(Resources().nextHandle += 4); }

// Reads the parts of a resource as Windows lays them out.
struct Cursor {
    const std::vector<uint8_t>& data;
    size_t at = 0;
    bool ok = true;

    template <typename T>
    T Read() {
        T value{};
        if (at + sizeof(T) > data.size()) {
            ok = false;
            at = data.size();
            return value;
        }
        std::memcpy(&value, data.data() + at, sizeof(T));
        at += sizeof(T);
        return value;
    }
    std::wstring String() {
        std::wstring text;
        for (uint16_t c = Read<uint16_t>(); ok && c != 0; c = Read<uint16_t>()) text.push_back(c);
        return text;
    }
    // A name or ordinal field: 0 none, 0xFFFF then a number, else a string.
    std::wstring NameOrOrdinal(bool* isOrdinal, uint16_t* ordinal) {
        *isOrdinal = false;
        uint16_t first = Read<uint16_t>();
        if (first == 0) return L"";
        if (first == 0xFFFF) {
            *isOrdinal = true;
            *ordinal = Read<uint16_t>();
            return L"#" + std::to_wstring(*ordinal);
        }
        at -= 2;
        return String();
    }
    void AlignTo(size_t boundary) { at = (at + boundary - 1) / boundary * boundary; }
};

std::wstring PredefinedClass(uint16_t atom) {
    switch (atom) {
        case 0x80: return L"BUTTON";
        case 0x81: return L"EDIT";
        case 0x82: return L"STATIC";
        case 0x83: return L"LISTBOX";
        case 0x84: return L"SCROLLBAR";
        case 0x85: return L"COMBOBOX";
        default: return L"#" + std::to_wstring(atom);
    }
}

bool ReadItem(Cursor& in, bool extended, DialogItem* item) {
    in.AlignTo(4);
    if (extended) {
        in.Read<uint32_t>();  // help id
        item->exStyle = in.Read<uint32_t>();
        item->style = in.Read<uint32_t>();
    } else {
        item->style = in.Read<uint32_t>();
        item->exStyle = in.Read<uint32_t>();
    }
    item->x = in.Read<int16_t>();
    item->y = in.Read<int16_t>();
    item->cx = in.Read<int16_t>();
    item->cy = in.Read<int16_t>();
    if (extended) {
        item->id = static_cast<int32_t>(in.Read<uint32_t>());
    } else {
        item->id = in.Read<int16_t>();
    }
    bool ordinal = false;
    uint16_t atom = 0;
    item->className = in.NameOrOrdinal(&ordinal, &atom);
    if (ordinal) item->className = PredefinedClass(atom);
    item->text = in.NameOrOrdinal(&ordinal, &atom);
    uint16_t extra = in.Read<uint16_t>();
    in.at += extra;
    return in.ok;
}

bool ReadMenuItems(Cursor& in, std::vector<MenuItem>* items) {
    const WORD kPopup = 0x10, kEnd = 0x80;
    for (;;) {
        MenuItem item{};
        item.flags = in.Read<uint16_t>();
        if (!(item.flags & kPopup)) item.id = in.Read<uint16_t>();
        item.text = in.String();
        if (!in.ok) return false;
        if ((item.flags & kPopup) && !ReadMenuItems(in, &item.items)) return false;
        items->push_back(item);
        if (item.flags & kEnd) return true;
    }
}

}  // namespace

const std::vector<uint8_t>* FindResourceData(HINSTANCE instance, uint16_t type, LPCWSTR name) {
    const pe::Image* image = ModuleImage(instance);
    if (!image) return nullptr;
    const pe::Resource* resource = pe::FindResource(*image, pe::NumberId(type), NameOf(name), kLanguage);
    return resource ? &resource->data : nullptr;
}

bool ParseDialogTemplate(const std::vector<uint8_t>& data, DialogTemplate* dialog) {
    Cursor in{data};
    *dialog = DialogTemplate{};
    dialog->extended = data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
    if (dialog->extended) {
        in.at = 8;  // version, signature, help id
        dialog->exStyle = in.Read<uint32_t>();
        dialog->style = in.Read<uint32_t>();
    } else {
        dialog->style = in.Read<uint32_t>();
        dialog->exStyle = in.Read<uint32_t>();
    }
    uint16_t count = in.Read<uint16_t>();
    dialog->x = in.Read<int16_t>();
    dialog->y = in.Read<int16_t>();
    dialog->cx = in.Read<int16_t>();
    dialog->cy = in.Read<int16_t>();
    bool ordinal = false;
    uint16_t number = 0;
    dialog->menu = in.NameOrOrdinal(&ordinal, &number);
    dialog->className = in.NameOrOrdinal(&ordinal, &number);
    dialog->caption = in.String();
    dialog->hasFont = (dialog->style & DS_SETFONT) != 0;
    if (dialog->hasFont) {
        dialog->pointSize = in.Read<uint16_t>();
        if (dialog->extended) {
            dialog->weight = in.Read<uint16_t>();
            dialog->italic = in.Read<uint8_t>();
            dialog->charset = in.Read<uint8_t>();
        }
        dialog->typeface = in.String();
    }
    for (uint16_t i = 0; i < count && in.ok; ++i) {
        DialogItem item{};
        if (!ReadItem(in, dialog->extended, &item)) return false;
        dialog->items.push_back(item);
    }
    return in.ok;
}

}  // namespace winsim::user

namespace winsim {

HINSTANCE ProgramInstance() { return detail::MainModule(); }

bool ReadDialogTemplate(HINSTANCE instance, int id, DialogTemplate* dialog) {
    const std::vector<uint8_t>* data = user::FindResourceData(instance, user::kRtDialog, MAKEINTRESOURCEW(id));
    return data && user::ParseDialogTemplate(*data, dialog);
}

bool ReadMenu(HINSTANCE instance, int id, std::vector<MenuItem>* menu) {
    const std::vector<uint8_t>* data = user::FindResourceData(instance, user::kRtMenu, MAKEINTRESOURCEW(id));
    if (!data) return false;
    user::Cursor in{*data};
    uint16_t version = in.Read<uint16_t>();
    uint16_t headerSize = in.Read<uint16_t>();
    if (version != 0) detail::Unimplemented("ReadMenu", "extended menu templates");
    in.at += headerSize;
    menu->clear();
    return user::ReadMenuItems(in, menu);
}

std::vector<AcceleratorEntry> AcceleratorEntries(HACCEL table) {
    auto& tables = user::Resources().accelerators;
    auto found = tables.find(table);
    return found == tables.end() ? std::vector<AcceleratorEntry>{} : found->second;
}

}  // namespace winsim

extern "C" {

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("LoadStringW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (bufferMax <= 0) winsim::detail::Unimplemented("LoadStringW", "a read-only pointer to the resource");
    buffer[0] = 0;
    const std::vector<uint8_t>* block =
        winsim::user::FindResourceData(instance, winsim::user::kRtString, MAKEINTRESOURCEW((id >> 4) + 1));
    if (!block) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    winsim::user::Cursor in{*block};
    for (UINT index = 0; index < (id & 15); ++index) in.at += 2 * size_t(in.Read<uint16_t>());
    uint16_t length = in.Read<uint16_t>();
    int copied = 0;
    while (copied < length && copied < bufferMax - 1 && in.ok) buffer[copied++] = in.Read<uint16_t>();
    buffer[copied] = 0;
    if (copied == 0) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return copied;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("LoadIconW", &code)) {
        SetLastError(code);
        return nullptr;
    }
    if (instance && !winsim::user::FindResourceData(instance, winsim::user::kRtIconGroup, name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HICON>(winsim::user::NewHandle());
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("LoadCursorW", &code)) {
        SetLastError(code);
        return nullptr;
    }
    if (instance && !winsim::user::FindResourceData(instance, winsim::user::kRtCursorGroup, name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (!instance && name != IDC_ARROW) winsim::detail::Unimplemented("LoadCursorW", "system cursors but the arrow");
    return static_cast<HCURSOR>(winsim::user::NewHandle());
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("LoadAcceleratorsW", &code)) {
        SetLastError(code);
        return nullptr;
    }
    const std::vector<uint8_t>* data = winsim::user::FindResourceData(instance, winsim::user::kRtAccelerator, name);
    if (!data) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::vector<winsim::AcceleratorEntry> entries;
    winsim::user::Cursor in{*data};
    for (;;) {
        uint16_t flags = in.Read<uint16_t>();
        uint16_t key = in.Read<uint16_t>();
        uint16_t command = in.Read<uint16_t>();
        in.Read<uint16_t>();
        if (!in.ok) break;
        entries.push_back({static_cast<BYTE>(flags & 0x7F), key, command});
        if (flags & 0x80) break;
    }
    HACCEL table = static_cast<HACCEL>(winsim::user::NewHandle());
    winsim::user::Resources().accelerators[table] = entries;
    return table;
}

}  // extern "C"
