// Module file names, data-file libraries, message tables and FormatMessageW.
#pragma once
#include <winsim/types.h>
