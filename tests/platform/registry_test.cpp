// Registry behaviour the programs rely on, checked against winsim and Wine alike.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace {

const wchar_t* kKey = L"Software\\Mirdal Software\\PlatformTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Mirdal Software");
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, kKey, &key_));
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Mirdal Software");
    }
    void SetText(const wchar_t* name, const std::wstring& text) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))));
    }
    HKEY key_ = nullptr;
};

TEST_F(RegistryTest, SizeQueryReportsTheDataSize) {
    SetText(L"Value", L"hello");
    DWORD size = 0, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, L"Value", nullptr, &type, nullptr, &size));
    EXPECT_EQ(6 * sizeof(WCHAR), size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
}

TEST_F(RegistryTest, TooSmallBufferGivesMoreDataAndTheSizeNeeded) {
    SetText(L"Value", L"hello");
    WCHAR buffer[3] = {L'x', L'x', L'x'};
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key_, L"Value", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                                &size));
    EXPECT_EQ(6 * sizeof(WCHAR), size);
}

TEST_F(RegistryTest, ExactBufferReadsTheValue) {
    SetText(L"Value", L"hello");
    WCHAR buffer[6];
    DWORD size = sizeof(buffer);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key_, L"Value", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_STREQ(L"hello", buffer);
    EXPECT_EQ(sizeof(buffer), size);
}

TEST_F(RegistryTest, MissingValueAndMissingKeyAreFileNotFound) {
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key_, L"Missing", nullptr, nullptr, nullptr, &size));
    HKEY other;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Mirdal Software\\Nothing", 0, KEY_READ, &other));
}

TEST_F(RegistryTest, KeyOpenedForReadingCannotBeWritten) {
    HKEY readOnly;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &readOnly));
    DWORD data = 1;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegSetValueExW(readOnly, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)));
    RegCloseKey(readOnly);
}

TEST_F(RegistryTest, NamesAreCaseInsensitive) {
    SetText(L"MixedCase", L"x");
    HKEY upper;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MIRDAL SOFTWARE\\PLATFORMTEST", 0,
                                           KEY_READ, &upper));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(upper, L"mixedcase", nullptr, nullptr, nullptr, &size));
    RegCloseKey(upper);
}

TEST_F(RegistryTest, CreateOpensAnExistingKeyWithItsValues) {
    SetText(L"Kept", L"yes");
    HKEY again;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, kKey, &again));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(again, L"Kept", nullptr, nullptr, nullptr, &size));
    RegCloseKey(again);
}

TEST_F(RegistryTest, SettingAValueAgainReplacesItsTypeAndData) {
    SetText(L"Value", L"long text");
    DWORD number = 7;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key_, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)));
    DWORD type = 0, read = 0, size = sizeof(read);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, L"Value", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(7u, read);
}

TEST_F(RegistryTest, DeleteTreeRemovesKeysBelow) {
    HKEY child;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(key_, L"Child\\Grandchild", &child));
    RegCloseKey(child);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Mirdal Software\\PlatformTest\\Child"));
    HKEY gone;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Mirdal Software\\PlatformTest\\Child\\Grandchild", 0,
                            KEY_READ, &gone));
}

}  // namespace
