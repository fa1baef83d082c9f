// Security-log records laid out byte for byte as Windows writes them, and the
// key that names their source's message file. Through the Windows API only:
// the Wine tests feed the records to the watcher, the fuzz build makes its
// seeds from them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

const wchar_t kAuditingSource[] = L"Microsoft-Windows-Security-Auditing";

// What a record says; the log gives it its number.
struct SecurityRecord {
    DWORD eventId = 4625;
    WORD eventType = 0x0010;  // EVENTLOG_AUDIT_FAILURE
    WORD category = 12544;    // Logon
    DWORD time = 1700000000;  // seconds since 1970, generated and written
    std::wstring source = kAuditingSource;
    std::wstring computer = L"RDS01.corp.example";
    std::vector<std::wstring> strings;  // the insert strings, in order
    std::vector<BYTE> data;
};

inline void PutLittleEndian(std::vector<BYTE>& bytes, size_t offset, DWORD value, size_t size) {
    for (size_t i = 0; i < size; ++i) bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

inline void AppendUnit(std::vector<BYTE>& bytes, DWORD unit, size_t unitBytes) {
    bytes.resize(bytes.size() + unitBytes);
    PutLittleEndian(bytes, bytes.size() - unitBytes, unit, unitBytes);
}

// The text and its terminator in code units of unitBytes: UTF-16 (a character
// beyond U+FFFF as its surrogate pair) for 2, one unit a character for 4.
inline void AppendRecordText(std::vector<BYTE>& bytes, const std::wstring& text, size_t unitBytes) {
    for (wchar_t c : text) {
        DWORD code = static_cast<DWORD>(c);
        if (unitBytes == 2 && code > 0xFFFF) {
            AppendUnit(bytes, 0xD800 + ((code - 0x10000) >> 10), 2);
            AppendUnit(bytes, 0xDC00 + ((code - 0x10000) & 0x3FF), 2);
        } else {
            AppendUnit(bytes, code, unitBytes);
        }
    }
    AppendUnit(bytes, 0, unitBytes);
}

inline void PadToDword(std::vector<BYTE>& bytes) { bytes.resize((bytes.size() + 3) / 4 * 4, 0); }

// The record as ReadEventLogW returns it: the 56-byte fixed part, the source
// and computer names, padding to a DWORD boundary (where a user SID would
// go; these records carry none), the insert strings at StringOffset, the data,
// padding and the trailing Length. RecordNumber is left 0 for the log to
// write. Windows writes 2-byte code units; on the host the watcher reads
// sizeof(WCHAR), 4, so the host's fuzz seeds ask for that.
inline std::vector<BYTE> SecurityRecordBytes(const SecurityRecord& record, size_t unitBytes = 2) {
    std::vector<BYTE> bytes(56, 0);
    AppendRecordText(bytes, record.source, unitBytes);
    AppendRecordText(bytes, record.computer, unitBytes);
    PadToDword(bytes);
    DWORD sidOffset = static_cast<DWORD>(bytes.size());
    for (const std::wstring& text : record.strings) AppendRecordText(bytes, text, unitBytes);
    DWORD dataOffset = static_cast<DWORD>(bytes.size());
    bytes.insert(bytes.end(), record.data.begin(), record.data.end());
    PadToDword(bytes);
    DWORD length = static_cast<DWORD>(bytes.size() + 4);
    bytes.resize(length);
    auto put = [&bytes](size_t offset, DWORD value, size_t size) { PutLittleEndian(bytes, offset, value, size); };
    put(0, length, 4);
    put(4, 0x654C664C, 4);  // Reserved: "LfLe"
    put(12, record.time, 4);  // TimeGenerated
    put(16, record.time, 4);  // TimeWritten
    put(20, record.eventId, 4);
    put(24, record.eventType, 2);
    put(26, static_cast<DWORD>(record.strings.size()), 2);  // NumStrings
    put(28, record.category, 2);
    put(36, sidOffset, 4);  // StringOffset: no SID comes before the strings
    put(44, sidOffset, 4);  // UserSidOffset, with UserSidLength 0 at 40
    put(48, static_cast<DWORD>(record.data.size()), 4);
    put(52, dataOffset, 4);
    put(length - 4, length, 4);
    return bytes;
}

// Names the message file of a Security-log source, as the event log service's key holds it.
inline void RegisterSecuritySource(const std::wstring& source, const std::wstring& messageFile) {
    std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security\\" + source;
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, path.c_str(), &key) != ERROR_SUCCESS) return;
    RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(messageFile.c_str()),
                   static_cast<DWORD>((messageFile.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

}  // namespace testsupport
