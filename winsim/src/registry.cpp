// In-memory registry behind the advapi32 registry calls.
#include <winsim/control.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "internal.h"

namespace {

using winsim::detail::InjectedFailure;
using winsim::detail::LowerCase;

struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    std::wstring path;  // as first created, e.g. HKLM\Software\Mirdal Software
    std::vector<Value> values;
};

struct OpenKey {
    std::wstring path;
    REGSAM access;
};

struct RegistryState {
    std::recursive_mutex mutex;
    std::map<std::wstring, Key> keys;  // by lower-case path
    std::set<OpenKey*> handles;
};

RegistryState& Registry() {
    static RegistryState& state = *new RegistryState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::recursive_mutex> lock(state.mutex);
                              state.keys.clear();
                              for (OpenKey* handle : state.handles) delete handle;
                              state.handles.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

const wchar_t* RootName(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return L"HKLM";
    if (key == HKEY_CURRENT_USER) return L"HKCU";
    if (key == HKEY_CLASSES_ROOT) return L"HKCR";
    if (key == HKEY_USERS) return L"HKU";
    return nullptr;
}

// Joins a parent path and a relative sub key, dropping empty components.
std::wstring Join(const std::wstring& parent, const wchar_t* subKey) {
    std::wstring path = parent;
    if (!subKey) return path;
    std::wstring part;
    for (const wchar_t* p = subKey;; ++p) {
        if (*p == L'\\' || *p == L'\0') {
            if (!part.empty()) path += L"\\" + part;
            part.clear();
            if (!*p) break;
        } else {
            part += *p;
        }
    }
    return path;
}

// Resolves a handle to its path and access; false for an invalid handle.
bool Resolve(HKEY key, std::wstring* path, REGSAM* access) {
    if (const wchar_t* root = RootName(key)) {
        *path = root;
        *access = KEY_ALL_ACCESS;
        return true;
    }
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (!Registry().handles.count(open)) return false;
    *path = open->path;
    *access = open->access;
    return true;
}

// Root keys always exist; sub keys once created.
bool Exists(const std::wstring& path) {
    return path.find(L'\\') == std::wstring::npos || Registry().keys.count(LowerCase(path)) > 0;
}

HKEY NewHandle(const std::wstring& path, REGSAM access) {
    auto* open = new OpenKey{path, access};
    Registry().handles.insert(open);
    return reinterpret_cast<HKEY>(open);
}

Key* FindKey(const std::wstring& path) {
    auto found = Registry().keys.find(LowerCase(path));
    return found == Registry().keys.end() ? nullptr : &found->second;
}

Value* FindValue(Key* key, const wchar_t* name) {
    std::wstring wanted = name ? name : L"";
    for (Value& value : key->values) {
        if (winsim::detail::EqualNoCase(value.name, wanted)) return &value;
    }
    return nullptr;
}

// The key object of a root or sub key path, created on demand for roots.
Key* KeyAt(const std::wstring& path) {
    Key* key = FindKey(path);
    if (!key && path.find(L'\\') == std::wstring::npos) {
        key = &Registry().keys[LowerCase(path)];
        key->path = path;
    }
    return key;
}

}  // namespace

extern "C" {

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    unsigned long code = 0;
    if (InjectedFailure("RegOpenKeyExW", &code)) return static_cast<LSTATUS>(code);
    if (!result || options != 0) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::wstring parent;
    REGSAM parentAccess;
    if (!Resolve(key, &parent, &parentAccess)) return ERROR_INVALID_HANDLE;
    std::wstring path = Join(parent, subKey);
    if (!Exists(path)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(FindKey(path) ? FindKey(path)->path : path, desired & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY));
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
    unsigned long code = 0;
    if (InjectedFailure("RegCreateKeyW", &code)) return static_cast<LSTATUS>(code);
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    std::wstring full = Join(path, subKey);
    // Create each missing level, keeping the spelling of existing ones.
    std::wstring built = path;
    size_t start = path.size();
    while (start < full.size()) {
        size_t end = full.find(L'\\', start + 1);
        if (end == std::wstring::npos) end = full.size();
        std::wstring next = built + full.substr(start, end - start);
        if (Key* existing = FindKey(next)) {
            built = existing->path;
        } else {
            Key& created = Registry().keys[LowerCase(next)];
            created.path = next;
            built = next;
        }
        start = end;
    }
    *result = NewHandle(built, KEY_ALL_ACCESS);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
    unsigned long code = 0;
    if (InjectedFailure("RegQueryValueExW", &code)) return static_cast<LSTATUS>(code);
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    Key* node = KeyAt(path);
    Value* value = node ? FindValue(node, valueName) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (!data) {
        if (dataSize) *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (*dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(data, value->data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
    unsigned long code = 0;
    if (InjectedFailure("RegSetValueExW", &code)) return static_cast<LSTATUS>(code);
    if (reserved || (!data && dataSize)) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    Key* node = KeyAt(path);
    if (!node) return ERROR_FILE_NOT_FOUND;  // deleted while open
    std::vector<BYTE> bytes(data, data + dataSize);
    if (Value* value = FindValue(node, valueName)) {
        value->type = type;
        value->data = std::move(bytes);
    } else {
        node->values.push_back(Value{valueName ? valueName : L"", type, std::move(bytes)});
    }
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    unsigned long code = 0;
    if (InjectedFailure("RegDeleteValueW", &code)) return static_cast<LSTATUS>(code);
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    Key* node = KeyAt(path);
    Value* value = node ? FindValue(node, valueName) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;
    node->values.erase(node->values.begin() + (value - node->values.data()));
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
    unsigned long code = 0;
    if (InjectedFailure("RegDeleteTreeW", &code)) return static_cast<LSTATUS>(code);
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::wstring path;
    REGSAM access;
    if (!Resolve(key, &path, &access)) return ERROR_INVALID_HANDLE;
    std::wstring top = LowerCase(Join(path, subKey));
    if (!Exists(top)) return ERROR_FILE_NOT_FOUND;
    auto& keys = Registry().keys;
    for (auto it = keys.begin(); it != keys.end();) {
        bool below = it->first.size() > top.size() && it->first.compare(0, top.size(), top) == 0 &&
                     it->first[top.size()] == L'\\';
        bool self = it->first == top;
        if (below || (self && subKey && *subKey)) {
            it = keys.erase(it);
        } else {
            if (self) it->second.values.clear();
            ++it;
        }
    }
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    unsigned long code = 0;
    if (InjectedFailure("RegCloseKey", &code)) return static_cast<LSTATUS>(code);
    if (RootName(key)) return ERROR_SUCCESS;
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (!Registry().handles.erase(open)) return ERROR_INVALID_HANDLE;
    delete open;
    return ERROR_SUCCESS;
}

}  // extern "C"

namespace winsim {

bool RegistryKeyExists(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    return FindKey(path) != nullptr;
}

bool RegistryGetValue(const std::wstring& path, const std::wstring& name, RegistryValue* out) {
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    Key* key = FindKey(path);
    Value* value = key ? FindValue(key, name.c_str()) : nullptr;
    if (!value) return false;
    out->type = value->type;
    out->data = value->data;
    return true;
}

std::vector<std::wstring> RegistryValueNames(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    std::vector<std::wstring> names;
    if (Key* key = FindKey(path)) {
        for (const Value& value : key->values) names.push_back(value.name);
    }
    return names;
}

std::wstring RegistryGetString(const std::wstring& path, const std::wstring& name) {
    RegistryValue value;
    if (!RegistryGetValue(path, name, &value)) return L"";
    std::wstring text(value.data.size() / sizeof(WCHAR), L'\0');
    if (!text.empty()) std::memcpy(&text[0], value.data.data(), text.size() * sizeof(WCHAR));
    return text.substr(0, text.find(L'\0'));
}

int RegistryOpenHandles() {
    std::lock_guard<std::recursive_mutex> lock(Registry().mutex);
    return static_cast<int>(Registry().handles.size());
}

}  // namespace winsim
