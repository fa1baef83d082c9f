// WTSSendMessageW, recorded for tests instead of shown in a session.
#include <winsim/control.h>

#include <mutex>

#include "internal.h"

namespace {

struct WtsState {
    std::mutex mutex;
    std::vector<winsim::WtsMessage> messages;
};

WtsState& Wts() {
    static WtsState& state = *new WtsState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.messages.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

}  // namespace

extern "C" BOOL WTSSendMessageW(HANDLE server, DWORD sessionId, LPWSTR title, DWORD titleLength, LPWSTR message,
                                DWORD messageLength, DWORD style, DWORD timeout, DWORD* response, BOOL wait) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("WTSSendMessageW", &code)) {
        SetLastError(code);
        return FALSE;
    }
    // The lengths are byte counts; the texts are taken exactly as far as they say.
    winsim::WtsMessage record{server,
                              sessionId,
                              std::wstring(title, titleLength / sizeof(WCHAR)),
                              titleLength,
                              std::wstring(message, messageLength / sizeof(WCHAR)),
                              messageLength,
                              style,
                              timeout,
                              wait};
    {
        std::lock_guard<std::mutex> lock(Wts().mutex);
        Wts().messages.push_back(record);
    }
    if (response) *response = wait ? IDOK : 32001;  // IDASYNC when not waiting
    return TRUE;
}

namespace winsim {

const std::vector<WtsMessage>& WtsMessages() { return Wts().messages; }

}  // namespace winsim
