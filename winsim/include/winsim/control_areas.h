// Test controls of the further winsim areas, one header each.
#pragma once
#include <winsim/control_threads.h>
#include <winsim/control_messagebox.h>
