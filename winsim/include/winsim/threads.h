// Threads, events, waits and Sleep over winsim's test clock.
#pragma once
#include <winsim/types.h>
