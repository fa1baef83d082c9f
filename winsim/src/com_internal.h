// What winsim's COM library and its firewall classes share.
#pragma once
#include <windows.h>
#include <netfw.h>

namespace winsim::detail {

// The calling thread's apartment: false when COM is not initialised on it,
// else its COINIT_ mode goes to *mode.
bool ThreadApartment(DWORD* mode);

// The part of every winsim COM object that outlives its last Release.
class ComBase {
public:
    virtual ~ComBase() = default;
};

// Counts winsim COM objects alive, for the reference-count checks of tests.
// A released object is kept (not freed) until Reset, so that a call through a
// stale pointer still reaches it and aborts naming the call instead of reading
// freed memory.
void ComObjectCreated();
void ComObjectReleased(ComBase* object);

// A call that Windows would answer with a crash: names it ("Interface::method") and aborts.
[[noreturn]] void ComMisuse(const char* call, const char* what);

// Creates an object of one of winsim's classes and hands the caller the
// interface riid of it; REGDB_E_CLASSNOTREG for any other class.
HRESULT CreateComObject(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace winsim::detail
