// Windows Firewall policy behind INetFwPolicy2, INetFwRules and INetFwRule.
#pragma once
#include <winsim/types.h>
