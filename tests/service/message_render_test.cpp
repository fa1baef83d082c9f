// Message-file lookup, message rendering and the logon type, against the
// platform's own LoadLibraryExW and FormatMessageW (winsim and Wine alike).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "message_support.h"
#include "service/message_render.h"

namespace {

using testsupport::Wide;

const wchar_t* kLogKey = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\KestroveTestLog";
const wchar_t* kSourceKey = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\KestroveTestLog\\Kestrove Test Source";

class LookupMessageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kLogKey);
        ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kLogKey);
    }
    static void SetMessageFile(const std::wstring& value, bool terminated = true) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, kSourceKey, &key));
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + (terminated ? 1 : 0)) * sizeof(WCHAR))));
        RegCloseKey(key);
    }
    // Looks the test source up; returns the console output.
    std::string Lookup(const wchar_t* source = L"Kestrove Test Source") {
        testing::internal::CaptureStdout();
        module_ = LookupMessageFile(L"KestroveTestLog", source, &fileNumber_);
        return testing::internal::GetCapturedStdout();
    }
    // True when the module is the tests' DLL: it renders the plain test message.
    bool IsTestMessageDll() const {
        return testsupport::Render(module_, testsupport::kPlainMessage, {}) == L"No inserts here.\r\n";
    }
    static std::wstring Dll() { return Wide(KESTROVE_TEST_MESSAGES_DLL); }
    HMODULE module_ = nullptr;
    int fileNumber_ = 35;
};

TEST_F(LookupMessageFileTest, MissingKeyPrintsItsPath) {
    EXPECT_EQ("Cannot find message file key for "
              "\"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\KestroveTestLog\\No Such Source\"",
              Lookup(L"No Such Source"));
    EXPECT_EQ(nullptr, module_);
    EXPECT_EQ(35, fileNumber_);
}

TEST_F(LookupMessageFileTest, MissingValueGivesNoModuleQuietly) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, kSourceKey, &key));
    RegCloseKey(key);
    EXPECT_EQ("", Lookup());
    EXPECT_EQ(nullptr, module_);
    EXPECT_EQ(35, fileNumber_);
}

TEST_F(LookupMessageFileTest, OnlyTheFirstOfTwoFilesIsLoaded) {
    SetMessageFile(Dll() + L";" + Wide(KESTROVE_TEST_NOT_PE_FILE));
    EXPECT_EQ("", Lookup());
    ASSERT_NE(nullptr, module_);
    EXPECT_TRUE(IsTestMessageDll());
    EXPECT_EQ(35, fileNumber_);
}

TEST_F(LookupMessageFileTest, LeadingSemicolonsAreSkipped) {
    SetMessageFile(L";;" + Dll());
    EXPECT_EQ("", Lookup());
    ASSERT_NE(nullptr, module_);
    EXPECT_TRUE(IsTestMessageDll());
    // Nor does a value stored without its terminator run on past its data.
    FreeLibrary(module_);
    SetMessageFile(L";;" + Dll(), false);
    EXPECT_EQ("", Lookup());
    ASSERT_NE(nullptr, module_);
    EXPECT_TRUE(IsTestMessageDll());
}

TEST_F(LookupMessageFileTest, NoFileNamedPrintsTokenCountZero) {
    SetMessageFile(L";;;");
    EXPECT_EQ("Token Count: 0\r\n", Lookup());
    EXPECT_EQ(nullptr, module_);
    SetMessageFile(L"");
    EXPECT_EQ("Token Count: 0\r\n", Lookup());
    EXPECT_EQ(nullptr, module_);
    EXPECT_EQ(35, fileNumber_);
}

TEST_F(LookupMessageFileTest, UnloadableFirstFileSetsFileNumberOneEvenWithASecond) {
    SetMessageFile(Wide(KESTROVE_TEST_NOT_PE_FILE) + L";" + Dll());
    EXPECT_EQ("", Lookup());
    EXPECT_EQ(nullptr, module_);
    EXPECT_EQ(1, fileNumber_);
}

TEST_F(LookupMessageFileTest, EnvironmentReferencesAreExpanded) {
    static std::string variable = "KESTROVE_TEST_MESSAGES=" + std::string(KESTROVE_TEST_MESSAGES_DLL).substr(
                                      0, std::string(KESTROVE_TEST_MESSAGES_DLL).rfind('/'));
    ASSERT_EQ(0, putenv(&variable[0]));
    SetMessageFile(L"%KESTROVE_TEST_MESSAGES%/" + testsupport::TestMessagesFileName());
    EXPECT_EQ("", Lookup());
    ASSERT_NE(nullptr, module_);
    EXPECT_TRUE(IsTestMessageDll());
}

TEST_F(LookupMessageFileTest, ExpansionBeyondTheBufferFailsWithoutLoading) {
    // 2047 characters and the terminator fit; one more does not.
    static std::string variable = "KESTROVE_LONG_PATH=" + std::string(2040, 'x');
    ASSERT_EQ(0, putenv(&variable[0]));
    std::wstring fits = L"%KESTROVE_LONG_PATH%1234567";
    SetMessageFile(fits);
    EXPECT_EQ("", Lookup());
    EXPECT_EQ(1, fileNumber_);  // expanded, tried, not found
    fileNumber_ = 35;
    std::wstring tooLong = L"%KESTROVE_LONG_PATH%12345678";
    SetMessageFile(tooLong);
    EXPECT_EQ("Cannot expand string: \"%KESTROVE_LONG_PATH%12345678\"", Lookup());
    EXPECT_EQ(nullptr, module_);
    EXPECT_EQ(35, fileNumber_);
}

class GetMessageStringTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(Wide(KESTROVE_TEST_MESSAGES_DLL).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override { FreeLibrary(module_); }
    // Renders with the strings packed as a record holds them; "(null)" when
    // no text came back. The console output goes to *output.
    static std::wstring Get(HMODULE module, DWORD id, const std::vector<std::wstring>& strings, std::string* output) {
        std::wstring packed = testsupport::PackedStrings(strings);
        testing::internal::CaptureStdout();
        LPWSTR text = GetMessageString(module, id, static_cast<DWORD>(strings.size()), packed.c_str());
        *output = testing::internal::GetCapturedStdout();
        if (!text) return L"(null)";
        std::wstring result = text;
        LocalFree(text);
        return result;
    }
    static std::vector<std::wstring> Numbered(int count) {
        std::vector<std::wstring> strings;
        for (int i = 1; i <= count; ++i) strings.push_back(L"s" + std::to_wstring(i));
        return strings;
    }
    HMODULE module_ = nullptr;
};

TEST_F(GetMessageStringTest, TwentyOneInsertsFillTheFailedLogonText) {
    std::string output;
    std::wstring text = Get(module_, 4625, testsupport::FailedLogonInserts(L"10", L"198.51.100.23"), &output);
    EXPECT_EQ("", output);
    EXPECT_NE(std::wstring::npos, text.find(L"\r\nLogon Type:\t\t\t10\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\tSource Network Address:\t198.51.100.23\r\n\tSource Port:\t\t51234\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\tFailure Reason:\t\t%%2313\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\tKey Length:\t\t0\r\n\r\n"));
}

TEST_F(GetMessageStringTest, MissingInsertsShowTheirPlaceholders) {
    std::string output;
    EXPECT_EQ(L"[s1][s2][s21][%22][%25][%99]\r\n", Get(module_, testsupport::kInsertsMessage, Numbered(21), &output));
    EXPECT_EQ(L"[only][%2][%21][%22][%25][%99]\r\n", Get(module_, testsupport::kInsertsMessage, {L"only"}, &output));
    EXPECT_EQ("", output);
}

TEST_F(GetMessageStringTest, OnlyTheFirstNinetyNineStringsAreUsed) {
    std::string output;
    EXPECT_EQ(L"[s1][s2][s21][s22][s25][s99]\r\n", Get(module_, testsupport::kInsertsMessage, Numbered(120), &output));
}

TEST_F(GetMessageStringTest, NoInsertsFormatsWithoutArguments) {
    std::string output;
    EXPECT_EQ(L"No inserts here.\r\n", Get(module_, testsupport::kPlainMessage, {}, &output));
    EXPECT_EQ("", output);
    // Without an argument array a text with inserts can't be formatted.
    EXPECT_EQ(L"(null)", Get(module_, testsupport::kInsertsMessage, {}, &output));
    EXPECT_EQ("Format message failed with 87\n", output);
}

TEST_F(GetMessageStringTest, NullModuleStillFormatsFromTheProgramAndSystem) {
    // Neither the test program nor the system table has message 4625.
    std::string output;
    EXPECT_EQ(L"(null)", Get(nullptr, 4625, testsupport::FailedLogonInserts(L"10", L"198.51.100.23"), &output));
    EXPECT_EQ("hResource is NULL.  Lookup of messages will not be possible.\r\n"
              "Format message failed with 317\n",
              output);
}

struct LogonTypeCase {
    const char* name;
    const wchar_t* text;
    int expected;
    const char* output;
};

class LogonTypeTest : public ::testing::TestWithParam<LogonTypeCase> {};

TEST_P(LogonTypeTest, ReadsTheNumberAfterTheFirstLabel) {
    testing::internal::CaptureStdout();
    int logonType = GetLogonTypeFromEventMessage(GetParam().text);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(GetParam().expected, logonType);
    EXPECT_EQ(std::string("GetLogonTypeFromEventMessage(): Getting LogonType from pMessage...\r\n") + GetParam().output,
              output);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogonTypeTest,
    ::testing::Values(
        LogonTypeCase{"LabelAndTwoTabs", L"Subject:\r\n\r\nLogon Type:\t\t\t10\r\n\r\nNext", 10,
                      "LEN: 16\r\n***\r\nHere's the LogonType: \t\t10 (Type:10)\r\n***\r\n"},
        LogonTypeCase{"NoLineEnd", L"Logon Type:\t\t\t10", 0, ""},
        LogonTypeCase{"LineEndRightAfterLabel", L"Logon Type:\t\r\n10\r\n", 0, "LEN: 12\r\n***\r\nHere's the LogonType:  (Type:0)\r\n***\r\n"},
        LogonTypeCase{"Letters", L"Logon Type:\tRemote\r\n", 0,
                      "LEN: 18\r\n***\r\nHere's the LogonType: Remote (Type:0)\r\n***\r\n"},
        LogonTypeCase{"DigitsThenText", L"Logon Type:\t3 (Network)\r\n", 3,
                      "LEN: 23\r\n***\r\nHere's the LogonType: 3 (Network) (Type:3)\r\n***\r\n"},
        LogonTypeCase{"LeadingZero", L"Logon Type:\t010\r\n", 10,
                      "LEN: 15\r\n***\r\nHere's the LogonType: 010 (Type:10)\r\n***\r\n"},
        LogonTypeCase{"HexadecimalPrefix", L"Logon Type:\t0x10\r\n", 0,
                      "LEN: 16\r\n***\r\nHere's the LogonType: 0x10 (Type:0)\r\n***\r\n"},
        LogonTypeCase{"FirstLabelCounts", L"Logon Type:\t2\r\nLogon Type:\t10\r\n", 2,
                      "LEN: 13\r\n***\r\nHere's the LogonType: 2 (Type:2)\r\n***\r\n"},
        LogonTypeCase{"OtherLanguage", L"Anmeldetyp:\t\t\t10\r\n", 0, ""}, LogonTypeCase{"OtherCase", L"logon type:\t10\r\n", 0, ""},
        LogonTypeCase{"Empty", L"", 0, ""}),
    [](const ::testing::TestParamInfo<LogonTypeCase>& info) { return std::string(info.param.name); });

TEST(LogonTypeLongValueTest, ValueIsCutToItsFirst255Characters) {
    std::wstring blanks(254, L' ');
    std::wstring text = L"Logon Type:\t" + blanks + L"10\r\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, GetLogonTypeFromEventMessage(text.c_str()));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, output.find("LEN: 268\r\n"));
    EXPECT_NE(std::string::npos, output.find(": " + std::string(254, ' ') + "1 (Type:1)"));
}

}  // namespace
