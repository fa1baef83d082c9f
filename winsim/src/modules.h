// Module images behind module handles, shared by the module and message code.
#pragma once
#include <windows.h>
#include <winsim/pe_image.h>

#include <memory>

namespace winsim::detail {

// The image of a module: NULL or MainModule() is the program's own image (null
// when it has none or it cannot be read), a data-file handle its file. *known
// is false for a handle that winsim never gave out or that was freed.
std::shared_ptr<const pe::Image> ModuleResources(HMODULE module, bool* known);

}  // namespace winsim::detail
