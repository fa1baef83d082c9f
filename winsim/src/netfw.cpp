// Windows Firewall: the policy's rule store and its COM objects (policy, rule
// collection, rule, rule enumerator).
#include <winsim/control.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "com_internal.h"
#include "internal.h"

extern "C" {
const CLSID CLSID_NetFwPolicy2 = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
const CLSID CLSID_NetFwRule = {0x2C5BC43E, 0x3369, 0x4C33, {0xAB, 0x0C, 0xBE, 0x94, 0x69, 0x67, 0x7A, 0xF4}};
const IID IID_INetFwPolicy2 = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};
const IID IID_INetFwRule = {0xAF230D27, 0xBABA, 0x4E42, {0xAC, 0xED, 0xF5, 0x24, 0xF2, 0x2C, 0xFC, 0xE2}};
const IID IID_INetFwRules = {0x9C4C6277, 0x5027, 0x441E, {0xAF, 0xAE, 0xCA, 0x1F, 0x54, 0x2D, 0xA0, 0x09}};
}

namespace {

using winsim::FirewallRule;
using winsim::detail::InjectedFailure;
using winsim::detail::Unimplemented;
using RulePtr = std::shared_ptr<FirewallRule>;

struct Policy {
    std::mutex mutex;
    std::vector<RulePtr> rules;
    std::vector<winsim::RuleCall> ruleCalls;
};

Policy& Store() {
    static Policy& policy = *new Policy;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(policy.mutex);
                              policy.rules.clear();
                              policy.ruleCalls.clear();
                          }),
                          true);
    (void)hooked;
    return policy;
}

// The injected failure of a method, as its HRESULT; S_OK when none applies.
HRESULT Injected(const char* method) {
    unsigned long code = 0;
    return InjectedFailure(method, &code) ? static_cast<HRESULT>(code) : S_OK;
}

// Reference counting, the thread's COM and the unused IDispatch part shared by every object.
template <class Interface>
class ComObject : public Interface, public winsim::detail::ComBase {
public:
    explicit ComObject(const char* interfaceName) : interface_(interfaceName) { winsim::detail::ComObjectCreated(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override {
        ULONG count = refs_;
        do {
            Check("AddRef", count);
        } while (!refs_.compare_exchange_weak(count, count + 1));
        return count + 1;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG count = refs_;
        do {
            Check("Release", count);
        } while (!refs_.compare_exchange_weak(count, count - 1));
        if (count == 1) winsim::detail::ComObjectReleased(this);
        return count - 1;
    }

    // The interface asked for, with a reference, without counting a call.
    HRESULT Cast(REFIID riid, const IID& own, bool dispatch, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == own || (dispatch && riid == IID_IDispatch)) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    // The last reference is gone.
    bool Released() const { return refs_ == 0; }

protected:
    // On Windows the thread's last CoUninitialize unloads the object's DLL:
    // winsim refuses a method called after it.
    static HRESULT Usable() {
        DWORD mode = 0;
        return winsim::detail::ThreadApartment(&mode) ? S_OK : CO_E_NOTINITIALIZED;
    }
    // On Windows a method of a released object runs on freed memory: winsim
    // stops first, before any argument is looked at.
    void Alive(const char* method) const {
        if (Released()) winsim::detail::ComMisuse(method, "after the object's last Release");
    }
    // What refuses a counted call of a live object: a missing out-pointer (not
    // counted), no COM, or an injected failure.
    static HRESULT Refusal(const char* method, bool pointersGiven) {
        if (!pointersGiven) return E_POINTER;
        const HRESULT usable = Usable();
        return FAILED(usable) ? usable : Injected(method);
    }
    // A counted call of the method, refused as Refusal says.
    HRESULT Called(const char* method, bool pointersGiven = true) const {
        Alive(method);
        return Refusal(method, pointersGiven);
    }
    // As Called, for a method that hands back an object: once the object is
    // known alive, *out is null, so that every refusal leaves it so.
    template <class T>
    HRESULT CalledFor(const char* method, T** out) const {
        Alive(method);
        if (out) *out = nullptr;
        return Refusal(method, out != nullptr);
    }
    // QueryInterface as the caller sees it: a counted call that tests can fail.
    HRESULT Answer(const char* method, REFIID riid, const IID& own, bool dispatch, void** ppv) {
        const HRESULT called = CalledFor(method, ppv);
        if (FAILED(called)) return called;
        return Cast(riid, own, dispatch, ppv);
    }

private:
    // AddRef and Release have no result to refuse with; where Windows would
    // run into freed memory or an unloaded DLL, winsim stops.
    void Check(const char* method, ULONG count) const {
        const char* misuse = count == 0         ? "past zero: the object is already released"
                             : FAILED(Usable()) ? "after the thread's last CoUninitialize"
                                                : nullptr;
        if (misuse) winsim::detail::ComMisuse((std::string(interface_) + "::" + method).c_str(), misuse);
    }

    const char* interface_;
    std::atomic<ULONG> refs_{1};
};

#define WINSIM_NOT_USED(name, params) \
    HRESULT STDMETHODCALLTYPE name params override { Unimplemented(#name, "not used by the programs"); }

#define WINSIM_DISPATCH_NOT_USED                                                                               \
    WINSIM_NOT_USED(GetTypeInfoCount, (UINT*))                                                                 \
    WINSIM_NOT_USED(GetTypeInfo, (UINT, LCID, ITypeInfo**))                                                    \
    WINSIM_NOT_USED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))                                   \
    WINSIM_NOT_USED(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

bool ParseByte(const std::wstring& text, int* value) {
    if (text.empty() || text.size() > 3) return false;
    int number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + (c - L'0');
    }
    *value = number;
    return number <= 255;
}

bool IsIpv4(const std::wstring& text) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = part < 3 ? text.find(L'.', start) : text.size();
        int value = 0;
        if (dot == std::wstring::npos || !ParseByte(text.substr(start, dot - start), &value)) return false;
        start = dot + 1;
    }
    return true;
}

std::wstring PrefixMask(int bits) {
    std::wstring mask;
    for (int part = 0; part < 4; ++part) {
        const int ones = bits >= 8 ? 8 : (bits > 0 ? bits : 0);
        bits -= ones;
        if (part) mask += L'.';
        mask += std::to_wstring((0xFF00 >> ones) & 0xFF);
    }
    return mask;
}

bool IsKeyword(const std::wstring& token) {
    for (const wchar_t* keyword : {L"LocalSubnet", L"DNS", L"DHCP", L"WINS", L"DefaultGateway"}) {
        if (winsim::detail::EqualNoCase(token, keyword)) return true;
    }
    return false;
}

// One entry of a remote address list in the firewall's normal form.
bool NormaliseAddress(const std::wstring& token, std::wstring* normal) {
    if (IsIpv4(token)) {
        *normal = token + L"/255.255.255.255";
        return true;
    }
    const size_t slash = token.find(L'/');
    if (slash != std::wstring::npos && IsIpv4(token.substr(0, slash))) {
        const std::wstring mask = token.substr(slash + 1);
        int bits = 0;
        if (IsIpv4(mask)) {
            *normal = token;
        } else if (ParseByte(mask, &bits) && bits <= 32) {
            *normal = token.substr(0, slash + 1) + PrefixMask(bits);
        } else {
            return false;
        }
        return true;
    }
    const size_t dash = token.find(L'-');
    const bool range = dash != std::wstring::npos && IsIpv4(token.substr(0, dash)) && IsIpv4(token.substr(dash + 1));
    if (range || IsKeyword(token) || token.find(L':') != std::wstring::npos) {
        *normal = token;
        return true;
    }
    return false;
}

// A comma-separated list: "*" alone, or entries each in normal form.
bool NormaliseAddresses(const std::wstring& list, std::wstring* normal) {
    if (list == L"*") {
        *normal = list;
        return true;
    }
    normal->clear();
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(L',', start);
        std::wstring entry;
        if (!NormaliseAddress(list.substr(start, comma - start), &entry)) return false;
        *normal += (normal->empty() ? L"" : L",") + entry;
        if (comma == std::wstring::npos) return true;
        start = comma + 1;
    }
}

class Rule : public ComObject<INetFwRule> {
public:
    explicit Rule(RulePtr data) : ComObject("INetFwRule"), data_(std::move(data)) {}

    // A snapshot of the rule's properties.
    FirewallRule Data() {
        std::lock_guard<std::mutex> lock(Store().mutex);
        return *data_;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Answer("INetFwRule::QueryInterface", riid, IID_INetFwRule, true, ppv);
    }
    WINSIM_DISPATCH_NOT_USED

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return GetText("INetFwRule::get_Name", &FirewallRule::name, v); }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR v) override {
        return PutText("INetFwRule::put_Name", &FirewallRule::name, v, v && *v);
    }
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* v) override {
        return GetText("INetFwRule::get_Description", &FirewallRule::description, v);
    }
    HRESULT STDMETHODCALLTYPE put_Description(BSTR v) override {
        return PutText("INetFwRule::put_Description", &FirewallRule::description, v);
    }
    WINSIM_NOT_USED(get_ApplicationName, (BSTR*))
    WINSIM_NOT_USED(put_ApplicationName, (BSTR))
    WINSIM_NOT_USED(get_ServiceName, (BSTR*))
    WINSIM_NOT_USED(put_ServiceName, (BSTR))
    HRESULT STDMETHODCALLTYPE get_Protocol(LONG* v) override {
        return GetValue("INetFwRule::get_Protocol", &FirewallRule::protocol, v);
    }
    HRESULT STDMETHODCALLTYPE put_Protocol(LONG v) override {
        return PutValue("INetFwRule::put_Protocol", &FirewallRule::protocol, v, v >= 0 && v <= NET_FW_IP_PROTOCOL_ANY);
    }
    WINSIM_NOT_USED(get_LocalPorts, (BSTR*))
    WINSIM_NOT_USED(put_LocalPorts, (BSTR))
    WINSIM_NOT_USED(get_RemotePorts, (BSTR*))
    WINSIM_NOT_USED(put_RemotePorts, (BSTR))
    WINSIM_NOT_USED(get_LocalAddresses, (BSTR*))
    WINSIM_NOT_USED(put_LocalAddresses, (BSTR))
    HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR* v) override {
        return GetText("INetFwRule::get_RemoteAddresses", &FirewallRule::remoteAddresses, v);
    }
    HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR v) override {
        std::wstring normal;
        const bool valid = v && NormaliseAddresses(v, &normal);
        return PutValue("INetFwRule::put_RemoteAddresses", &FirewallRule::remoteAddresses, normal, valid);
    }
    WINSIM_NOT_USED(get_IcmpTypesAndCodes, (BSTR*))
    WINSIM_NOT_USED(put_IcmpTypesAndCodes, (BSTR))
    HRESULT STDMETHODCALLTYPE get_Direction(NET_FW_RULE_DIRECTION* v) override {
        int value = 0;
        const HRESULT hr = GetValue("INetFwRule::get_Direction", &FirewallRule::direction, &value);
        if (SUCCEEDED(hr)) *v = static_cast<NET_FW_RULE_DIRECTION>(value);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_Direction(NET_FW_RULE_DIRECTION v) override {
        return PutValue("INetFwRule::put_Direction", &FirewallRule::direction, static_cast<int>(v),
                        v == NET_FW_RULE_DIR_IN || v == NET_FW_RULE_DIR_OUT);
    }
    WINSIM_NOT_USED(get_Interfaces, (VARIANT*))
    WINSIM_NOT_USED(put_Interfaces, (VARIANT))
    WINSIM_NOT_USED(get_InterfaceTypes, (BSTR*))
    WINSIM_NOT_USED(put_InterfaceTypes, (BSTR))
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override {
        bool value = false;
        const HRESULT hr = GetValue("INetFwRule::get_Enabled", &FirewallRule::enabled, &value);
        if (SUCCEEDED(hr)) *v = value ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL v) override {
        return PutValue("INetFwRule::put_Enabled", &FirewallRule::enabled, v != VARIANT_FALSE);
    }
    HRESULT STDMETHODCALLTYPE get_Grouping(BSTR* v) override {
        return GetText("INetFwRule::get_Grouping", &FirewallRule::grouping, v);
    }
    HRESULT STDMETHODCALLTYPE put_Grouping(BSTR v) override {
        return PutText("INetFwRule::put_Grouping", &FirewallRule::grouping, v);
    }
    HRESULT STDMETHODCALLTYPE get_Profiles(LONG* v) override {
        return GetValue("INetFwRule::get_Profiles", &FirewallRule::profiles, v);
    }
    HRESULT STDMETHODCALLTYPE put_Profiles(LONG v) override {
        return PutValue("INetFwRule::put_Profiles", &FirewallRule::profiles, v, v != 0);
    }
    WINSIM_NOT_USED(get_EdgeTraversal, (VARIANT_BOOL*))
    WINSIM_NOT_USED(put_EdgeTraversal, (VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_Action(NET_FW_ACTION* v) override {
        int value = 0;
        const HRESULT hr = GetValue("INetFwRule::get_Action", &FirewallRule::action, &value);
        if (SUCCEEDED(hr)) *v = static_cast<NET_FW_ACTION>(value);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_Action(NET_FW_ACTION v) override {
        return PutValue("INetFwRule::put_Action", &FirewallRule::action, static_cast<int>(v),
                        v == NET_FW_ACTION_BLOCK || v == NET_FW_ACTION_ALLOW);
    }

private:
    template <class T>
    void Set(T FirewallRule::*field, const T& value) {
        std::lock_guard<std::mutex> lock(Store().mutex);
        (*data_).*field = value;
    }
    // A property call goes into the journal with the caller's apartment,
    // whatever its outcome; without COM there is no apartment to call from.
    HRESULT Enter(const char* method) const {
        Alive(method);
        DWORD apartment = 0;
        if (!winsim::detail::ThreadApartment(&apartment)) return CO_E_NOTINITIALIZED;
        std::lock_guard<std::mutex> lock(Store().mutex);
        Store().ruleCalls.push_back({method, apartment});
        return S_OK;
    }
    template <class T>
    HRESULT PutValue(const char* method, T FirewallRule::*field, const T& value, bool valid = true) {
        HRESULT hr = Enter(method);
        if (SUCCEEDED(hr) && !valid) hr = E_INVALIDARG;
        if (SUCCEEDED(hr)) hr = Injected(method);
        if (SUCCEEDED(hr)) Set(field, value);
        return hr;
    }
    HRESULT PutText(const char* method, std::wstring FirewallRule::*field, BSTR value, bool valid = true) {
        return PutValue(method, field, std::wstring(value ? value : L""), valid);
    }
    template <class T>
    HRESULT GetValue(const char* method, T FirewallRule::*field, T* value) {
        HRESULT hr = Enter(method);
        if (SUCCEEDED(hr) && !value) hr = E_POINTER;
        if (SUCCEEDED(hr)) hr = Injected(method);
        if (SUCCEEDED(hr)) *value = Data().*field;
        return hr;
    }
    HRESULT GetText(const char* method, std::wstring FirewallRule::*field, BSTR* value) {
        std::wstring text;
        const HRESULT hr = GetValue(method, field, &text);
        if (FAILED(hr)) return hr;
        *value = SysAllocString(text.c_str());
        return *value ? S_OK : E_OUTOFMEMORY;
    }

    RulePtr data_;
};

class RuleEnumerator : public ComObject<IEnumVARIANT> {
public:
    explicit RuleEnumerator(std::vector<RulePtr> rules) : ComObject("IEnumVARIANT"), rules_(std::move(rules)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Answer("IEnumVARIANT::QueryInterface", riid, IID_IEnumVARIANT, false, ppv);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override {
        const HRESULT called = Called("IEnumVARIANT::Next", rgVar && (celt <= 1 || pCeltFetched));
        if (FAILED(called)) return called;
        ULONG fetched = 0;
        for (; fetched < celt && next_ < rules_.size(); ++fetched, ++next_) {
            VariantInit(&rgVar[fetched]);
            rgVar[fetched].vt = VT_DISPATCH;
            rgVar[fetched].pdispVal = new Rule(rules_[next_]);
        }
        if (pCeltFetched) *pCeltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        const HRESULT called = Called("IEnumVARIANT::Skip");
        if (FAILED(called)) return called;
        next_ += celt;
        if (next_ <= rules_.size()) return S_OK;
        next_ = rules_.size();
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        const HRESULT called = Called("IEnumVARIANT::Reset");
        if (FAILED(called)) return called;
        next_ = 0;
        return S_OK;
    }
    WINSIM_NOT_USED(Clone, (IEnumVARIANT**))

private:
    std::vector<RulePtr> rules_;
    size_t next_ = 0;
};

// The rule given to Add. A released one runs on freed memory on Windows, like
// a released collection: winsim stops before any refusal.
Rule* LiveRuleOfOurs(INetFwRule* rule) {
    Rule* own = dynamic_cast<Rule*>(rule);
    if (!own) Unimplemented("INetFwRules::Add", "a rule object of another implementation");
    if (own->Released()) winsim::detail::ComMisuse("INetFwRules::Add", "given a rule after its last Release");
    return own;
}

class Rules : public ComObject<INetFwRules> {
public:
    Rules() : ComObject("INetFwRules") {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Answer("INetFwRules::QueryInterface", riid, IID_INetFwRules, true, ppv);
    }
    WINSIM_DISPATCH_NOT_USED

    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        const HRESULT called = Called("INetFwRules::get_Count", count != nullptr);
        if (FAILED(called)) return called;
        std::lock_guard<std::mutex> lock(Store().mutex);
        *count = static_cast<LONG>(Store().rules.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override {
        Alive("INetFwRules::Add");
        Rule* own = rule ? LiveRuleOfOurs(rule) : nullptr;
        const HRESULT refused = Refusal("INetFwRules::Add", rule != nullptr);
        if (FAILED(refused)) return refused;
        FirewallRule data = own->Data();
        if (data.name.empty()) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(Store().mutex);
        Store().rules.push_back(std::make_shared<FirewallRule>(data));
        return S_OK;
    }
    WINSIM_NOT_USED(Remove, (BSTR))
    WINSIM_NOT_USED(Item, (BSTR, INetFwRule**))
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** newEnum) override {
        const HRESULT called = CalledFor("INetFwRules::get__NewEnum", newEnum);
        if (FAILED(called)) return called;
        std::vector<RulePtr> snapshot;
        {
            std::lock_guard<std::mutex> lock(Store().mutex);
            snapshot = Store().rules;
        }
        *newEnum = new RuleEnumerator(std::move(snapshot));
        return S_OK;
    }
};

class Policy2 : public ComObject<INetFwPolicy2> {
public:
    Policy2() : ComObject("INetFwPolicy2") {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Answer("INetFwPolicy2::QueryInterface", riid, IID_INetFwPolicy2, true, ppv);
    }
    WINSIM_DISPATCH_NOT_USED

    HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG* profiles) override {
        const HRESULT called = Called("INetFwPolicy2::get_CurrentProfileTypes", profiles != nullptr);
        if (FAILED(called)) return called;
        *profiles = NET_FW_PROFILE2_PRIVATE;
        return S_OK;
    }
    WINSIM_NOT_USED(get_FirewallEnabled, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL*))
    WINSIM_NOT_USED(put_FirewallEnabled, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    WINSIM_NOT_USED(get_ExcludedInterfaces, (NET_FW_PROFILE_TYPE2, VARIANT*))
    WINSIM_NOT_USED(put_ExcludedInterfaces, (NET_FW_PROFILE_TYPE2, VARIANT))
    WINSIM_NOT_USED(get_BlockAllInboundTraffic, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL*))
    WINSIM_NOT_USED(put_BlockAllInboundTraffic, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    WINSIM_NOT_USED(get_NotificationsDisabled, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL*))
    WINSIM_NOT_USED(put_NotificationsDisabled, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    WINSIM_NOT_USED(get_UnicastResponsesToMulticastBroadcastDisabled, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL*))
    WINSIM_NOT_USED(put_UnicastResponsesToMulticastBroadcastDisabled, (NET_FW_PROFILE_TYPE2, VARIANT_BOOL))
    HRESULT STDMETHODCALLTYPE get_Rules(INetFwRules** rules) override {
        const HRESULT called = CalledFor("INetFwPolicy2::get_Rules", rules);
        if (FAILED(called)) return called;
        *rules = new Rules();
        return S_OK;
    }
    WINSIM_NOT_USED(get_ServiceRestriction, (INetFwServiceRestriction**))
    WINSIM_NOT_USED(EnableRuleGroup, (LONG, BSTR, VARIANT_BOOL))
    WINSIM_NOT_USED(IsRuleGroupEnabled, (LONG, BSTR, VARIANT_BOOL*))
    WINSIM_NOT_USED(RestoreLocalFirewallDefaults, ())
    WINSIM_NOT_USED(get_DefaultInboundAction, (NET_FW_PROFILE_TYPE2, NET_FW_ACTION*))
    WINSIM_NOT_USED(put_DefaultInboundAction, (NET_FW_PROFILE_TYPE2, NET_FW_ACTION))
    WINSIM_NOT_USED(get_DefaultOutboundAction, (NET_FW_PROFILE_TYPE2, NET_FW_ACTION*))
    WINSIM_NOT_USED(put_DefaultOutboundAction, (NET_FW_PROFILE_TYPE2, NET_FW_ACTION))
    WINSIM_NOT_USED(get_IsRuleGroupCurrentlyEnabled, (BSTR, VARIANT_BOOL*))
    WINSIM_NOT_USED(get_LocalPolicyModifyState, (NET_FW_MODIFY_STATE*))
};

}  // namespace

namespace winsim::detail {

HRESULT CreateComObject(REFCLSID clsid, REFIID riid, void** ppv) {
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (clsid == CLSID_NetFwPolicy2) {
        Policy2* policy = new Policy2();
        hr = policy->Cast(riid, IID_INetFwPolicy2, true, ppv);
        policy->Release();
    } else if (clsid == CLSID_NetFwRule) {
        Rule* rule = new Rule(std::make_shared<FirewallRule>());
        hr = rule->Cast(riid, IID_INetFwRule, true, ppv);
        rule->Release();
    }
    return hr;
}

}  // namespace winsim::detail

namespace winsim {

void PreloadFirewallRule(const FirewallRule& rule) {
    std::lock_guard<std::mutex> lock(Store().mutex);
    Store().rules.push_back(std::make_shared<FirewallRule>(rule));
}

std::vector<RuleCall> FirewallRuleCalls() {
    std::lock_guard<std::mutex> lock(Store().mutex);
    return Store().ruleCalls;
}

std::vector<FirewallRule> FirewallRules() {
    std::lock_guard<std::mutex> lock(Store().mutex);
    std::vector<FirewallRule> rules;
    for (const RulePtr& rule : Store().rules) rules.push_back(*rule);
    return rules;
}

}  // namespace winsim
