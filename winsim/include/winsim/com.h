// COM basics: initialisation, class creation, BSTR and VARIANT.
#pragma once
#include <winsim/types.h>
