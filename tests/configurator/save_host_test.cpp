// Saving the settings from the sheet: what is written, when, and the fatal
// settings error for a key that can't be opened.
#include "configurator_ui_host.h"

using testsupport::ConfiguratorUiTest;
using testing::AllOf;
using testing::HasSubstr;

class SaveSettingsTest : public ConfiguratorUiTest {
protected:
    // A save closes every key it opened.
    void TearDown() override {
        EXPECT_EQ(0, winsim::RegistryOpenHandles()) << "a registry key left open";
        ConfiguratorUiTest::TearDown();
    }
};

TEST_F(SaveSettingsTest, WithoutTheSmtpTabOnlyTheMainKeyIsWritten) {
    SetAllSmtp();
    CreateKeys();
    Then([] {
        Retype(Page(Active(), 0), IDC_FAILS_BEFORE_BLOCK, L"4");
        winsim::PressSheetButton(Active(), winsim::SheetButton::Ok);
    });
    EXPECT_EQ(1, RunSheet());
    EXPECT_EQ(3, Writes());
    EXPECT_EQ(L"4", Main(L"AuthenticationFailsBeforeBlock"));
    EXPECT_EQ(L"mail.example.org", Smtp(L"Server Address"));
}

TEST_F(SaveSettingsTest, WithoutTheSmtpTabAMissingSmtpKeyDoesNotMatter) {
    testsupport::CreateRegistryKey(KESTROVE_SETTINGS_KEY);
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Ok); });
    EXPECT_EQ(1, RunSheet());
    EXPECT_EQ(L"5", Main(L"AuthenticationFailsBeforeBlock"));
    EXPECT_TRUE(winsim::MessageBoxes().empty());
}

TEST_F(SaveSettingsTest, ValuesAreRegSzWithTheTerminatorCounted) {
    CreateKeys();
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Ok); });
    RunSheet();
    winsim::RegistryValue value;
    ASSERT_TRUE(winsim::RegistryGetValue(L"HKLM\\" KESTROVE_SETTINGS_KEY, L"AttemptCountResetTimeout", &value));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ(3 * sizeof(WCHAR), value.data.size());  // "10" created from the default
}

TEST_F(SaveSettingsTest, AnEmptyCountIsSavedEmptyAndReadAsZero) {
    CreateKeys();
    Then([] {
        Retype(Page(Active(), 0), IDC_FAILS_BEFORE_BLOCK, L"");
        winsim::PressSheetButton(Active(), winsim::SheetButton::Apply);
        EXPECT_EQ(0, g_settings.AuthenticationFailsBeforeBlock);
        winsim::PressSheetButton(Active(), winsim::SheetButton::Cancel);
    });
    RunSheet();
    EXPECT_TRUE(testsupport::RegistryValueExists(KESTROVE_SETTINGS_KEY, L"AuthenticationFailsBeforeBlock"));
    EXPECT_EQ(L"", Main(L"AuthenticationFailsBeforeBlock"));
}

TEST_F(SaveSettingsTest, ThreeHundredTypedCharactersAreSavedAs255) {
    CreateKeys();
    std::wstring typed;
    for (int i = 0; i < 300; ++i) typed.push_back(static_cast<wchar_t>(L'a' + i % 26));
    Then([] { winsim::SelectTab(Active(), 1); });
    Then([typed] {
        EXPECT_TRUE(winsim::TypeText(GetDlgItem(Page(Active(), 1), IDC_SMTP_SERVER), typed));
        EXPECT_EQ(typed, TextOf(Page(Active(), 1), IDC_SMTP_SERVER));
        winsim::PressSheetButton(Active(), winsim::SheetButton::Ok);
    });
    RunSheet();
    EXPECT_EQ(typed.substr(0, 255), Smtp(L"Server Address"));
    EXPECT_EQ(std::string(typed.begin(), typed.begin() + 255), g_smtpServer);
    EXPECT_EQ(L"", Smtp(L"EmailFrom"));
}

TEST_F(SaveSettingsTest, TextIsSavedExactlyAsTyped) {
    CreateKeys();
    Then([] { winsim::SelectTab(Active(), 1); });
    Then([] {
        HWND smtp = Page(Active(), 1);
        winsim::TypeText(GetDlgItem(smtp, IDC_EMAIL_FROM), L"  not an address \u0416 ");
        winsim::TypeText(GetDlgItem(smtp, IDC_ADMIN_EMAIL), L"admin@example.org");
        winsim::PressSheetButton(Active(), winsim::SheetButton::Ok);
    });
    RunSheet();
    EXPECT_EQ(L"  not an address \u0416 ", Smtp(L"EmailFrom"));
    EXPECT_EQ(L"admin@example.org", Smtp(L"AdminEmailAddress"));
    // The reload stops at the character that has no byte.
    EXPECT_STREQ("  not an address ", g_emailFrom);
}

TEST_F(SaveSettingsTest, MainKeyMissingEndsTheProgramBeforeAnythingIsWritten) {
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Apply); });
    EXPECT_EXIT(
        {
            ReportBoxesOnStderr();
            RunSheet();
        },
        testing::ExitedWithCode(255),
        AllOf(HasSubstr("Error reading program settings from the registry.\r\n\r\nThe program will now exit.\r\n"),
              HasSubstr(SettingsErrorBox() + " [writes 0] [main ,,]")));
}

TEST_F(SaveSettingsTest, SmtpKeyMissingWritesTheMainKeyThenEndsTheProgram) {
    testsupport::CreateRegistryKey(KESTROVE_SETTINGS_KEY);
    Then([] {
        Retype(Page(Active(), 0), IDC_FAILS_BEFORE_BLOCK, L"8");
        winsim::SelectTab(Active(), 1);
    });
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Ok); });
    EXPECT_EXIT(
        {
            ReportBoxesOnStderr();
            RunSheet();
        },
        testing::ExitedWithCode(255), HasSubstr(SettingsErrorBox() + " [writes 3] [main 8,10,1]"));
}
