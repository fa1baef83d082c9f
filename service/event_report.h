// Application-log records of the service under its own event source.
#pragma once
#include <windows.h>

#define KESTROVE_EVENT_SOURCE L"Mirdal Software - RDP Kestrove"

// Event IDs of the records (the message IDs of their texts).
#define KESTROVE_EVENT_STARTED 3
#define KESTROVE_EVENT_STOPPED 4
#define KESTROVE_EVENT_BLOCKED 5
#define KESTROVE_EVENT_BLOCK_FAILED 6

// Creates or refreshes the event source key and its four values.
void RegisterEventSourceKey(void);

// Writes one record (category 0) after refreshing the key.
void ReportServiceEvent(DWORD eventId, LPCWSTR* insertStrings, WORD insertCount, WORD eventType);
