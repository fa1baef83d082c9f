// The journal of status reports, Application-log records and events set.
#include <winsim/control.h>

#include <mutex>

#include "internal.h"

namespace {

struct JournalState {
    std::mutex mutex;
    std::vector<winsim::JournalEntry> entries;
};

JournalState& State() {
    static JournalState& state = *new JournalState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.entries.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

}  // namespace

namespace winsim::detail {

void AddToJournal(winsim::JournalEntry entry) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().entries.push_back(std::move(entry));
}

}  // namespace winsim::detail

namespace winsim {

std::vector<JournalEntry> Journal() {
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().entries;
}

}  // namespace winsim
