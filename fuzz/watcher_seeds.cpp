// Writes the seeds of the watcher's fuzz target into the folder it is given:
// records from the helper that lays them out as Windows writes them (the Wine
// tests feed it the same way), here in the host's code units, which the
// watcher reads on the host. Each is the target's raw form: a first byte of 0,
// then the record without its trailing Length, which the log adds.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "security_log_host.h"

namespace {

testsupport::SecurityRecord FailedLogonRecord(const std::wstring& address, int logonType) {
    winsim::EventLogEntry entry = testsupport::FailedLogon(address, logonType);
    testsupport::SecurityRecord record;
    record.computer = entry.computer;
    record.strings = entry.strings;
    return record;
}

bool Write(const std::string& folder, const char* name, const testsupport::SecurityRecord& record,
           WORD countedStrings = 0) {
    std::vector<BYTE> bytes = testsupport::SecurityRecordBytes(record, sizeof(WCHAR));
    if (countedStrings) testsupport::PutLittleEndian(bytes, offsetof(EVENTLOGRECORD, NumStrings), countedStrings, 2);
    bytes.resize(bytes.size() - sizeof(DWORD));
    bytes.insert(bytes.begin(), 0);
    FILE* file = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: watcher_seeds FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    testsupport::SecurityRecord remote = FailedLogonRecord(L"203.0.113.50", 10);
    remote.strings[13] = L"ATTACKER\r\n\tSource Network Address:\t192.0.2.99";  // a label of the attacker's
    testsupport::SecurityRecord longestSource = FailedLogonRecord(L"198.51.100.10", 10);
    longestSource.source = std::wstring(254, L's');
    testsupport::SecurityRecord tooLongSource = longestSource;
    tooLongSource.source += L"s";
    testsupport::SecurityRecord counted = FailedLogonRecord(L"198.51.100.11", 10);
    bool written = Write(folder, "remote_logon", remote) &&
                   Write(folder, "network_logon", FailedLogonRecord(L"203.0.113.51", 3)) &&
                   Write(folder, "source_254", longestSource) && Write(folder, "source_255", tooLongSource) &&
                   Write(folder, "strings_counted_beyond", counted, static_cast<WORD>(counted.strings.size() + 3));
    return written ? 0 : 1;
}
