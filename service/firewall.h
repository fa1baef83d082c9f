// Windows Firewall block rules for tracked addresses.
#pragma once
#include <windows.h>

// 1 when some firewall rule's remote addresses read "<address>/255.255.255.255"
// for the address of table record `index`; 0 otherwise and on every failure.
int FirewallRuleExists(int index);

// Adds the inbound block rule for the address of table record `index`, records
// the outcome in the Application log and mails the notice. Always returns 0.
int AddFirewallRule(int index);
