// winsim: Windows Firewall COM interfaces.
#pragma once
#include <windows.h>
#include <winsim/com.h>
#include <winsim/netfw.h>
