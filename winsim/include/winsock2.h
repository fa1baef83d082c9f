// winsim: Winsock 2.
#pragma once
#include <windows.h>
#include <winsim/winsock.h>
