// winsim: the Windows API as the host build sees it. Program code includes
// <windows.h> on every build; only the host build finds this one first.
#pragma once
#include <winsim/types.h>
#include <winsim/errors.h>
#include <winsim/base.h>
#include <winsim/registry.h>
#include <winsim/messagebox.h>
#include <winsim/module.h>
#include <winsim/eventlog_write.h>
#include <winsim/eventlog_read.h>
#include <winsim/datetime.h>
#include <winsim/threads.h>
#include <winsim/service.h>
#include <winsim/user.h>
