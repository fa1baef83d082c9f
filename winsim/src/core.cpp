// winsim's core: failure injection, call counts, reset hooks, last error, local heap.
#include <winsim/control.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "internal.h"

// A host program target links a definition naming its resource image; tests
// set it with winsim::SetModuleImage.
extern "C" __attribute__((weak)) const char winsim_module_image[] = "";

namespace winsim::detail {
namespace {

struct Injection {
    unsigned long code;
    int remaining;  // calls to let through before failing
    bool persistent;
};

struct CoreState {
    std::mutex mutex;
    std::map<std::string, int> callCounts;
    std::map<std::string, Injection> injections;
    std::string moduleImage = winsim_module_image;
};

// Never destroyed: threads still running at exit (as a service's workers do)
// keep calling in, as they would until ExitProcess on Windows.
CoreState& Core() {
    static CoreState& state = *new CoreState;
    return state;
}

std::vector<std::function<void()>>& ResetHooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}

thread_local DWORD t_lastError = 0;

// Each Reset stands for a new process of the program under test.
std::atomic<unsigned long> g_process{1};
// The process of a thread that winsim started; 0 for any other thread.
thread_local unsigned long t_process = 0;

}  // namespace

bool FromAnEarlierProcess() { return t_process != 0 && t_process != g_process.load(); }

// A thread that winsim started before a Reset stops at its next call, as
// ExitProcess would have ended it, so that nothing of one test runs on into the next.
void EndIfFromAnEarlierProcess() {
    if (!FromAnEarlierProcess()) return;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void StartThread(std::function<void()> body) {
    unsigned long process = g_process.load();
    std::thread([process, body = std::move(body)] {
        t_process = process;
        body();
    }).detach();
}

bool InjectedFailure(const char* function, unsigned long* code) {
    EndIfFromAnEarlierProcess();
    CoreState& core = Core();
    std::lock_guard<std::mutex> lock(core.mutex);
    ++core.callCounts[function];
    auto found = core.injections.find(function);
    if (found == core.injections.end()) return false;
    Injection& injection = found->second;
    if (injection.remaining > 0) {
        --injection.remaining;
        return false;
    }
    *code = injection.code;
    if (!injection.persistent) core.injections.erase(found);
    return true;
}

void OnReset(std::function<void()> clear) { ResetHooks().push_back(std::move(clear)); }

void Unimplemented(const char* function, const char* detail) {
    std::fprintf(stderr, "winsim: %s is not implemented for this use (%s)\n", function, detail);
    std::abort();
}

std::wstring LowerCase(const std::wstring& text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) { return LowerCase(a) == LowerCase(b); }

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide.push_back(static_cast<wchar_t>(c));
    return wide;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) narrow.push_back(static_cast<unsigned>(c) <= 0xFF ? static_cast<char>(c) : '?');
    return narrow;
}

const std::string& ModuleImagePath() { return Core().moduleImage; }

HINSTANCE MainModule() {
    static int self;
    return reinterpret_cast<HINSTANCE>(&self);
}

}  // namespace winsim::detail

namespace winsim {

void Reset() {
    ++detail::g_process;
    {
        detail::CoreState& core = detail::Core();
        std::lock_guard<std::mutex> lock(core.mutex);
        core.callCounts.clear();
        core.injections.clear();
        core.moduleImage = winsim_module_image;
    }
    for (auto& clear : detail::ResetHooks()) clear();
    detail::t_lastError = 0;
}

void FailCall(const char* function, unsigned long error, int nth, bool persistent) {
    detail::CoreState& core = detail::Core();
    std::lock_guard<std::mutex> lock(core.mutex);
    core.injections[function] = detail::Injection{error, nth > 1 ? nth - 1 : 0, persistent};
}

int CallCount(const char* function) {
    detail::CoreState& core = detail::Core();
    std::lock_guard<std::mutex> lock(core.mutex);
    auto found = core.callCounts.find(function);
    return found == core.callCounts.end() ? 0 : found->second;
}

void SetModuleImage(const std::string& path) {
    detail::CoreState& core = detail::Core();
    std::lock_guard<std::mutex> lock(core.mutex);
    core.moduleImage = path;
}

}  // namespace winsim

extern "C" {

DWORD GetLastError(void) { return winsim::detail::t_lastError; }

void SetLastError(DWORD error) { winsim::detail::t_lastError = error; }

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("LocalAlloc", &code)) {
        SetLastError(code);
        return nullptr;
    }
    void* block = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

HLOCAL LocalFree(HLOCAL mem) {
    std::free(mem);
    return nullptr;
}

}  // extern "C"
