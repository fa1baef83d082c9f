// Settings as the service loads them: defaults, number rules, SMTP strings.
#include "settings_support.h"

#include <climits>
#include <cstdlib>

using testsupport::SettingsTest;

TEST_F(SettingsTest, WithoutKeysTheDefaultsHoldAndStringsStayEmpty) {
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(1, g_settings.EmailNotifyOnBlock);
    EXPECT_EQ(5, g_settings.AuthenticationFailsBeforeBlock);
    EXPECT_EQ(600000, g_settings.AttemptCountResetTimeout);
    EXPECT_STREQ("", g_smtpServer);
    EXPECT_STREQ("", g_emailFrom);
    EXPECT_STREQ("", g_adminEmailAddress);
}

TEST_F(SettingsTest, SetDefaultSettingsWritesTheThreeDefaults) {
    g_settings = ProgramSettings{7, 7, 7};
    SetDefaultSettings();
    EXPECT_EQ(1, g_settings.EmailNotifyOnBlock);
    EXPECT_EQ(5, g_settings.AuthenticationFailsBeforeBlock);
    EXPECT_EQ(600000, g_settings.AttemptCountResetTimeout);
}

struct NumberCase {
    const wchar_t* text;
    int expected;
};

class SettingNumberTest : public SettingsTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(SettingNumberTest, FailureCountFollowsTheDecimalRule) {
    SetMain(L"AuthenticationFailsBeforeBlock", GetParam().text);
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(GetParam().expected, g_settings.AuthenticationFailsBeforeBlock);
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingNumberTest,
                         ::testing::Values(NumberCase{L" 12abc", 12}, NumberCase{L"\t+7", 7}, NumberCase{L"-3", -3},
                                           NumberCase{L"abc", 0}, NumberCase{L"", 0},
                                           NumberCase{L"99999999999", INT_MAX},
                                           NumberCase{L"-99999999999", INT_MIN}, NumberCase{L"2147483647", INT_MAX},
                                           NumberCase{L"007", 7}, NumberCase{L"010", 10}, NumberCase{L"0x10", 0}));

TEST_F(SettingsTest, ResetTimeoutIsStoredInMinutes) {
    SetMain(L"AttemptCountResetTimeout", L"10");
    LoadSettings();
    EXPECT_EQ(600000, g_settings.AttemptCountResetTimeout);

    SetMain(L"AttemptCountResetTimeout", L"35791");
    LoadSettings();
    EXPECT_EQ(35791 * 60000, g_settings.AttemptCountResetTimeout);

    SetMain(L"AttemptCountResetTimeout", L"-35791");
    LoadSettings();
    EXPECT_EQ(-35791 * 60000, g_settings.AttemptCountResetTimeout);
}

TEST_F(SettingsTest, ResetTimeoutBeyondTheFieldSaturates) {
    SetMain(L"AttemptCountResetTimeout", L"35792");
    LoadSettings();
    EXPECT_EQ(INT_MAX, g_settings.AttemptCountResetTimeout);

    SetMain(L"AttemptCountResetTimeout", L"-35792");
    LoadSettings();
    EXPECT_EQ(INT_MIN, g_settings.AttemptCountResetTimeout);

    SetMain(L"AttemptCountResetTimeout", L"99999999999");
    LoadSettings();
    EXPECT_EQ(INT_MAX, g_settings.AttemptCountResetTimeout);
}

TEST_F(SettingsTest, NotificationIsOnForAnyNonZeroNumber) {
    SetMain(L"EmailNotifyOnBlock", L"2");
    LoadSettings();
    EXPECT_NE(0, g_settings.EmailNotifyOnBlock);

    SetMain(L"EmailNotifyOnBlock", L"0");
    LoadSettings();
    EXPECT_EQ(0, g_settings.EmailNotifyOnBlock);

    SetMain(L"EmailNotifyOnBlock", L"");
    LoadSettings();
    EXPECT_EQ(0, g_settings.EmailNotifyOnBlock);
}

TEST_F(SettingsTest, DwordValueIsReadAsTextOfItsBytes) {
    testsupport::SetRegistryDword(KESTROVE_SETTINGS_KEY, L"AuthenticationFailsBeforeBlock", 5);
    LoadSettings();
    EXPECT_EQ(0, g_settings.AuthenticationFailsBeforeBlock);
}

TEST_F(SettingsTest, EachLoadStartsAgainFromTheDefaults) {
    SetMain(L"AuthenticationFailsBeforeBlock", L"9");
    LoadSettings();
    EXPECT_EQ(9, g_settings.AuthenticationFailsBeforeBlock);
    testsupport::ClearSettingsKeys();
    LoadSettings();
    EXPECT_EQ(5, g_settings.AuthenticationFailsBeforeBlock);
}

TEST_F(SettingsTest, SmtpStringsAreNarrowedFromTheSmtpKey) {
    SetAllSmtp();
    EXPECT_EQ(1, LoadSettings());
    EXPECT_STREQ("mail.example.org", g_smtpServer);
    EXPECT_STREQ("kestrove@example.org", g_emailFrom);
    EXPECT_STREQ("admin@example.org", g_adminEmailAddress);
}

TEST_F(SettingsTest, LatinOneCharacterBecomesItsByteAndAWiderOneEndsTheText) {
    SetAllSmtp();
    SetSmtp(L"Server Address", L"caf\u00e9.example");
    SetSmtp(L"EmailFrom", L"ab\u0101cd");
    SetSmtp(L"AdminEmailAddress", L"\u00ff\u0100x");  // the last character with a byte, the first without
    EXPECT_EQ(1, LoadSettings());
    EXPECT_STREQ("caf\xe9.example", g_smtpServer);
    EXPECT_STREQ("ab", g_emailFrom);
    EXPECT_STREQ("\xff", g_adminEmailAddress);
}

TEST_F(SettingsTest, SmtpValueOf255CharactersIsReadWhole) {
    SetAllSmtp();
    SetSmtp(L"Server Address", std::wstring(255, L's'));
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(std::string(255, 's'), g_smtpServer);
    // A shorter value read next into the same string leaves nothing of the longer one.
    SetSmtp(L"Server Address", L"mail.example.org");
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(std::string("mail.example.org"), g_smtpServer);
}

TEST_F(SettingsTest, ServiceBuildStopsAtAnSmtpValueOf256Characters) {
    SetAllSmtp();
    std::strcpy(g_emailFrom, "previous");
    SetSmtp(L"Server Address", L"first.example");
    SetSmtp(L"EmailFrom", std::wstring(256, L'f'));
    EXPECT_EQ(0, LoadSettings());
    EXPECT_STREQ("first.example", g_smtpServer);
    EXPECT_STREQ("previous", g_emailFrom);
    EXPECT_STREQ("", g_adminEmailAddress);  // not read after the failure
}

TEST_F(SettingsTest, ServiceBuildStopsAtAMissingEmailFrom) {
    SetSmtp(L"Server Address", L"mail.example.org");
    SetSmtp(L"AdminEmailAddress", L"admin@example.org");
    EXPECT_EQ(0, LoadSettings());
    EXPECT_STREQ("mail.example.org", g_smtpServer);
    EXPECT_STREQ("", g_adminEmailAddress);
}

TEST_F(SettingsTest, MissingSmtpKeyKeepsTheStrings) {
    SetMain(L"AuthenticationFailsBeforeBlock", L"3");
    std::strcpy(g_smtpServer, "kept");
    EXPECT_EQ(1, LoadSettings());
    EXPECT_STREQ("kept", g_smtpServer);
    EXPECT_EQ(3, g_settings.AuthenticationFailsBeforeBlock);
}

TEST_F(SettingsTest, ReadRegistryValueReportsSizesAndTerminatesTheText) {
    SetMain(L"Text", L"abc");
    SetMain(L"Empty", L"");
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, KESTROVE_SETTINGS_KEY, 0, KEY_READ, &key));
    WCHAR* buffer = nullptr;
    EXPECT_EQ(static_cast<int>(4 * sizeof(WCHAR)), ReadRegistryValue(key, L"Text", &buffer));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_EQ(static_cast<int>(sizeof(WCHAR)), ReadRegistryValue(key, L"Empty", &buffer));
    EXPECT_STREQ(L"", buffer);
    EXPECT_EQ(0, ReadRegistryValue(key, L"Missing", &buffer));
    EXPECT_STREQ(L"", buffer);
    free(buffer);
    RegCloseKey(key);
}

TEST_F(SettingsTest, ReadRegistryValueTerminatesDataStoredWithoutATerminator) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, KESTROVE_SETTINGS_KEY, &key));
    const WCHAR digits[] = {L'4', L'2'};
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(digits), sizeof(digits)));
    WCHAR* buffer = nullptr;
    EXPECT_EQ(static_cast<int>(sizeof(digits)), ReadRegistryValue(key, L"Bare", &buffer));
    EXPECT_STREQ(L"42", buffer);
    free(buffer);
    RegCloseKey(key);
}
