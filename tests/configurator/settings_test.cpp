// Settings as the configurator loads them: an unreadable SMTP value is skipped.
#include "settings_support.h"

using testsupport::SettingsTest;

TEST_F(SettingsTest, ConfiguratorBuildSkipsAMissingEmailFromAndReadsOn) {
    std::strcpy(g_emailFrom, "previous");
    SetSmtp(L"Server Address", L"mail.example.org");
    SetSmtp(L"AdminEmailAddress", L"admin@example.org");
    EXPECT_EQ(1, LoadSettings());
    EXPECT_STREQ("mail.example.org", g_smtpServer);
    EXPECT_STREQ("previous", g_emailFrom);
    EXPECT_STREQ("admin@example.org", g_adminEmailAddress);
}

TEST_F(SettingsTest, ConfiguratorBuildKeepsThePreviousStringForA256CharacterValue) {
    SetAllSmtp();
    std::strcpy(g_smtpServer, "previous");
    SetSmtp(L"Server Address", std::wstring(256, L's'));
    EXPECT_EQ(1, LoadSettings());
    EXPECT_STREQ("previous", g_smtpServer);
    EXPECT_STREQ("kestrove@example.org", g_emailFrom);
}

TEST_F(SettingsTest, ConfiguratorBuildLoadsTheSameDefaultsAndNumbers) {
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(5, g_settings.AuthenticationFailsBeforeBlock);
    SetMain(L"AuthenticationFailsBeforeBlock", L"8");
    SetMain(L"AttemptCountResetTimeout", L"2");
    SetMain(L"EmailNotifyOnBlock", L"0");
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(8, g_settings.AuthenticationFailsBeforeBlock);
    EXPECT_EQ(120000, g_settings.AttemptCountResetTimeout);
    EXPECT_EQ(0, g_settings.EmailNotifyOnBlock);
}
