// Service control manager: registrations and an in-process dispatcher.
#pragma once
#include <winsim/types.h>
