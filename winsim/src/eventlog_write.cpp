// Event sources and the Application log that ReportEventW writes to.
#include <winsim/control.h>

#include <map>
#include <memory>
#include <mutex>

#include "internal.h"

namespace {

struct EventSource {
    std::wstring name;
};

struct AppLogState {
    std::mutex mutex;
    std::map<HANDLE, std::unique_ptr<EventSource>> sources;
    std::vector<winsim::ReportedEvent> records;
};

AppLogState& AppLog() {
    static AppLogState& state = *new AppLogState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.sources.clear();
                              state.records.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

}  // namespace

extern "C" {

HANDLE RegisterEventSourceW(LPCWSTR server, LPCWSTR source) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("RegisterEventSourceW", &code)) {
        SetLastError(code);
        return nullptr;
    }
    if (server && *server) winsim::detail::Unimplemented("RegisterEventSourceW", "remote computers");
    if (!source || !*source) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto entry = std::make_unique<EventSource>(EventSource{source});
    HANDLE handle = entry.get();
    AppLogState& log = AppLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.sources[handle] = std::move(entry);
    return handle;
}

BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid, WORD numStrings,
                  DWORD dataSize, LPCWSTR* strings, LPVOID rawData) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("ReportEventW", &code)) {
        SetLastError(code);
        return FALSE;
    }
    AppLogState& log = AppLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    auto source = log.sources.find(eventLog);
    if (source == log.sources.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((numStrings && !strings) || (dataSize && !rawData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    winsim::ReportedEvent record{source->second->name, type, category, eventId, userSid != nullptr, {}, {}};
    for (WORD i = 0; i < numStrings; ++i) {
        if (!strings[i]) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        record.strings.push_back(strings[i]);
    }
    const BYTE* data = static_cast<const BYTE*>(rawData);
    record.data.assign(data, data + (rawData ? dataSize : 0));
    log.records.push_back(std::move(record));
    winsim::detail::AddToJournal(winsim::JournalEntry{"ReportEventW", {}, eventId, nullptr});
    return TRUE;
}

BOOL DeregisterEventSource(HANDLE eventLog) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("DeregisterEventSource", &code)) {
        SetLastError(code);
        return FALSE;
    }
    AppLogState& log = AppLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    if (log.sources.erase(eventLog) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"

namespace winsim {

std::vector<ReportedEvent> ApplicationLog() {
    std::lock_guard<std::mutex> lock(AppLog().mutex);
    return AppLog().records;
}

int OpenEventSources() {
    std::lock_guard<std::mutex> lock(AppLog().mutex);
    return static_cast<int>(AppLog().sources.size());
}

}  // namespace winsim
