// Winsock names mapped onto BSD sockets.
#pragma once
#include <winsim/types.h>
