// Windows Firewall: looking for a tracked address's rule and adding its block rule.
#include <windows.h>
#include <initguid.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include <stdio.h>
#include <wchar.h>

#include "../common/settings.h"
#include "../common/smtp.h"
#include "event_report.h"
#include "firewall.h"
#include "tracker.h"

static const WCHAR kRuleName[] = L"Mirdal Software - RDP Kestrove";

// Text for printf: a null BSTR stands for the empty string.
static const WCHAR* TextOf(BSTR text) { return text ? text : L""; }

// Prints the rule's name and tells whether its remote addresses read exactly
// the match text. A rule whose name or addresses can't be read does not match.
static int RuleMatches(INetFwRule* rule, const WCHAR* matchText) {
    BSTR name = NULL;
    BSTR remoteAddresses = NULL;
    int match = 0;
    if (SUCCEEDED(rule->get_Name(&name))) {
        printf("Found rule for %ls\r\n", TextOf(name));
        if (SUCCEEDED(rule->get_RemoteAddresses(&remoteAddresses))) {
            printf("Comparing %ls with %ls...\r\n", matchText, TextOf(remoteAddresses));
            if (wcscmp(matchText, TextOf(remoteAddresses)) == 0) {
                printf("Found a match for IP in existing rules.\r\n");
                match = 1;
            }
        }
    }
    SysFreeString(name);
    SysFreeString(remoteAddresses);
    return match;
}

// Walks the enumerator's rules until one matches (1), the rules end or a rule
// can't be reached (0).
static int WalkRules(IEnumVARIANT* enumerator, int index) {
    WCHAR matchText[32];
    wsprintfW(matchText, L"%S/255.255.255.255", RDPKestrove_Current_Block_Info[index].ipAddress);
    for (;;) {
        VARIANT item;
        VariantInit(&item);
        ULONG fetched = 0;
        if (enumerator->Next(1, &item, &fetched) != S_OK) {
            VariantClear(&item);
            return 0;
        }
        INetFwRule* rule = NULL;
        int reached = item.vt == VT_DISPATCH && item.pdispVal &&
                      SUCCEEDED(item.pdispVal->QueryInterface(IID_INetFwRule, (void**)&rule));
        int match = reached && RuleMatches(rule, matchText);
        if (rule) rule->Release();
        VariantClear(&item);
        if (match || !reached) return match;
    }
}

// Counts the rules and walks them; 0 on every failure.
static int SearchRules(INetFwPolicy2* policy, int index) {
    INetFwRules* rules = NULL;
    IUnknown* enumObject = NULL;
    IEnumVARIANT* enumerator = NULL;
    LONG count = 0;
    int result = 0;
    HRESULT hr = policy->get_Rules(&rules);
    if (FAILED(hr)) {
        printf("get_Rules failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else if (FAILED(hr = rules->get_Count(&count))) {
        printf("get_Count failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else {
        printf("The number of rules in the Windows Firewall are %d\n", (int)count);
        if (SUCCEEDED(rules->get__NewEnum(&enumObject)) && enumObject &&
            SUCCEEDED(enumObject->QueryInterface(IID_IEnumVARIANT, (void**)&enumerator))) {
            result = WalkRules(enumerator, index);
        }
    }
    if (enumerator) enumerator->Release();
    if (enumObject) enumObject->Release();
    if (rules) rules->Release();
    return result;
}

int FirewallRuleExists(int index) {
    HRESULT hrInit = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    if (FAILED(hrInit) && hrInit != RPC_E_CHANGED_MODE) {
        printf("CoInitializeEx failed: 0x%08lx\n", (unsigned long)(DWORD)hrInit);
        return 0;
    }
    INetFwPolicy2* policy = NULL;
    int result = 0;
    HRESULT hr = CoCreateInstance(CLSID_NetFwPolicy2, NULL, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2, (void**)&policy);
    if (FAILED(hr)) {
        printf("CoCreateInstance for INetFwPolicy2 failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else {
        result = SearchRules(policy, index);
        policy->Release();
    }
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return result;
}

// The failure record: the refusal's code text, then the address.
static void ReportBlockFailure(HRESULT hr, const WCHAR* address) {
    WCHAR codeText[16];
    wsprintfW(codeText, L"0x%08lx\n", (DWORD)hr);
    LPCWSTR inserts[2] = {codeText, address};
    ReportServiceEvent(KESTROVE_EVENT_BLOCK_FAILED, inserts, 2, EVENTLOG_INFORMATION_TYPE);
}

// The block record, then the notice mail when it is switched on.
static void ReportBlock(const WCHAR* address, int index) {
    LPCWSTR inserts[1] = {address};
    ReportServiceEvent(KESTROVE_EVENT_BLOCKED, inserts, 1, EVENTLOG_INFORMATION_TYPE);
    if (g_settings.EmailNotifyOnBlock != 0) {
        SendSmtpMail("admin", NULL, RDPKestrove_Current_Block_Info[index].ipAddress, NULL);
    }
}

// Sets the nine properties in order, stopping at the first one refused, whose
// method name goes to *property. A new rule allows every address, and a rule
// left disabled would later be taken for the block, so a rule missing any of
// them must never go in.
static HRESULT SetRuleProperties(INetFwRule* rule, BSTR name, BSTR group, BSTR description, BSTR remoteAddresses,
                                 const char** property) {
    HRESULT hr;
    if (FAILED(hr = rule->put_Name(name))) {
        *property = "put_Name";
    } else if (FAILED(hr = rule->put_Protocol(NET_FW_IP_PROTOCOL_TCP))) {
        *property = "put_Protocol";
    } else if (FAILED(hr = rule->put_Direction(NET_FW_RULE_DIR_IN))) {
        *property = "put_Direction";
    } else if (FAILED(hr = rule->put_Grouping(group))) {
        *property = "put_Grouping";
    } else if (FAILED(hr = rule->put_Profiles(NET_FW_PROFILE2_DOMAIN | NET_FW_PROFILE2_PRIVATE |
                                              NET_FW_PROFILE2_PUBLIC))) {
        *property = "put_Profiles";
    } else if (FAILED(hr = rule->put_Action(NET_FW_ACTION_BLOCK))) {
        *property = "put_Action";
    } else if (FAILED(hr = rule->put_Enabled(VARIANT_TRUE))) {
        *property = "put_Enabled";
    } else if (FAILED(hr = rule->put_Description(description))) {
        *property = "put_Description";
    } else if (FAILED(hr = remoteAddresses ? rule->put_RemoteAddresses(remoteAddresses) : E_OUTOFMEMORY)) {
        *property = "put_RemoteAddresses";
    }
    return hr;
}

// Builds the rule and adds it; a rule the firewall can't be given in full is
// reported as a refusal.
static void AddBlockRule(INetFwRules* rules, INetFwRule* rule, BSTR name, BSTR group, const WCHAR* date, int index) {
    const char* ipAddress = RDPKestrove_Current_Block_Info[index].ipAddress;
    WCHAR address[16];
    WCHAR text[600];
    wsprintfW(address, L"%S", ipAddress);
    if (date) {
        wsprintfW(text, L"%S blocked on %s", ipAddress, date);
    } else {
        wsprintfW(text, L"%S blocked", ipAddress);
    }
    BSTR description = SysAllocString(text);
    BSTR remoteAddresses = SysAllocString(address);
    const char* property = NULL;
    HRESULT hr = SetRuleProperties(rule, name, group, description, remoteAddresses, &property);
    if (FAILED(hr)) {
        printf("%s failed: 0x%08lx\n", property, (unsigned long)(DWORD)hr);
        ReportBlockFailure(hr, address);
    } else {
        hr = rules->Add(rule);
        printf("Added rule %ls\r\n", TextOf(name));
        if (FAILED(hr)) {
            printf("Firewall Rule Add failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
            ReportBlockFailure(hr, address);
        } else {
            ReportBlock(address, index);
        }
    }
    SysFreeString(description);
    SysFreeString(remoteAddresses);
}

int AddFirewallRule(int index) {
    SYSTEMTIME now;
    WCHAR date[512];
    GetLocalTime(&now);
    int haveDate = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &now, NULL, date, 512) != 0;
    BSTR name = SysAllocString(kRuleName);
    BSTR group = SysAllocString(kRuleName);
    // On the worker thread this always succeeds; elsewhere a changed mode must
    // not be answered with a CoUninitialize that undoes the thread's own.
    HRESULT hrInit = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    INetFwPolicy2* policy = NULL;
    INetFwRules* rules = NULL;
    INetFwRule* rule = NULL;
    LONG profiles = 0;
    HRESULT hr = CoCreateInstance(CLSID_NetFwPolicy2, NULL, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2, (void**)&policy);
    if (FAILED(hr)) {
        printf("CoCreateInstance for INetFwPolicy2 failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else if (FAILED(hr = policy->get_Rules(&rules))) {
        printf("get_Rules failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else if (FAILED(hr = policy->get_CurrentProfileTypes(&profiles))) {
        printf("get_CurrentProfileTypes failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else if (FAILED(hr = CoCreateInstance(CLSID_NetFwRule, NULL, CLSCTX_INPROC_SERVER, IID_INetFwRule,
                                            (void**)&rule))) {
        printf("CoCreateInstance for Firewall Rule failed: 0x%08lx\n", (unsigned long)(DWORD)hr);
    } else {
        AddBlockRule(rules, rule, name, group, haveDate ? date : NULL, index);
    }
    SysFreeString(name);
    SysFreeString(group);
    if (rule) rule->Release();
    if (rules) rules->Release();
    if (policy) policy->Release();
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return 0;
}
