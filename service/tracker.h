// The in-memory table of failed remote logons per source address.
#pragma once
#include <windows.h>

#include <stddef.h>

struct BlockInfo {
    char ipAddress[16];  // NUL-terminated dotted IPv4 address
    int attemptCount;
};

extern BlockInfo* RDPKestrove_Current_Block_Info;
extern int g_blockInfoCount;

// How the table grows: realloc, unless a test puts a failing one in its place.
extern void* (*g_blockInfoRealloc)(void* block, size_t bytes);

// Counts the source address of one rendered failed-logon text and blocks it at
// the threshold. Only a canonical dotted IPv4 address is tracked. Always returns 0.
int KestroveProcessEventMessage(LPCWSTR pMessage);
