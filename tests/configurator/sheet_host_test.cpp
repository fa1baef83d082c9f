// The settings sheet and its pages as a user sees and drives them.
#include "configurator_ui_host.h"

using testsupport::ConfiguratorUiTest;

using SettingsSheetTest = ConfiguratorUiTest;

TEST_F(SettingsSheetTest, OpensOnGeneralWithTheDefaultsAndEmptySmtpFields) {
    Then([] {
        HWND sheet = Active();
        EXPECT_EQ(L"Mirdal Software - RDP Kestrove Configurator", winsim::WindowText(sheet));
        EXPECT_EQ((std::vector<std::wstring>{L"General", L"SMTP Settings"}), winsim::SheetTabs(sheet));
        EXPECT_EQ(0, winsim::SheetCurrentPage(sheet));
        HWND general = Page(sheet, 0);
        EXPECT_EQ(L"5", TextOf(general, IDC_FAILS_BEFORE_BLOCK));
        EXPECT_EQ(L"10", TextOf(general, IDC_RESET_TIMEOUT));
        EXPECT_FALSE(winsim::WindowVisible(GetDlgItem(general, IDC_RESET_TIMEOUT)));
        EXPECT_TRUE(winsim::WindowVisible(GetDlgItem(general, IDC_FAILS_BEFORE_BLOCK)));
        EXPECT_TRUE(Checked(general, IDC_EMAIL_NOTIFY));
        EXPECT_EQ(nullptr, Page(sheet, 1));
        EXPECT_TRUE(winsim::SelectTab(sheet, 1));
    });
    Then([] {
        HWND smtp = Page(Active(), 1);
        ASSERT_NE(nullptr, smtp);
        EXPECT_EQ(L"", TextOf(smtp, IDC_SMTP_SERVER));
        EXPECT_EQ(L"", TextOf(smtp, IDC_EMAIL_FROM));
        EXPECT_EQ(L"", TextOf(smtp, IDC_ADMIN_EMAIL));
        EXPECT_TRUE(winsim::PressSheetButton(Active(), winsim::SheetButton::Cancel));
    });
    EXPECT_EQ(0, RunSheet());
    EXPECT_EQ(0u, winsim::PendingUserSteps());
    EXPECT_EQ(0, Writes());
}

TEST_F(SettingsSheetTest, ShowsStoredValuesAndNegativeMinutesTruncated) {
    SetMain(L"AuthenticationFailsBeforeBlock", L"-3");
    SetMain(L"AttemptCountResetTimeout", L"-7");
    SetMain(L"EmailNotifyOnBlock", L"0");
    SetSmtp(L"Server Address", L"mail.example.org");
    SetSmtp(L"EmailFrom", L"caf\u00e9@example.org");
    SetSmtp(L"AdminEmailAddress", std::wstring(255, L'a'));
    Then([] {
        HWND general = Page(Active(), 0);
        EXPECT_EQ(L"-3", TextOf(general, IDC_FAILS_BEFORE_BLOCK));
        EXPECT_EQ(L"-7", TextOf(general, IDC_RESET_TIMEOUT));
        EXPECT_FALSE(Checked(general, IDC_EMAIL_NOTIFY));
        winsim::SelectTab(Active(), 1);
    });
    Then([] {
        HWND smtp = Page(Active(), 1);
        EXPECT_EQ(L"mail.example.org", TextOf(smtp, IDC_SMTP_SERVER));
        EXPECT_EQ(L"caf\u00e9@example.org", TextOf(smtp, IDC_EMAIL_FROM));
        EXPECT_EQ(std::wstring(255, L'a'), TextOf(smtp, IDC_ADMIN_EMAIL));
        winsim::PressCloseBox(Active());
    });
    EXPECT_EQ(0, RunSheet());
    EXPECT_EQ(0u, winsim::PendingUserSteps());
}

TEST_F(SettingsSheetTest, AStoredTwoChecksTheBoxAndIsSavedBackAsOne) {
    CreateKeys();
    SetMain(L"EmailNotifyOnBlock", L"2");
    Then([] {
        EXPECT_TRUE(Checked(Page(Active(), 0), IDC_EMAIL_NOTIFY));
        winsim::PressSheetButton(Active(), winsim::SheetButton::Ok);
    });
    EXPECT_EQ(1, RunSheet());
    EXPECT_EQ(L"1", Main(L"EmailNotifyOnBlock"));
    EXPECT_EQ(L"5", Main(L"AuthenticationFailsBeforeBlock"));
    EXPECT_EQ(L"10", Main(L"AttemptCountResetTimeout"));
}

TEST_F(SettingsSheetTest, OpeningTheSheetAndFirstSelectingSmtpEnableApplyButTestDoesNot) {
    CreateKeys();
    Then([] {
        HWND sheet = Active();
        EXPECT_TRUE(winsim::ApplyEnabled(sheet));
        EXPECT_TRUE(winsim::PressSheetButton(sheet, winsim::SheetButton::Apply));
        EXPECT_FALSE(winsim::ApplyEnabled(sheet));
        EXPECT_FALSE(winsim::PressSheetButton(sheet, winsim::SheetButton::Apply));  // disabled: nothing happens
        winsim::SelectTab(sheet, 1);
        EXPECT_TRUE(winsim::ApplyEnabled(sheet));
        winsim::PressSheetButton(sheet, winsim::SheetButton::Apply);
        winsim::SelectTab(sheet, 0);
        winsim::SelectTab(sheet, 1);
        EXPECT_FALSE(winsim::ApplyEnabled(sheet));
        EXPECT_TRUE(winsim::ClickDlgButton(Page(sheet, 1), IDC_SMTP_TEST));
    });
    Then([] {
        HWND dialog = Active();
        EXPECT_EQ(L"SMTP Test Message", winsim::WindowText(dialog));
        EXPECT_TRUE(winsim::ClickDlgButton(dialog, IDCANCEL));
    });
    Then([] {
        HWND sheet = Active();
        EXPECT_EQ(L"Mirdal Software - RDP Kestrove Configurator", winsim::WindowText(sheet));
        EXPECT_FALSE(winsim::ApplyEnabled(sheet));
        EXPECT_TRUE(winsim::TypeText(GetDlgItem(Page(sheet, 1), IDC_EMAIL_FROM), L"x"));
        EXPECT_TRUE(winsim::ApplyEnabled(sheet));
        winsim::PressSheetButton(sheet, winsim::SheetButton::Cancel);
    });
    EXPECT_EQ(1, RunSheet());
    EXPECT_EQ(0u, winsim::PendingUserSteps());
    // One apply with the General page alone, one with both pages; Cancel writes nothing.
    EXPECT_EQ(3 + 6, Writes());
    EXPECT_EQ(L"", Smtp(L"EmailFrom"));
}

TEST_F(SettingsSheetTest, CheckBoxClicksAndTypingReportChanges) {
    CreateKeys();
    Then([] {
        HWND sheet = Active();
        winsim::PressSheetButton(sheet, winsim::SheetButton::Apply);
        EXPECT_TRUE(winsim::Click(GetDlgItem(Page(sheet, 0), IDC_EMAIL_NOTIFY)));
        EXPECT_TRUE(winsim::ApplyEnabled(sheet));
        winsim::PressSheetButton(sheet, winsim::SheetButton::Apply);
        EXPECT_EQ(L"0", Main(L"EmailNotifyOnBlock"));
        EXPECT_EQ(0, g_settings.EmailNotifyOnBlock);
        EXPECT_TRUE(winsim::TypeText(GetDlgItem(Page(sheet, 0), IDC_FAILS_BEFORE_BLOCK), L"x"));  // digits only
        EXPECT_FALSE(winsim::ApplyEnabled(sheet));
        winsim::PressSheetButton(sheet, winsim::SheetButton::Cancel);
    });
    EXPECT_EQ(1, RunSheet());
}

TEST_F(SettingsSheetTest, OkWithoutChangesWritesEveryOpenedPageAgain) {
    SetMain(L"AuthenticationFailsBeforeBlock", L"7");
    SetMain(L"AttemptCountResetTimeout", L"3");
    SetMain(L"EmailNotifyOnBlock", L"0");
    SetAllSmtp();
    Then([] { winsim::SelectTab(Active(), 1); });
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Ok); });
    EXPECT_EQ(1, RunSheet());
    EXPECT_EQ(6, Writes());
    EXPECT_EQ(L"7", Main(L"AuthenticationFailsBeforeBlock"));
    EXPECT_EQ(L"3", Main(L"AttemptCountResetTimeout"));
    EXPECT_EQ(L"0", Main(L"EmailNotifyOnBlock"));
    EXPECT_EQ(L"mail.example.org", Smtp(L"Server Address"));
    EXPECT_EQ(L"kestrove@example.org", Smtp(L"EmailFrom"));
    EXPECT_EQ(L"admin@example.org", Smtp(L"AdminEmailAddress"));
}

TEST_F(SettingsSheetTest, AppliedValuesAreReloadedAndShownOnAPageOpenedLater) {
    CreateKeys();
    SetSmtp(L"Server Address", L"old.example.org");
    Then([] {
        HWND general = Page(Active(), 0);
        EXPECT_TRUE(Retype(general, IDC_FAILS_BEFORE_BLOCK, L"12"));
        // Another writer changes the SMTP key; the apply's reload brings it in.
        testsupport::SetRegistryString(KESTROVE_SMTP_KEY, L"Server Address", L"new.example.org");
        winsim::PressSheetButton(Active(), winsim::SheetButton::Apply);
        EXPECT_EQ(12, g_settings.AuthenticationFailsBeforeBlock);
        EXPECT_STREQ("new.example.org", g_smtpServer);
        winsim::SelectTab(Active(), 1);
        EXPECT_EQ(L"new.example.org", TextOf(Page(Active(), 1), IDC_SMTP_SERVER));
        winsim::PressSheetButton(Active(), winsim::SheetButton::Cancel);
    });
    EXPECT_EQ(1, RunSheet());
    EXPECT_EQ(L"12", Main(L"AuthenticationFailsBeforeBlock"));
}

TEST_F(SettingsSheetTest, CancelAndTheCloseBoxWriteNothing) {
    CreateKeys();
    for (int closeBox = 0; closeBox < 2; ++closeBox) {
        Then([closeBox] {
            Retype(Page(Active(), 0), IDC_FAILS_BEFORE_BLOCK, L"9");
            if (closeBox) {
                EXPECT_TRUE(winsim::PressCloseBox(Active()));
            } else {
                EXPECT_TRUE(winsim::PressSheetButton(Active(), winsim::SheetButton::Cancel));
            }
        });
        EXPECT_EQ(0, RunSheet());
    }
    EXPECT_EQ(0, Writes());
    EXPECT_FALSE(testsupport::RegistryValueExists(KESTROVE_SETTINGS_KEY, L"AuthenticationFailsBeforeBlock"));
}
