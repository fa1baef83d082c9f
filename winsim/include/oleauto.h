// winsim: COM library.
#pragma once
#include <windows.h>
#include <winsim/com.h>
