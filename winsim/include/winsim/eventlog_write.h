// Event sources and ReportEventW: the Application log as tests read it back.
#pragma once
#include <winsim/types.h>
