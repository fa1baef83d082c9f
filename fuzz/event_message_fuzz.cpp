// libFuzzer target: arbitrary UTF-16 text as the rendered text of a failed
// logon, through the logon-type reader and the tracker, twice, so that an
// address the tracker accepts reaches the firewall (winsim's) at threshold 2;
// no mail is sent.
#include <windows.h>
#include <winsim/control.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/settings.h"
#include "service/message_render.h"
#include "service/tracker.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The console lines of every input would drown the fuzzer's own output.
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    winsim::Reset();
    SetDefaultSettings();
    g_settings.AuthenticationFailsBeforeBlock = 2;
    g_settings.EmailNotifyOnBlock = 0;

    // Little-endian UTF-16 code units, as the event log renders them.
    std::vector<WCHAR> text(size / 2 + 1, L'\0');
    for (size_t i = 0; i + 1 < size; i += 2) text[i / 2] = static_cast<WCHAR>(data[i] | (data[i + 1] << 8));

    for (int failure = 0; failure < 2; ++failure) {
        GetLogonTypeFromEventMessage(text.data());
        KestroveProcessEventMessage(text.data());
    }

    std::free(RDPKestrove_Current_Block_Info);
    RDPKestrove_Current_Block_Info = nullptr;
    g_blockInfoCount = 0;
    return 0;
}
