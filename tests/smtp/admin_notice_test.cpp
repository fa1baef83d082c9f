// Sends one admin notice through Wine's Winsock to the host's SMTP peer; the
// peer itself checks the bytes (see smtp.cmake).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "common/settings.h"
#include "common/smtp.h"
#include "smtp_messages.h"

namespace {

TEST(AdminNoticeTest, SendsOneNoticeToThePeer) {
    std::strcpy(g_smtpServer, KESTROVE_SMTP_PEER_ADDRESS);
    std::strcpy(g_emailFrom, testsupport::kSmtpTestSender);
    std::strcpy(g_adminEmailAddress, testsupport::kSmtpTestAdmin);
    EXPECT_EQ(1, SendSmtpMail("admin", nullptr, "10.1.2.3", nullptr));
}

}  // namespace
