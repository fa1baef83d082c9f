// Local time and date formatting.
#pragma once
#include <winsim/types.h>
