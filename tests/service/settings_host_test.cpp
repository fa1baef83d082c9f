// The service's settings error and the registry handling around loading.
#include <winsim/control.h>
#include <wtsapi32.h>

#include <cstring>
#include <string>

#include "settings_support.h"

namespace {

class ServiceSettingsHostTest : public testsupport::SettingsTest {
protected:
    void SetUp() override {
        winsim::Reset();
        SettingsTest::SetUp();
    }
};

TEST_F(ServiceSettingsHostTest, SettingsErrorGoesToTheCurrentSession) {
    SetSmtp(L"Server Address", L"mail.example.org");
    EXPECT_EQ(0, LoadSettings());
    ASSERT_EQ(1u, winsim::WtsMessages().size());
    const winsim::WtsMessage& sent = winsim::WtsMessages()[0];
    const std::wstring title = L"Mirdal Software - RDP Kestrove";
    const std::wstring text =
        L"An error occured while attempting to read program settings from the registry.  The settings were either "
        L"not found or invalid.\r\n\r\nThe program will now exit.";
    EXPECT_EQ(WTS_CURRENT_SERVER_HANDLE, sent.server);
    EXPECT_EQ(WTS_CURRENT_SESSION, sent.sessionId);
    EXPECT_EQ(title, sent.title);
    EXPECT_EQ(text, sent.message);
    EXPECT_EQ(title.size() * sizeof(WCHAR), sent.titleLength);
    EXPECT_EQ(text.size() * sizeof(WCHAR), sent.messageLength);
    EXPECT_EQ(static_cast<DWORD>(MB_ICONERROR), sent.style);
    EXPECT_EQ(0u, sent.timeout);
    EXPECT_FALSE(sent.wait);
}

TEST_F(ServiceSettingsHostTest, CompleteSettingsSendNoMessage) {
    SetAllSmtp();
    // 256 code units stored without a terminator fill the read's buffer
    // exactly, which Windows returns as stored (Wine refuses it): the string
    // takes the first 255 and its terminator.
    const std::wstring full(256, L'f');
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, KESTROVE_SMTP_KEY, 0, KEY_SET_VALUE, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"EmailFrom", 0, REG_SZ, reinterpret_cast<const BYTE*>(full.data()),
                                            static_cast<DWORD>(full.size() * sizeof(WCHAR))));
    RegCloseKey(key);
    EXPECT_EQ(1, LoadSettings());
    EXPECT_TRUE(winsim::WtsMessages().empty());
    EXPECT_EQ(std::string(255, 'f'), std::string(g_emailFrom, strnlen(g_emailFrom, sizeof(g_emailFrom))));
}

TEST_F(ServiceSettingsHostTest, EmptySmtpKeySendsOneErrorAndAMissingKeyNone) {
    EXPECT_EQ(1, LoadSettings());
    EXPECT_TRUE(winsim::WtsMessages().empty());
    testsupport::CreateRegistryKey(KESTROVE_SMTP_KEY);
    EXPECT_EQ(0, LoadSettings());
    EXPECT_EQ(1u, winsim::WtsMessages().size());
}

TEST_F(ServiceSettingsHostTest, UnreadableMainKeyKeepsTheDefaults) {
    SetMain(L"AuthenticationFailsBeforeBlock", L"9");
    SetAllSmtp();
    winsim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(1, LoadSettings());
    EXPECT_EQ(5, g_settings.AuthenticationFailsBeforeBlock);
    EXPECT_STREQ("mail.example.org", g_smtpServer);
}

TEST_F(ServiceSettingsHostTest, UnreadableSmtpKeyReturnsOneWithStringsUnchanged) {
    SetAllSmtp();
    winsim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED, 2);
    EXPECT_EQ(1, LoadSettings());
    EXPECT_STREQ("", g_smtpServer);
    EXPECT_TRUE(winsim::WtsMessages().empty());
}

TEST_F(ServiceSettingsHostTest, LoadingClosesEveryKeyItOpens) {
    SetMain(L"EmailNotifyOnBlock", L"1");
    SetAllSmtp();
    LoadSettings();
    EXPECT_EQ(0, winsim::RegistryOpenHandles());
    testsupport::ClearSettingsKeys();
    SetSmtp(L"Server Address", L"x");
    LoadSettings();
    EXPECT_EQ(0, winsim::RegistryOpenHandles());
}

TEST_F(ServiceSettingsHostTest, LoadingPrintsTheSmtpLine) {
    ::testing::internal::CaptureStdout();
    LoadSettings();
    EXPECT_EQ("loading SMTP settings...\r\n", ::testing::internal::GetCapturedStdout());
}

}  // namespace
