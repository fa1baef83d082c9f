// Failed remote logons counted per source address, and the block at the threshold.
#include "tracker.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "../common/settings.h"
#include "firewall.h"

BlockInfo* RDPKestrove_Current_Block_Info = NULL;
int g_blockInfoCount = 0;
void* (*g_blockInfoRealloc)(void* block, size_t bytes) = realloc;

static const WCHAR kAddressLabel[] = L"Source Network Address:\t";
static const int kAddressLabelLength = 24;

// The last occurrence of the label: the account, domain and workstation names
// that an attacker chooses come before the genuine address in the text.
static const WCHAR* FindLastAddressLabel(LPCWSTR message) {
    const WCHAR* last = NULL;
    for (const WCHAR* found = wcsstr(message, kAddressLabel); found; found = wcsstr(found + 1, kAddressLabel)) {
        last = found;
    }
    return last;
}

// Narrows wide text byte for character into shown (anything above U+00FF as
// '?'), cut at the buffer's size: the field is the attacker's to fill.
static void NarrowForDisplay(const WCHAR* text, int length, char* shown, int size) {
    int used = 0;
    for (; used < length && used < size - 1; ++used) shown[used] = (unsigned)text[used] <= 0xFF ? (char)text[used] : '?';
    shown[used] = '\0';
}

// Four decimal numbers 0-255 without leading zeros, joined by dots, nothing else.
static int IsDottedIpv4(const WCHAR* text, int length) {
    if (length < 7 || length > 15) return 0;
    int parts = 0;
    int i = 0;
    while (parts < 4) {
        int start = i;
        int value = 0;
        while (i < length && text[i] >= L'0' && text[i] <= L'9' && i - start < 3) value = value * 10 + (text[i++] - L'0');
        int digits = i - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == L'0')) return 0;
        ++parts;
        if (parts < 4) {
            if (i >= length || text[i] != L'.') return 0;
            ++i;
        }
    }
    return i == length;
}

// Takes the address after the last label up to the line end into address
// (16 bytes); 0 when there is none or it is no dotted IPv4 address.
static int TakeSourceAddress(LPCWSTR message, char* address) {
    const WCHAR* label = FindLastAddressLabel(message);
    const WCHAR* lineEnd = label ? wcsstr(label, L"\r\n") : NULL;
    if (!lineEnd) return 0;
    int fieldLength = (int)(lineEnd - label);
    printf("LEN: %d", fieldLength);
    const WCHAR* text = label + kAddressLabelLength;
    int length = fieldLength - kAddressLabelLength;
    char shown[256];
    NarrowForDisplay(text, length, shown, (int)sizeof(shown));
    printf("\r\n***\r\nHere's the IP: %s (strlen:%d)\r\n***\r\n", shown, length);
    if (!IsDottedIpv4(text, length)) return 0;
    for (int i = 0; i < length; ++i) address[i] = (char)text[i];
    address[length] = '\0';
    return 1;
}

static int FindRecord(const char* address) {
    for (int i = 0; i < g_blockInfoCount; ++i) {
        if (strcmp(RDPKestrove_Current_Block_Info[i].ipAddress, address) == 0) return i;
    }
    return -1;
}

// One more failure from a tracked address; at the threshold, the block rule
// unless the firewall already has one for it.
static void CountRepeatedFailure(int index) {
    BlockInfo* record = &RDPKestrove_Current_Block_Info[index];
    if (record->attemptCount < 0x7FFFFFFF) ++record->attemptCount;
    int threshold = g_settings.AuthenticationFailsBeforeBlock;
    printf("Matched previous connection attempt from %s...(count is: %d of %d)", record->ipAddress,
           record->attemptCount, threshold);
    if (record->attemptCount >= threshold) {
        printf("CHECKING IF RULE EXISTS...\r\n");
        if (FirewallRuleExists(index) != 1) AddFirewallRule(index);
    }
}

// Appends a record with count 1; 0 when the table can't grow (it stays as it was).
static int AppendRecord(const char* address) {
    BlockInfo* grown = (BlockInfo*)g_blockInfoRealloc(RDPKestrove_Current_Block_Info,
                                                      ((size_t)g_blockInfoCount + 1) * sizeof(BlockInfo));
    if (!grown) {
        printf("realloc() error on RDPKestrove_Current_Block_Info\r\n");
        return 0;
    }
    RDPKestrove_Current_Block_Info = grown;
    BlockInfo* record = &grown[g_blockInfoCount];
    memset(record, 0, sizeof(*record));
    record->attemptCount = 1;
    strcpy(record->ipAddress, address);
    printf("Added new connection attempt from %s...(count is: %d)", record->ipAddress, record->attemptCount);
    ++g_blockInfoCount;
    return 1;
}

int KestroveProcessEventMessage(LPCWSTR pMessage) {
    printf("KestroveProcessEventMessage(): Getting IP from pMessage...\r\n");
    char address[16];
    if (!TakeSourceAddress(pMessage, address)) {
        printf("The source address is no dotted IPv4 address and is not tracked.\r\n");
    } else {
        int index = FindRecord(address);
        if (index >= 0) {
            CountRepeatedFailure(index);
            return 0;
        }
        if (!AppendRecord(address)) return 0;
    }
    printf("\r\nKestroveProcessEventMessage() returning...\r\n");
    return 0;
}
