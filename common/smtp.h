// The SMTP notification sender: one plain SMTP dialogue per call, port 25.
#pragma once
#include <windows.h>

// Receives log lines of the dialogue: narrow text and the number of its bytes
// to show (less than the buffer's size); the text may be cut at that length.
typedef int (*SmtpLogSink)(char* text, int length);

// mode "admin": the block notice for blockedAddress to g_adminEmailAddress;
// mode "TEST": the test message to recipient, shown in message boxes and logged
// to logSink. Returns 1 when the dialogue ran to QUIT, 0 when it ended early.
int SendSmtpMail(const char* mode, const char* recipient, const char* blockedAddress, SmtpLogSink logSink);
