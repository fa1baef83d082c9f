// Reading event logs: OpenEventLogW, ReadEventLogW, change notification.
#pragma once
#include <winsim/types.h>
