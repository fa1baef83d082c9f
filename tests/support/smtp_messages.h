// The settings the SMTP tests send with, and the bytes of the admin notice
// they expect on the wire (on the host and under Wine alike).
#pragma once

namespace testsupport {

constexpr char kSmtpTestSender[] = "kestrove@example.org";
constexpr char kSmtpTestAdmin[] = "admin@example.org";

// Everything the client sends for the notice about 10.1.2.3, greeting to QUIT.
constexpr char kAdminNoticeFor10_1_2_3[] =
    "HELO THERE\r\n"
    "MAIL FROM: <kestrove@example.org>\r\n"
    "RCPT TO: <admin@example.org>\r\n"
    "DATA\r\n"
    "Priority: Urgent\r\n"
    "Importance: high\r\n"
    "From: kestrove@example.org\r\n"
    "To: Undisclosed Recipients\r\n"
    "Subject: Mirdal RDP Kestrove Notification\r\n"
    "\r\n"
    "Mirdal RDP Kestrove has blocked the following IP address: 10.1.2.3"
    "\r\n.\r\n"
    "QUIT\n";

}  // namespace testsupport
