// Test controls of COM and the firewall policy.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Failures are injected with winsim::FailCall by the names "CoInitializeEx",
// "CoCreateInstance", "SysAllocString", "VariantClear" and "<Interface>::<method>",
// e.g. "INetFwPolicy2::get_Rules", "INetFwRules::Add", "INetFwRule::put_Name",
// "IEnumVARIANT::Next", "IEnumVARIANT::QueryInterface" (the enumerator asked for
// IEnumVARIANT), "INetFwRule::QueryInterface" (an enumerated item asked for INetFwRule).

namespace winsim {

// One firewall rule with every property, as the policy keeps it.
struct FirewallRule {
    std::wstring name;
    std::wstring description;
    std::wstring applicationName;
    std::wstring serviceName;
    LONG protocol = 256;  // NET_FW_IP_PROTOCOL_ANY
    std::wstring localPorts;
    std::wstring remotePorts;
    std::wstring localAddresses = L"*";
    std::wstring remoteAddresses = L"*";
    std::wstring icmpTypesAndCodes;
    int direction = 1;  // NET_FW_RULE_DIR_IN
    std::wstring interfaceTypes = L"All";
    bool enabled = false;
    std::wstring grouping;
    LONG profiles = 0x7fffffff;  // NET_FW_PROFILE2_ALL
    bool edgeTraversal = false;
    int action = 1;  // NET_FW_ACTION_ALLOW
};

// Puts a rule into the policy as it is, as if an administrator or another
// program had added it (remote addresses are kept exactly as given).
void PreloadFirewallRule(const FirewallRule& rule);
// The policy's rules in the order they were added.
std::vector<FirewallRule> FirewallRules();

// A property call (get_ or put_) on a rule object, and the COINIT_ mode of
// the apartment it was made in.
struct RuleCall {
    std::string method;  // as FailCall names it, e.g. "INetFwRule::put_Name"
    DWORD apartment;     // COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED
};
// The property calls on any rule object since the last Reset, in order, the
// refused ones included (but not those made without COM, which never reach a rule).
std::vector<RuleCall> FirewallRuleCalls();

// COM objects of winsim's firewall that are still referenced, and BSTRs not freed.
int LiveComObjects();
int LiveBstrs();
// COM initialisations of the calling thread not yet undone, and CoUninitialize
// calls made on any thread without a matching initialisation.
int ComInitCount();
int UnbalancedCoUninitializeCalls();

}  // namespace winsim
