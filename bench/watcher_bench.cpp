// Failed-logon records per second through DumpNewRecords to the tracker, with
// tables of different sizes (the threshold is out of reach: no firewall, no mail).
#include <benchmark/benchmark.h>
#include <winsim/control.h>

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/settings.h"
#include "security_log_host.h"
#include "service/tracker.h"
#include "service/watcher.h"

namespace {

const int kBatch = 1000;

std::string TrackedAddress(int index) {
    return "10." + std::to_string(index / 65536 % 256) + "." + std::to_string(index / 256 % 256) + "." +
           std::to_string(index % 256);
}

// Fills the table with `count` addresses, each seen once.
void FillTable(int count) {
    std::free(RDPKestrove_Current_Block_Info);
    RDPKestrove_Current_Block_Info = static_cast<BlockInfo*>(std::calloc(count, sizeof(BlockInfo)));
    for (int i = 0; i < count; ++i) {
        std::snprintf(RDPKestrove_Current_Block_Info[i].ipAddress, sizeof(BlockInfo::ipAddress), "%s",
                      TrackedAddress(i).c_str());
        RDPKestrove_Current_Block_Info[i].attemptCount = 1;
    }
    g_blockInfoCount = count;
}

// Sends the watcher's console lines to /dev/null while it lives; the
// benchmark's own report goes to the console afterwards.
class QuietConsole {
public:
    QuietConsole() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietConsole() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }

private:
    int saved_;
};

void FailedLogonsThroughDump(benchmark::State& state) {
    const int tracked = static_cast<int>(state.range(0));
    winsim::Reset();
    std::string dll = KESTROVE_BENCH_MESSAGES_DLL;
    testsupport::RegisterSecuritySource(testsupport::kAuditingSource, std::wstring(dll.begin(), dll.end()));
    SetDefaultSettings();
    g_settings.AuthenticationFailsBeforeBlock = INT_MAX;
    FillTable(tracked);
    // The records of one batch come from tracked addresses spread over the table.
    std::vector<winsim::EventLogEntry> batch;
    for (int i = 0; i < kBatch; ++i) {
        std::string address = TrackedAddress(static_cast<int>((static_cast<long long>(i) * tracked) / kBatch));
        batch.push_back(testsupport::FailedLogon(std::wstring(address.begin(), address.end()), 10));
    }
    testsupport::AppendFailedLogon(L"192.0.2.1", 10);
    HANDLE log = OpenEventLogW(nullptr, L"Security");
    QuietConsole quiet;
    if (SeekToLastRecord(log) != 0) state.SkipWithError("the Security log cannot be read");
    for (auto _ : state) {
        state.PauseTiming();
        winsim::DiscardOldestEventLogRecords(L"Security", kBatch);
        for (const winsim::EventLogEntry& entry : batch) winsim::AppendEventLogRecord(L"Security", entry);
        state.ResumeTiming();
        if (DumpNewRecords(log, L"Security") != 0) state.SkipWithError("a read failed");
    }
    CloseEventLog(log);
    state.SetItemsProcessed(state.iterations() * kBatch);
    if (g_blockInfoCount != tracked) state.SkipWithError("a record was not counted as a tracked address");
}

}  // namespace

BENCHMARK(FailedLogonsThroughDump)->Arg(1)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
