// Module file names, data-file loading, environment expansion and long dates,
// as the service relies on them, on winsim and Wine alike.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "message_support.h"

namespace {

TEST(LoadLibraryExTest, DataFileLoadsAndFreesOnce) {
    HMODULE module = LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(LoadLibraryExTest, MissingFileIsFileNotFound) {
    std::wstring missing = testsupport::TestMessagesFolder() + L"/no-such-messages.dll";
    EXPECT_EQ(nullptr, LoadLibraryExW(missing.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(LoadLibraryExTest, FileThatIsNoImageIsBadFormat) {
    EXPECT_EQ(nullptr, LoadLibraryExW(testsupport::Wide(KESTROVE_TEST_NOT_PE_FILE).c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
}

TEST(GetModuleFileNameTest, FullBufferGetsThePathAndItsLength) {
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::wcslen(path), length);
}

TEST(GetModuleFileNameTest, ShortBufferIsCutAndReportsItsSize) {
    WCHAR path[MAX_PATH];
    DWORD full = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(full, 4u);
    EXPECT_EQ(4u, GetModuleFileNameW(nullptr, path, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    // A buffer of exactly the length leaves no room for the terminator.
    EXPECT_EQ(full, GetModuleFileNameW(nullptr, path, full));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

class ExpandEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        static char variable[] = "KESTROVE_EXPAND_TEST=value";
        ASSERT_EQ(0, putenv(variable));
    }
    static std::wstring Expand(const wchar_t* source, DWORD* count) {
        WCHAR buffer[256];
        *count = ExpandEnvironmentStringsW(source, buffer, 256);
        return *count ? std::wstring(buffer) : L"";
    }
};

TEST_F(ExpandEnvironmentTest, KnownNamesAreReplacedWithoutRegardToCase) {
    DWORD count = 0;
    EXPECT_EQ(L"value/a-value", Expand(L"%KESTROVE_EXPAND_TEST%/a-%kestrove_expand_test%", &count));
    EXPECT_EQ(14u, count);  // the terminator counts
}

TEST_F(ExpandEnvironmentTest, UnknownNamesAndLonePercentsStay) {
    DWORD count = 0;
    EXPECT_EQ(L"%KESTROVE_NO_SUCH%KESTROVE_EXPAND_TEST%", Expand(L"%KESTROVE_NO_SUCH%KESTROVE_EXPAND_TEST%", &count));
    EXPECT_EQ(L"100% %%", Expand(L"100% %%", &count));
    EXPECT_EQ(L"", Expand(L"", &count));
    EXPECT_EQ(1u, count);
}

TEST_F(ExpandEnvironmentTest, ShortBufferGetsTheSizeNeeded) {
    WCHAR buffer[4];
    EXPECT_EQ(7u, ExpandEnvironmentStringsW(L"%KESTROVE_EXPAND_TEST%!", buffer, 4));
    EXPECT_EQ(7u, ExpandEnvironmentStringsW(L"%KESTROVE_EXPAND_TEST%!", nullptr, 0));
}

TEST(GetDateFormatTest, LongDateInUsEnglish) {
    SYSTEMTIME date = {2026, 12, 0, 8, 10, 30, 0, 0};
    WCHAR text[64];
    EXPECT_EQ(26, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &date, nullptr, text, 64));
    EXPECT_STREQ(L"Tuesday, December 8, 2026", text);
    SYSTEMTIME leapDay = {2024, 2, 0, 29, 0, 0, 0, 0};
    EXPECT_EQ(28, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &leapDay, nullptr, text, 64));
    EXPECT_STREQ(L"Thursday, February 29, 2024", text);
}

TEST(GetDateFormatTest, SizeQueryShortBufferAndInvalidDate) {
    SYSTEMTIME date = {2026, 12, 0, 8, 0, 0, 0, 0};
    WCHAR text[8];
    EXPECT_EQ(26, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &date, nullptr, nullptr, 0));
    EXPECT_EQ(0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &date, nullptr, text, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    SYSTEMTIME noSuchDay = {2026, 2, 0, 30, 0, 0, 0, 0};
    WCHAR large[64];
    EXPECT_EQ(0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &noSuchDay, nullptr, large, 64));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
