// What winsim's COM library and its firewall classes share.
#pragma once
#include <windows.h>
#include <netfw.h>

namespace winsim::detail {

// Counts winsim COM objects alive, for the reference-count checks of tests.
void ComObjectCreated();
void ComObjectDestroyed();

// Creates an object of one of winsim's classes and hands the caller the
// interface riid of it; REGDB_E_CLASSNOTREG for any other class.
HRESULT CreateComObject(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace winsim::detail
