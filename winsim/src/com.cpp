// The COM library: per-thread apartments, class creation, BSTR and VARIANT.
#include <winsim/control.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

#include "com_internal.h"
#include "internal.h"

extern "C" {
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IEnumVARIANT = {0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

namespace {

using winsim::detail::InjectedFailure;

// The calling thread's apartment: how often it was initialised and in which mode.
struct Apartment {
    int initCount = 0;
    DWORD mode = 0;
};
thread_local Apartment t_apartment;

std::atomic<int> g_liveObjects{0};
std::atomic<int> g_liveBstrs{0};
std::atomic<int> g_unbalancedUninitialize{0};

// Released objects, newest last; the oldest are freed for good beyond the bound.
struct Graveyard {
    static constexpr size_t kBound = 4096;
    std::mutex mutex;
    std::deque<std::unique_ptr<winsim::detail::ComBase>> objects;
};

Graveyard& Buried() {
    static Graveyard& graveyard = *new Graveyard;  // never destroyed: threads may outlive main
    return graveyard;
}

bool g_hooked = (winsim::detail::OnReset([] {
                     t_apartment = Apartment{};
                     g_liveObjects = 0;
                     g_liveBstrs = 0;
                     g_unbalancedUninitialize = 0;
                     std::lock_guard<std::mutex> lock(Buried().mutex);
                     Buried().objects.clear();
                 }),
                 true);

// BSTR layout: a DWORD byte count, the characters, a terminating NUL.
DWORD* BstrHeader(BSTR text) { return reinterpret_cast<DWORD*>(text) - 1; }

}  // namespace

namespace winsim::detail {

bool ThreadApartment(DWORD* mode) {
    *mode = t_apartment.mode;
    return t_apartment.initCount > 0;
}

void ComObjectCreated() { ++g_liveObjects; }

void ComObjectReleased(ComBase* object) {
    --g_liveObjects;
    std::lock_guard<std::mutex> lock(Buried().mutex);
    Buried().objects.emplace_back(object);
    if (Buried().objects.size() > Graveyard::kBound) Buried().objects.pop_front();
}

void ComMisuse(const char* call, const char* what) {
    std::fprintf(stderr, "winsim: %s %s\n", call, what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace winsim::detail

namespace winsim {

int LiveComObjects() { return g_liveObjects; }
int LiveBstrs() { return g_liveBstrs; }
int ComInitCount() { return t_apartment.initCount; }
int UnbalancedCoUninitializeCalls() { return g_unbalancedUninitialize; }

}  // namespace winsim

extern "C" {

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    unsigned long code = 0;
    if (InjectedFailure("CoInitializeEx", &code)) return static_cast<HRESULT>(code);
    if (pvReserved) return E_INVALIDARG;
    const DWORD mode = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_apartment.initCount > 0) {
        if (t_apartment.mode != mode) return RPC_E_CHANGED_MODE;
        ++t_apartment.initCount;
        return S_FALSE;
    }
    t_apartment.initCount = 1;
    t_apartment.mode = mode;
    return S_OK;
}

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize(void) {
    unsigned long code = 0;
    InjectedFailure("CoUninitialize", &code);  // counted only: it has no result
    if (t_apartment.initCount == 0) {
        ++g_unbalancedUninitialize;
        return;
    }
    --t_apartment.initCount;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    unsigned long code = 0;
    if (InjectedFailure("CoCreateInstance", &code)) return static_cast<HRESULT>(code);
    if (t_apartment.initCount == 0) return CO_E_NOTINITIALIZED;
    if (pUnkOuter) winsim::detail::Unimplemented("CoCreateInstance", "aggregation");
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    return winsim::detail::CreateComObject(rclsid, riid, ppv);
}

BSTR SysAllocString(const OLECHAR* psz) {
    unsigned long code = 0;
    if (InjectedFailure("SysAllocString", &code) || !psz) return nullptr;
    const size_t length = std::wcslen(psz);
    DWORD* block = static_cast<DWORD*>(std::malloc(sizeof(DWORD) + (length + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    block[0] = static_cast<DWORD>(length * sizeof(OLECHAR));
    BSTR text = reinterpret_cast<BSTR>(block + 1);
    std::memcpy(text, psz, (length + 1) * sizeof(OLECHAR));
    ++g_liveBstrs;
    return text;
}

void SysFreeString(BSTR bstrString) {
    if (!bstrString) return;
    --g_liveBstrs;
    std::free(BstrHeader(bstrString));
}

UINT SysStringLen(BSTR pbstr) { return pbstr ? *BstrHeader(pbstr) / sizeof(OLECHAR) : 0; }

void VariantInit(VARIANTARG* pvarg) {
    std::memset(pvarg, 0, sizeof(*pvarg));
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    unsigned long code = 0;
    if (InjectedFailure("VariantClear", &code)) return static_cast<HRESULT>(code);
    switch (pvarg->vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I4:
    case VT_BOOL:
        break;
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        break;
    case VT_DISPATCH:
        if (pvarg->pdispVal) pvarg->pdispVal->Release();
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        break;
    default:
        winsim::detail::Unimplemented("VariantClear", "variant type");
    }
    VariantInit(pvarg);
    return S_OK;
}

}  // extern "C"
