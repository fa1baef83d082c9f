// Test controls of the further winsim areas, one header each.
#pragma once
#include <winsim/control_threads.h>
#include <winsim/control_messagebox.h>
#include <winsim/control_module.h>
#include <winsim/control_eventlog_write.h>
#include <winsim/control_datetime.h>
#include <winsim/control_eventlog_read.h>
#include <winsim/control_service.h>
#include <winsim/control_user.h>
#include <winsim/control_winsock.h>
#include <winsim/control_com.h>
#include <winsim/control_journal.h>
