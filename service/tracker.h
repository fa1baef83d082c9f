// The in-memory table of failed remote logons per source address.
#pragma once
#include <windows.h>

struct BlockInfo {
    char ipAddress[16];  // NUL-terminated dotted IPv4 address
    int attemptCount;
};

extern BlockInfo* RDPKestrove_Current_Block_Info;
extern int g_blockInfoCount;

// Counts the source address of one rendered failed-logon text and blocks it at
// the threshold. Always returns 0.
int KestroveProcessEventMessage(LPCWSTR pMessage);
