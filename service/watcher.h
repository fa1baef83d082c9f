// The Security-log watcher: the worker thread and its record reading.
#pragma once
#include <windows.h>

DWORD WINAPI WorkerThread(LPVOID logName);
DWORD SeekToLastRecord(HANDLE eventLog);
DWORD GetLastRecordNumber(HANDLE eventLog, DWORD* newest);
DWORD ReadRecord(HANDLE eventLog, PBYTE* record, DWORD recordNumber, DWORD readFlags);
DWORD DumpNewRecords(HANDLE eventLog, LPCWSTR logName);
