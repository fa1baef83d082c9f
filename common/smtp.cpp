// The SMTP notification sender: one plain SMTP dialogue per call on port 25.
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "settings.h"
#include "smtp.h"

// Bound of the connect, of each send and of each receive, so that a server
// that accepts and never answers can't hold the service's worker for ever.
static const DWORD kSmtpTimeoutMilliseconds = 30000;

// Size of the line buffer and of the reply buffer.
#define SMTP_BUFFER_SIZE 1024

static const char kHeaderText[] = "Priority: Urgent\r\nImportance: high\r\n";
static const char kAdminSubject[] = "Mirdal RDP Kestrove Notification";
static const char kTestSubject[] = "Mirdal RDP Kestrove Notification Test";
static const char kAdminBody[] = "Mirdal RDP Kestrove has blocked the following IP address: %s";
static const char kTestBody[] =
    "Mirdal RDP Kestrove Notification test message.  This is to confirm valid server settings.###";

// Hands count bytes of text to the sink; a failed or empty transfer shows nothing.
static void LogText(SmtpLogSink logSink, char* text, int count) {
    if (logSink != NULL && count > 0) logSink(text, count);
}

// One send of the text's full length; what it returns only goes to the log.
static int SendText(SOCKET s, const char* text) { return send(s, text, (int)strlen(text), 0); }

static void SendLogged(SOCKET s, char* text, SmtpLogSink logSink) { LogText(logSink, text, SendText(s, text)); }

// One receive into reply, ended with a NUL; 0 when it failed, timed out or
// filled the buffer, which ends the dialogue. A closed connection gives an
// empty reply and the dialogue goes on.
static int ReceiveReply(SOCKET s, char* reply, SmtpLogSink logSink) {
    int count = recv(s, reply, SMTP_BUFFER_SIZE, 0);
    if (count == SOCKET_ERROR || count >= SMTP_BUFFER_SIZE) return 0;
    reply[count] = '\0';
    LogText(logSink, reply, count);
    return 1;
}

// The reply to RCPT TO is read but never ends the dialogue.
static void ReceiveUnexamined(SOCKET s, char* reply, SmtpLogSink logSink) {
    int count = recv(s, reply, SMTP_BUFFER_SIZE, 0);
    if (count == SOCKET_ERROR) return;
    if (count >= SMTP_BUFFER_SIZE) count = SMTP_BUFFER_SIZE - 1;
    reply[count] = '\0';
    LogText(logSink, reply, count);
}

// The server's address from g_smtpServer: dotted text as it is, else the
// first address its name resolves to. 0 when the name does not resolve.
static int ResolveServer(struct in_addr* address) {
    ULONG dotted = inet_addr(g_smtpServer);
    if (dotted != INADDR_NONE) {
        printf("inet_addr...");
        address->s_addr = dotted;
        return 1;
    }
    printf("...INADDR_NONE...gethostbyname()...");
    struct hostent* host = gethostbyname(g_smtpServer);
    if (host == NULL || host->h_addr_list[0] == NULL) return 0;
    memcpy(address, host->h_addr_list[0], sizeof(*address));
    return 1;
}

// Connects within the time-out (Winsock's connect has none of its own), then
// bounds each later send and receive.
static int ConnectBounded(SOCKET s, struct in_addr address) {
    struct sockaddr_in server;
    memset(&server, 0, sizeof(server));
    server.sin_family = AF_INET;
    server.sin_port = htons(25);
    server.sin_addr = address;

    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) return 0;
    int connected = connect(s, (struct sockaddr*)&server, sizeof(server)) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_SET(s, &writable);
        FD_ZERO(&failed);
        FD_SET(s, &failed);
        struct timeval limit;
        limit.tv_sec = kSmtpTimeoutMilliseconds / 1000;
        limit.tv_usec = 0;
        // A failed attempt is reported in the exception set, success as writable.
        connected = select(0, NULL, &writable, &failed, &limit) == 1 && FD_ISSET(s, &writable);
    }
    u_long blocking = 0;
    if (!connected || ioctlsocket(s, FIONBIO, &blocking) == SOCKET_ERROR) return 0;

    DWORD timeout = kSmtpTimeoutMilliseconds;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof(timeout));
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, (const char*)&timeout, sizeof(timeout));
    return 1;
}

// How a dialogue ended, which decides what mode "TEST" shows.
enum DialogueEnd { kDialogueEndedEarly, kConnectionFailed, kDialogueComplete };

// Resolves and connects; a failure is told on the console.
static int OpenConnection(SOCKET s, SmtpLogSink logSink, char* line) {
    struct in_addr address;
    int resolved = ResolveServer(&address);

    printf("Connecting to %s ...\n", g_smtpServer);
    snprintf(line, SMTP_BUFFER_SIZE, "Connecting to %s ...\r\n", g_smtpServer);
    LogText(logSink, line, (int)strlen(line));

    if (resolved && ConnectBounded(s, address)) return 1;
    printf("Connection to server <%s> failed.\r\n", g_smtpServer);
    return 0;
}

// HELO, MAIL FROM, RCPT TO and DATA, each with its reply; 0 when an examined
// receive ended the dialogue.
static int SendEnvelope(SOCKET s, const char* recipient, SmtpLogSink logSink, char* line, char* reply) {
    if (!ReceiveReply(s, reply, NULL)) return 0;

    snprintf(line, SMTP_BUFFER_SIZE, "HELO THERE\r\n");
    SendLogged(s, line, logSink);
    if (!ReceiveReply(s, reply, logSink)) return 0;

    snprintf(line, SMTP_BUFFER_SIZE, "MAIL FROM: <%s>\r\n", g_emailFrom);
    printf("%s\n", line);
    SendLogged(s, line, logSink);
    if (!ReceiveReply(s, reply, logSink)) return 0;

    snprintf(line, SMTP_BUFFER_SIZE, "RCPT TO: <%s>\r\n", recipient);
    SendLogged(s, line, logSink);
    ReceiveUnexamined(s, reply, logSink);

    snprintf(line, SMTP_BUFFER_SIZE, "DATA\r\n");
    printf("%s\n", line);
    SendLogged(s, line, logSink);
    return ReceiveReply(s, reply, logSink);
}

// The headers, the body and the end of data with its reply; 0 when that
// receive ended the dialogue.
static int SendContent(SOCKET s, const char* subject, const char* body, SmtpLogSink logSink, char* line,
                       char* reply) {
    snprintf(line, SMTP_BUFFER_SIZE, "%s", kHeaderText);
    printf("%s\r\n", line);
    SendLogged(s, line, logSink);

    snprintf(line, SMTP_BUFFER_SIZE, "From: %s\r\n", g_emailFrom);
    printf("%s\r\n", line);
    SendLogged(s, line, logSink);

    snprintf(line, SMTP_BUFFER_SIZE, "To: %s\r\n", "Undisclosed Recipients");
    printf("%s\r\n", line);
    SendText(s, line);

    snprintf(line, SMTP_BUFFER_SIZE, "Subject: %s\r\n\r\n", subject);
    printf("%s\r\n", line);
    SendText(s, line);

    SendText(s, body);

    snprintf(line, SMTP_BUFFER_SIZE, "\r\n.\r\n");
    printf("%s\n", line);
    SendText(s, line);
    return ReceiveReply(s, reply, NULL);
}

// The dialogue on a fresh socket, up to QUIT or to its early end.
static DialogueEnd RunDialogue(SOCKET s, int testMode, const char* recipient, const char* blockedAddress,
                               SmtpLogSink logSink) {
    char line[SMTP_BUFFER_SIZE];
    char reply[SMTP_BUFFER_SIZE];
    char body[SMTP_BUFFER_SIZE];

    if (!OpenConnection(s, logSink, line)) return kConnectionFailed;

    if (testMode) {
        snprintf(body, sizeof(body), "%s", kTestBody);
    } else {
        snprintf(body, sizeof(body), kAdminBody, blockedAddress);
    }
    if (!SendEnvelope(s, recipient, logSink, line, reply) ||
        !SendContent(s, testMode ? kTestSubject : kAdminSubject, body, logSink, line, reply)) {
        return kDialogueEndedEarly;
    }

    snprintf(line, SMTP_BUFFER_SIZE, "QUIT\n");
    printf("%s\n", line);
    SendText(s, line);
    return kDialogueComplete;
}

int SendSmtpMail(const char* mode, const char* recipient, const char* blockedAddress, SmtpLogSink logSink) {
    int testMode = strcmp(mode, "TEST") == 0;
    if (!testMode) logSink = NULL;
    const char* rcptAddress = testMode ? recipient : g_adminEmailAddress;
    if (rcptAddress == NULL) rcptAddress = "";
    if (blockedAddress == NULL) blockedAddress = "";

    char line[SMTP_BUFFER_SIZE];
    printf("In SMTP section...");
    printf("Initializing winsock()...");
    snprintf(line, sizeof(line), "Initializing winsock()...\r\n");
    LogText(logSink, line, (int)strlen(line));

    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 0), &wsaData);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        printf("Error Creating Socket\r\n");
        WSACleanup();
        return 0;
    }
    DialogueEnd end = RunDialogue(s, testMode, rcptAddress, blockedAddress, logSink);
    closesocket(s);

    if (testMode && end == kConnectionFailed) {
        MessageBoxW(NULL, L"Connection to e-mail server failed.  Check your settings and try again.",
                    L"E-mail Error", MB_ICONHAND);
    }
    if (testMode && end == kDialogueComplete) {
        MessageBoxA(NULL, "Connection to e-mail server succeeded!  Test e-mail sent.", "E-mail Information",
                    MB_ICONINFORMATION);
    }
    WSACleanup();
    return end == kDialogueComplete ? 1 : 0;
}
