// Test controls of event logs as the watcher reads them.
#pragma once
#include <windows.h>
