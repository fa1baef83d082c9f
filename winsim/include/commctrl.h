// winsim: common controls and property sheets.
#pragma once
#include <windows.h>
#include <winsim/user.h>
