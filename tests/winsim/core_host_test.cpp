// winsim's own controls: injected failures, call counts, reset.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <chrono>
#include <thread>

#include "eventually.h"

namespace {

class WinsimCoreTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
};

LSTATUS OpenSoftware() {
    HKEY key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
}

TEST_F(WinsimCoreTest, FailCallFailsTheNthCallOnce) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software", &key));
    RegCloseKey(key);
    winsim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED, 2);
    EXPECT_EQ(ERROR_SUCCESS, OpenSoftware());
    EXPECT_EQ(ERROR_ACCESS_DENIED, OpenSoftware());
    EXPECT_EQ(ERROR_SUCCESS, OpenSoftware());
    EXPECT_EQ(3, winsim::CallCount("RegOpenKeyExW"));
}

TEST_F(WinsimCoreTest, PersistentFailureKeepsFailing) {
    winsim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED, 1, true);
    EXPECT_EQ(ERROR_ACCESS_DENIED, OpenSoftware());
    EXPECT_EQ(ERROR_ACCESS_DENIED, OpenSoftware());
}

TEST_F(WinsimCoreTest, ResetClearsRegistryCountsAndFailures) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\X", &key));
    winsim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED, 1, true);
    winsim::Reset();
    EXPECT_FALSE(winsim::RegistryKeyExists(L"HKLM\\Software\\X"));
    EXPECT_EQ(0, winsim::CallCount("RegCreateKeyW"));
    EXPECT_EQ(0, winsim::RegistryOpenHandles());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenSoftware());
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));  // handles die with the reset
}

TEST_F(WinsimCoreTest, RegistryReadBackHelpers) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Vendor", &key));
    const wchar_t text[] = L"value";
    RegSetValueExW(key, L"Name", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    EXPECT_EQ(1, winsim::RegistryOpenHandles());
    RegCloseKey(key);
    EXPECT_EQ(0, winsim::RegistryOpenHandles());
    EXPECT_EQ(L"value", winsim::RegistryGetString(L"HKLM\\SOFTWARE\\vendor", L"name"));
    winsim::RegistryValue value;
    ASSERT_TRUE(winsim::RegistryGetValue(L"HKLM\\Software\\Vendor", L"Name", &value));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), value.type);
    EXPECT_EQ(std::vector<std::wstring>{L"Name"}, winsim::RegistryValueNames(L"HKLM\\Software\\Vendor"));
}

TEST_F(WinsimCoreTest, CallsOnAnInvalidHandleFail) {
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(bogus, L"x", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bogus));
}

// Pauses for good, as the service's supervisor does.
DWORD WINAPI PauseForever(LPVOID) {
    for (;;) Sleep(1);
}

TEST_F(WinsimCoreTest, ResetEndsTheThreadsStartedBeforeIt) {
    CloseHandle(CreateThread(nullptr, 0, PauseForever, nullptr, 0, nullptr));
    ASSERT_TRUE(testsupport::Eventually([] { return !winsim::SleepCalls().empty(); }));
    winsim::Reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(winsim::SleepCalls().empty());
}

TEST_F(WinsimCoreTest, LastErrorIsPerThread) {
    SetLastError(5);
    EXPECT_EQ(5u, GetLastError());
}

}  // namespace
