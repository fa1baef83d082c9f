// Headless windows, dialogs and property sheets for the host build.
#pragma once
#include <winsim/types.h>
