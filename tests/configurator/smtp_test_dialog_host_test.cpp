// The SMTP test dialog against the scripted SMTP peer on loopback: the
// recipient check, the logged dialogue, the results, and which settings it uses.
#include <cstring>
#include <string>
#include <vector>

#include "configurator/smtp_test_dialog.h"
#include "configurator_ui_host.h"
#include "smtp_messages.h"
#include "smtp_peer_host.h"

using testsupport::ConfiguratorUiTest;
using testsupport::Loopback;
using testsupport::SmtpPeer;
using testsupport::SmtpScript;

namespace {

class SmtpTestDialogTest : public ConfiguratorUiTest {
protected:
    void SetUp() override {
        ConfiguratorUiTest::SetUp();
        std::strcpy(g_emailFrom, testsupport::kSmtpTestSender);
    }
    static INT_PTR RunDialog() {
        return DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_SMTP_TEST), nullptr, SmtpTestDlgProc, 0);
    }
    static HWND Recipient() { return GetDlgItem(Active(), IDC_TEST_RECIPIENT); }
    static std::wstring LogBox() { return TextOf(Active(), IDC_TEST_LOG); }
    // Types the recipient and presses Send; the log box is read while the
    // last box of the dialogue is shown, before the dialog closes.
    static void SendTo(const std::wstring& recipient, std::wstring* log) {
        Then([recipient, log] {
            winsim::TypeText(Recipient(), recipient);
            HWND dialog = Active();
            winsim::OnMessageBox([dialog, log](const winsim::MessageBoxRecord&) { *log = TextOf(dialog, IDC_TEST_LOG); });
            winsim::ClickDlgButton(dialog, IDOK);
        });
    }
    static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
};

std::string ReceivedRecipientLine(SmtpPeer& peer) {
    std::string received = peer.Received();
    size_t start = received.find("RCPT TO:");
    return start == std::string::npos ? "" : received.substr(start, received.find("\r\n", start) - start);
}

}  // namespace

TEST_F(SmtpTestDialogTest, OpensEmptyWithTheFocusInTheRecipientBox) {
    for (int round = 0; round < 2; ++round) {
        Then([] {
            HWND dialog = Active();
            EXPECT_EQ(L"SMTP Test Message", winsim::WindowText(dialog));
            EXPECT_EQ(dialog, g_hTestDlg);
            EXPECT_EQ(Recipient(), GetFocus());
            EXPECT_EQ(L"", TextOf(dialog, IDC_TEST_RECIPIENT));
            EXPECT_EQ(L"", LogBox());
            winsim::TypeText(Recipient(), L"left behind");
            SendMessageW(GetDlgItem(dialog, IDC_TEST_LOG), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"x"));
            winsim::ClickDlgButton(dialog, IDCANCEL);
        });
        EXPECT_EQ(2, RunDialog());
    }
}

TEST_F(SmtpTestDialogTest, EscapeAndTheCloseBoxCancelToo) {
    Then([] { EXPECT_TRUE(winsim::PressEscape(Recipient())); });
    EXPECT_EQ(2, RunDialog());
    Then([] { EXPECT_TRUE(winsim::PressCloseBox(Active())); });
    EXPECT_EQ(2, RunDialog());
}

TEST_F(SmtpTestDialogTest, AnEmptyRecipientOrOneWithoutBytesIsRefusedAndTheDialogStays) {
    std::strcpy(g_smtpServer, Loopback("3.2").c_str());
    SmtpPeer peer(Loopback("3.2"), SmtpScript::Normal);
    Then([] { winsim::ClickDlgButton(Active(), IDOK); });
    Then([] {
        EXPECT_EQ(L"", TextOf(Active(), IDC_TEST_RECIPIENT));
        EXPECT_EQ(L"", LogBox());
        winsim::TypeText(Recipient(), L"\u0416@example.org");
        winsim::PressEnter(Recipient());
    });
    Then([] {
        EXPECT_EQ(L"\u0416@example.org", TextOf(Active(), IDC_TEST_RECIPIENT));
        winsim::ClickDlgButton(Active(), IDCANCEL);
    });
    EXPECT_EQ(2, RunDialog());
    std::vector<winsim::MessageBoxRecord> boxes = winsim::MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    for (const winsim::MessageBoxRecord& box : boxes) {
        EXPECT_EQ(g_hTestDlg, box.owner);
        EXPECT_EQ(L"E-mail address provided is not a valid recipient.", box.text);
        EXPECT_EQ(L"SMTP Error", box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), box.type);
        EXPECT_FALSE(box.narrow);
    }
    EXPECT_EQ(0, winsim::CallCount("WSAStartup"));
    EXPECT_EQ(0, peer.Connections());
}

TEST_F(SmtpTestDialogTest, SendLogsTheDialogueInOrderAndEndsWithOne) {
    std::strcpy(g_smtpServer, Loopback("3.3").c_str());
    SmtpPeer peer(Loopback("3.3"), SmtpScript::Normal);
    std::wstring log;
    SendTo(L"someone@example.net", &log);
    EXPECT_EQ(1, RunDialog());
    ASSERT_TRUE(peer.WaitForClientClose());
    std::vector<std::string> replies = testsupport::SmtpScriptReplies(SmtpScript::Normal);
    std::string expected = "Initializing winsock()...\r\nConnecting to " + Loopback("3.3") + " ...\r\nHELO THERE\r\n" +
                           replies[1] + "MAIL FROM: <kestrove@example.org>\r\n" + replies[2] +
                           "RCPT TO: <someone@example.net>\r\n" + replies[3] + "DATA\r\n" + replies[4] +
                           "Priority: Urgent\r\nImportance: high\r\nFrom: kestrove@example.org\r\n";
    EXPECT_EQ(Wide(expected), log);
    std::vector<winsim::MessageBoxRecord> boxes = winsim::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"E-mail Information", boxes[0].caption);
    EXPECT_EQ(nullptr, boxes[0].owner);
    EXPECT_EQ("RCPT TO: <someone@example.net>", ReceivedRecipientLine(peer));
}

TEST_F(SmtpTestDialogTest, RecipientsGoOutUnchangedUpTo255Characters) {
    std::strcpy(g_smtpServer, Loopback("3.4").c_str());
    SmtpPeer peer(Loopback("3.4"), SmtpScript::Normal);
    std::wstring log;
    SendTo(L"   ", &log);
    EXPECT_EQ(1, RunDialog());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ("RCPT TO: <   >", ReceivedRecipientLine(peer));

    SmtpPeer accented(Loopback("3.5"), SmtpScript::Normal);
    std::strcpy(g_smtpServer, Loopback("3.5").c_str());
    SendTo(L"caf\u00e9\u00ff" + std::wstring(295, L'x'), &log);  // U+00FF: the last character with a byte
    EXPECT_EQ(1, RunDialog());
    ASSERT_TRUE(accented.WaitForClientClose());
    EXPECT_EQ("RCPT TO: <caf\xe9\xff" + std::string(250, 'x') + ">", ReceivedRecipientLine(accented));
}

TEST_F(SmtpTestDialogTest, AFailedConnectionShowsTwoLinesAndTheErrorBoxAndStillEndsWithOne) {
    std::strcpy(g_smtpServer, Loopback("3.6").c_str());  // nothing listens there
    std::wstring log;
    SendTo(L"someone@example.net", &log);
    EXPECT_EQ(1, RunDialog());
    EXPECT_EQ(Wide("Initializing winsock()...\r\nConnecting to " + Loopback("3.6") + " ...\r\n"), log);
    std::vector<winsim::MessageBoxRecord> boxes = winsim::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"E-mail Error", boxes[0].caption);
}

TEST_F(SmtpTestDialogTest, TheTestUsesTheLoadedServerUntilApplySavesTheTypedOne) {
    CreateKeys();
    SetSmtp(L"Server Address", Wide(Loopback("3.7")));
    SetSmtp(L"EmailFrom", L"kestrove@example.org");
    SmtpPeer loaded(Loopback("3.7"), SmtpScript::Normal);
    SmtpPeer typed(Loopback("3.8"), SmtpScript::Normal);
    Then([] { winsim::SelectTab(Active(), 1); });
    Then([] {
        Retype(Page(Active(), 1), IDC_SMTP_SERVER, Wide(Loopback("3.8")));
        winsim::ClickDlgButton(Page(Active(), 1), IDC_SMTP_TEST);
    });
    Then([] {
        winsim::TypeText(Recipient(), L"first@example.net");
        winsim::PressEnter(Recipient());
    });
    Then([] {
        winsim::PressSheetButton(Active(), winsim::SheetButton::Apply);
        winsim::ClickDlgButton(Page(Active(), 1), IDC_SMTP_TEST);
    });
    Then([] {
        winsim::TypeText(Recipient(), L"second@example.net");
        winsim::ClickDlgButton(Active(), IDOK);
    });
    Then([] { winsim::PressSheetButton(Active(), winsim::SheetButton::Cancel); });
    EXPECT_EQ(1, RunSheet());
    ASSERT_TRUE(loaded.WaitForClientClose());
    ASSERT_TRUE(typed.WaitForClientClose());
    EXPECT_EQ("RCPT TO: <first@example.net>", ReceivedRecipientLine(loaded));
    EXPECT_EQ("RCPT TO: <second@example.net>", ReceivedRecipientLine(typed));
    EXPECT_EQ(1, loaded.Connections());
    EXPECT_EQ(1, typed.Connections());
}
