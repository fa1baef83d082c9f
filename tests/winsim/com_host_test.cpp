// winsim's firewall policy: rule defaults, the normal form of remote addresses,
// enumeration, reference counts and injected failures.
#include <gtest/gtest.h>
#include <netfw.h>
#include <winsim/control.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

// The out-pointer's target of a call that may abort, and what the abort finds
// in it: a released object must stop before it writes anything.
void* g_out = nullptr;

void TellWhetherOutWasWritten(int) {
    std::fputs(g_out == &g_out ? "out-pointer untouched\n" : "out-pointer written\n", stderr);
}

// Runs call on an out-pointer whose target holds a mark of its own.
template <class Call>
void WatchingOut(Call call) {
    g_out = &g_out;
    std::signal(SIGABRT, TellWhetherOutWasWritten);
    call(&g_out);
}

class WinsimFirewallTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    void TearDown() override {
        CoUninitialize();
        EXPECT_EQ(0, winsim::LiveComObjects());
        EXPECT_EQ(0, winsim::LiveBstrs());
    }

    static INetFwRule* NewRule() {
        INetFwRule* rule = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwRule,
                                         reinterpret_cast<void**>(&rule)));
        return rule;
    }

    // put_RemoteAddresses, then what get_RemoteAddresses reads back.
    static std::wstring Normalised(const wchar_t* addresses, HRESULT* hr) {
        INetFwRule* rule = NewRule();
        BSTR text = SysAllocString(addresses);
        *hr = rule->put_RemoteAddresses(text);
        SysFreeString(text);
        BSTR read = nullptr;
        EXPECT_EQ(S_OK, rule->get_RemoteAddresses(&read));
        std::wstring result(read, SysStringLen(read));
        SysFreeString(read);
        rule->Release();
        return result;
    }
};

TEST_F(WinsimFirewallTest, NewRuleHasTheFirewallDefaults) {
    INetFwRule* rule = NewRule();
    LONG protocol = 0, profiles = 0;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_MAX;
    NET_FW_ACTION action = NET_FW_ACTION_MAX;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    EXPECT_EQ(S_OK, rule->get_Protocol(&protocol));
    EXPECT_EQ(S_OK, rule->get_Profiles(&profiles));
    EXPECT_EQ(S_OK, rule->get_Direction(&direction));
    EXPECT_EQ(S_OK, rule->get_Action(&action));
    EXPECT_EQ(S_OK, rule->get_Enabled(&enabled));
    EXPECT_EQ(NET_FW_IP_PROTOCOL_ANY, protocol);
    EXPECT_EQ(NET_FW_PROFILE2_ALL, profiles);
    EXPECT_EQ(NET_FW_RULE_DIR_IN, direction);
    EXPECT_EQ(NET_FW_ACTION_ALLOW, action);
    EXPECT_EQ(VARIANT_FALSE, enabled);
    rule->Release();
}

TEST_F(WinsimFirewallTest, RemoteAddressesTakeTheNormalForm) {
    struct Case {
        const wchar_t* given;
        const wchar_t* read;
    };
    for (const Case& c : {Case{L"10.1.2.3", L"10.1.2.3/255.255.255.255"},
                          Case{L"10.1.2.0/24", L"10.1.2.0/255.255.255.0"},
                          Case{L"10.0.0.0/9", L"10.0.0.0/255.128.0.0"},
                          Case{L"10.1.2.3,10.1.2.4", L"10.1.2.3/255.255.255.255,10.1.2.4/255.255.255.255"},
                          Case{L"10.1.2.1-10.1.2.9", L"10.1.2.1-10.1.2.9"}, Case{L"*", L"*"},
                          Case{L"LocalSubnet", L"LocalSubnet"}, Case{L"fe80::1", L"fe80::1"}}) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(c.read, Normalised(c.given, &hr));
        EXPECT_EQ(S_OK, hr);
    }
}

TEST_F(WinsimFirewallTest, InvalidRemoteAddressesAreRefusedAndLeaveTheOldValue) {
    for (const wchar_t* given : {L"", L"rdp.example.org", L"10.1.2.300", L"10.1.2.3/33", L"*,10.1.2.3"}) {
        HRESULT hr = S_OK;
        EXPECT_EQ(L"*", Normalised(given, &hr));
        EXPECT_EQ(E_INVALIDARG, hr);
    }
}

TEST_F(WinsimFirewallTest, AddedAndPreloadedRulesAreEnumeratedInOrder) {
    winsim::FirewallRule preloaded;
    preloaded.name = L"Preloaded";
    preloaded.remoteAddresses = L"10.9.9.9";
    winsim::PreloadFirewallRule(preloaded);

    INetFwPolicy2* policy = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2,
                                     reinterpret_cast<void**>(&policy)));
    INetFwRules* rules = nullptr;
    ASSERT_EQ(S_OK, policy->get_Rules(&rules));
    INetFwRule* rule = NewRule();
    BSTR name = SysAllocString(L"Added");
    rule->put_Name(name);
    EXPECT_EQ(S_OK, rules->Add(rule));
    LONG count = 0;
    EXPECT_EQ(S_OK, rules->get_Count(&count));
    EXPECT_EQ(2, count);

    IUnknown* unknown = nullptr;
    IEnumVARIANT* enumerator = nullptr;
    ASSERT_EQ(S_OK, rules->get__NewEnum(&unknown));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&enumerator)));
    std::wstring names;
    VARIANT item;
    VariantInit(&item);
    ULONG fetched = 0;
    while (enumerator->Next(1, &item, &fetched) == S_OK) {
        EXPECT_EQ(VT_DISPATCH, item.vt);
        INetFwRule* listed = nullptr;
        ASSERT_EQ(S_OK, item.pdispVal->QueryInterface(IID_INetFwRule, reinterpret_cast<void**>(&listed)));
        BSTR listedName = nullptr;
        listed->get_Name(&listedName);
        names += std::wstring(listedName) + L";";
        SysFreeString(listedName);
        listed->Release();
        VariantClear(&item);
    }
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(L"Preloaded;Added;", names);
    EXPECT_EQ(L"10.9.9.9", winsim::FirewallRules()[0].remoteAddresses);  // preloaded as given

    enumerator->Release();
    unknown->Release();
    SysFreeString(name);
    rule->Release();
    rules->Release();
    EXPECT_GT(winsim::LiveComObjects(), 0);
    policy->Release();
}

TEST_F(WinsimFirewallTest, RuleWithoutNameIsNotAdded) {
    INetFwPolicy2* policy = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2,
                                     reinterpret_cast<void**>(&policy)));
    INetFwRules* rules = nullptr;
    policy->get_Rules(&rules);
    INetFwRule* rule = NewRule();
    EXPECT_EQ(E_INVALIDARG, rules->Add(rule));
    EXPECT_TRUE(winsim::FirewallRules().empty());
    rule->Release();
    rules->Release();
    policy->Release();
}

TEST_F(WinsimFirewallTest, InjectedFailuresReturnTheirCode) {
    INetFwPolicy2* policy = nullptr;
    winsim::FailCall("CoCreateInstance", E_ACCESSDENIED);
    EXPECT_EQ(E_ACCESSDENIED, CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2,
                                               reinterpret_cast<void**>(&policy)));
    EXPECT_EQ(nullptr, policy);
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2,
                                     reinterpret_cast<void**>(&policy)));
    INetFwRules* rules = nullptr;
    winsim::FailCall("INetFwPolicy2::get_Rules", 0x800706BA);
    EXPECT_EQ(static_cast<HRESULT>(0x800706BA), policy->get_Rules(&rules));
    LONG profiles = 0;
    winsim::FailCall("INetFwPolicy2::get_CurrentProfileTypes", E_FAIL);
    EXPECT_EQ(E_FAIL, policy->get_CurrentProfileTypes(&profiles));
    EXPECT_EQ(S_OK, policy->get_CurrentProfileTypes(&profiles));
    policy->Release();
}

// On Windows a stale pointer reads freed memory; winsim names the call instead,
// before it looks at the arguments.
TEST_F(WinsimFirewallTest, CallsAfterTheLastReleaseAbortNamingTheMethod) {
    INetFwPolicy2* policy = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2,
                                     reinterpret_cast<void**>(&policy)));
    INetFwRules* rules = nullptr;
    ASSERT_EQ(S_OK, policy->get_Rules(&rules));
    INetFwRules* releasedRules = nullptr;
    ASSERT_EQ(S_OK, policy->get_Rules(&releasedRules));
    EXPECT_EQ(0u, releasedRules->Release());
    INetFwRule* rule = NewRule();
    EXPECT_EQ(0u, rule->Release());
    EXPECT_DEATH(rule->get_Protocol(nullptr), "winsim: INetFwRule::get_Protocol after the object's last Release");
    EXPECT_DEATH(WatchingOut([rule](void** out) { rule->QueryInterface(IID_IUnknown, out); }),
                 "winsim: INetFwRule::QueryInterface after the object's last Release\nout-pointer untouched");
    EXPECT_DEATH(WatchingOut([releasedRules](void** out) {
                     releasedRules->get__NewEnum(reinterpret_cast<IUnknown**>(out));
                 }),
                 "winsim: INetFwRules::get__NewEnum after the object's last Release\nout-pointer untouched");
    winsim::FailCall("INetFwRules::Add", E_ACCESSDENIED);  // a refusal that must not come first
    EXPECT_DEATH(rules->Add(rule), "winsim: INetFwRules::Add given a rule after its last Release");
    EXPECT_DEATH(rule->AddRef(), "winsim: INetFwRule::AddRef past zero");
    EXPECT_DEATH(rule->Release(), "winsim: INetFwRule::Release past zero");
    rules->Release();
    EXPECT_EQ(0u, policy->Release());
    EXPECT_DEATH(WatchingOut([policy](void** out) { policy->get_Rules(reinterpret_cast<INetFwRules**>(out)); }),
                 "winsim: INetFwPolicy2::get_Rules after the object's last Release\nout-pointer untouched");
}

// The thread's last CoUninitialize unloads the objects' DLL on Windows.
TEST_F(WinsimFirewallTest, ObjectsRefuseCallsAfterTheLastCoUninitialize) {
    INetFwRule* rule = NewRule();
    CoUninitialize();
    LONG protocol = 0;
    EXPECT_EQ(CO_E_NOTINITIALIZED, rule->get_Protocol(&protocol));
    IUnknown* unknown = nullptr;
    EXPECT_EQ(CO_E_NOTINITIALIZED, rule->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_DEATH(rule->Release(), "winsim: INetFwRule::Release after the thread's last CoUninitialize");
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    EXPECT_TRUE(winsim::FirewallRuleCalls().empty());
    rule->Release();
}

TEST_F(WinsimFirewallTest, UnknownClassIsNotRegistered) {
    const CLSID other = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    IUnknown* object = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)));
}

}  // namespace
