// winsim: terminal services API.
#pragma once
#include <windows.h>
#include <winsim/wts.h>
