// Registry set-up for tests, through the Windows API only.
#include "registry_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace testsupport {

void ClearSettingsKeys() {
    LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Mirdal Software");
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

static HKEY Create(const wchar_t* key) {
    HKEY handle = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, key, &handle));
    return handle;
}

void CreateRegistryKey(const wchar_t* key) { RegCloseKey(Create(key)); }

void SetRegistryString(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    HKEY handle = Create(key);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))));
    RegCloseKey(handle);
}

void SetRegistryDword(const wchar_t* key, const wchar_t* name, DWORD value) {
    HKEY handle = Create(key);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
    RegCloseKey(handle);
}

std::wstring GetRegistryString(const wchar_t* key, const wchar_t* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return L"";
    DWORD size = 0;
    std::wstring text;
    if (RegQueryValueExW(handle, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size) {
        std::vector<WCHAR> buffer(size / sizeof(WCHAR) + 1, 0);
        if (RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS)
            text = buffer.data();
    }
    RegCloseKey(handle);
    return text;
}

bool RegistryValueExists(const wchar_t* key, const wchar_t* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    bool exists = RegQueryValueExW(handle, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return exists;
}

}  // namespace testsupport
