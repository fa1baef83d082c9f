// The Windows Firewall policy that Wine only stubs: the policy, its rule
// collection, a rule enumerator and rules, with the methods the programs call.
// Built on the C form of the interfaces so that every method the programs do
// not call can share one answer that the test sees as a complaint.
#define CINTERFACE
#include "windows_doubles.h"

#include <initguid.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <mutex>

namespace {

using doubles::FirewallRule;

struct Policy {
    std::mutex mutex;
    std::vector<FirewallRule> rules;
};

Policy& Store() {
    static Policy& policy = *new Policy;  // never destroyed: the worker may outlive main
    return policy;
}

std::atomic<int> g_liveObjects{0};

// One COM object with one interface; its table comes first, as an interface
// pointer's does.
struct Object {
    const void* table;
    const IID* iid;
    std::atomic<LONG> refs{1};
    FirewallRule rule;                // a rule's properties
    std::vector<FirewallRule> rules;  // an enumerator's, and how far it got
    size_t next = 0;
};

template <class Interface>
Object* ObjectOf(Interface* self) {
    return reinterpret_cast<Object*>(self);
}

template <class Interface>
Interface* New(const void* table, const IID& iid) {
    ++g_liveObjects;
    Object* object = new Object;
    object->table = table;
    object->iid = &iid;
    return reinterpret_cast<Interface*>(object);
}

// The x64 calling convention lets one function without parameters stand in
// for every method that the programs must not call.
HRESULT STDMETHODCALLTYPE NotUsed() {
    doubles::Complain("firewall: a method the programs do not call");
    return E_NOTIMPL;
}

template <class Interface>
ULONG STDMETHODCALLTYPE AddRef(Interface* self) {
    return ++ObjectOf(self)->refs;
}

template <class Interface>
ULONG STDMETHODCALLTYPE Release(Interface* self) {
    Object* object = ObjectOf(self);
    LONG left = --object->refs;
    if (left == 0) {
        delete object;
        --g_liveObjects;
    }
    return left;
}

template <class Interface>
HRESULT STDMETHODCALLTYPE QueryInterface(Interface* self, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    const IID& own = *ObjectOf(self)->iid;
    bool dispatch = own != IID_IEnumVARIANT;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != own && !(dispatch && riid == IID_IDispatch)) return E_NOINTERFACE;
    AddRef(self);
    *ppv = self;
    return S_OK;
}

// A table whose every method is NotUsed but the three of IUnknown.
template <class Table, class Interface>
Table TableOf() {
    Table table;
    void** slots = reinterpret_cast<void**>(&table);
    for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i) slots[i] = reinterpret_cast<void*>(&NotUsed);
    table.QueryInterface = QueryInterface<Interface>;
    table.AddRef = AddRef<Interface>;
    table.Release = Release<Interface>;
    return table;
}

// ---- a rule ----

bool IsDottedByte(const std::wstring& text) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == L'0')) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return std::stoi(text) <= 255;
}

// A single IPv4 address in the firewall's normal form; the other forms
// Windows takes are not held here.
bool NormalAddress(const std::wstring& text, std::wstring* normal) {
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        size_t end = part < 3 ? text.find(L'.', start) : text.size();
        if (end == std::wstring::npos || !IsDottedByte(text.substr(start, end - start))) return false;
        start = end + 1;
    }
    *normal = text + L"/255.255.255.255";
    return true;
}

HRESULT Put(INetFwRule* self, bool valid, unsigned property) {
    if (!valid) return E_INVALIDARG;
    ObjectOf(self)->rule.set |= property;
    return S_OK;
}

HRESULT Get(const std::wstring& text, BSTR* value) {
    if (!value) return E_POINTER;
    *value = SysAllocString(text.c_str());
    return *value ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE PutName(INetFwRule* self, BSTR v) {
    if (v && *v) ObjectOf(self)->rule.name = v;
    return Put(self, v && *v, doubles::kName);
}
HRESULT STDMETHODCALLTYPE PutDescription(INetFwRule* self, BSTR v) {
    ObjectOf(self)->rule.description = v ? v : L"";
    return Put(self, true, doubles::kDescription);
}
HRESULT STDMETHODCALLTYPE PutGrouping(INetFwRule* self, BSTR v) {
    ObjectOf(self)->rule.grouping = v ? v : L"";
    return Put(self, true, doubles::kGrouping);
}
HRESULT STDMETHODCALLTYPE PutRemoteAddresses(INetFwRule* self, BSTR v) {
    std::wstring normal;
    if (!v || !NormalAddress(v, &normal)) {
        doubles::Complain("firewall: remote addresses of a form not held here");
        return E_INVALIDARG;
    }
    ObjectOf(self)->rule.remoteAddresses = normal;
    return Put(self, true, doubles::kRemoteAddresses);
}
HRESULT STDMETHODCALLTYPE PutProtocol(INetFwRule* self, LONG v) {
    bool valid = v >= 0 && v <= 256;  // a protocol number, or 256 for any
    if (valid) ObjectOf(self)->rule.protocol = v;
    return Put(self, valid, doubles::kProtocol);
}
HRESULT STDMETHODCALLTYPE PutDirection(INetFwRule* self, NET_FW_RULE_DIRECTION v) {
    bool valid = v == NET_FW_RULE_DIR_IN || v == NET_FW_RULE_DIR_OUT;
    if (valid) ObjectOf(self)->rule.direction = v;
    return Put(self, valid, doubles::kDirection);
}
HRESULT STDMETHODCALLTYPE PutEnabled(INetFwRule* self, VARIANT_BOOL v) {
    ObjectOf(self)->rule.enabled = v != VARIANT_FALSE;
    return Put(self, true, doubles::kEnabled);
}
HRESULT STDMETHODCALLTYPE PutProfiles(INetFwRule* self, LONG v) {
    bool valid = v != 0 && (v == NET_FW_PROFILE2_ALL || (v & ~7) == 0);
    if (valid) ObjectOf(self)->rule.profiles = v;
    return Put(self, valid, doubles::kProfiles);
}
HRESULT STDMETHODCALLTYPE PutAction(INetFwRule* self, NET_FW_ACTION v) {
    bool valid = v == NET_FW_ACTION_BLOCK || v == NET_FW_ACTION_ALLOW;
    if (valid) ObjectOf(self)->rule.action = v;
    return Put(self, valid, doubles::kAction);
}
HRESULT STDMETHODCALLTYPE GetName(INetFwRule* self, BSTR* v) { return Get(ObjectOf(self)->rule.name, v); }
HRESULT STDMETHODCALLTYPE GetRemoteAddresses(INetFwRule* self, BSTR* v) {
    return Get(ObjectOf(self)->rule.remoteAddresses, v);
}

const INetFwRuleVtbl* RuleTable() {
    static const INetFwRuleVtbl table = [] {
        INetFwRuleVtbl t = TableOf<INetFwRuleVtbl, INetFwRule>();
        t.get_Name = GetName;
        t.put_Name = PutName;
        t.put_Description = PutDescription;
        t.put_Protocol = PutProtocol;
        t.get_RemoteAddresses = GetRemoteAddresses;
        t.put_RemoteAddresses = PutRemoteAddresses;
        t.put_Direction = PutDirection;
        t.put_Enabled = PutEnabled;
        t.put_Grouping = PutGrouping;
        t.put_Profiles = PutProfiles;
        t.put_Action = PutAction;
        return t;
    }();
    return &table;
}

// ---- the enumerator of rules ----

HRESULT STDMETHODCALLTYPE Next(IEnumVARIANT* self, ULONG count, VARIANT* items, ULONG* fetched) {
    if (!items || (count > 1 && !fetched)) return E_POINTER;
    Object* object = ObjectOf(self);
    ULONG taken = 0;
    for (; taken < count && object->next < object->rules.size(); ++taken) {
        INetFwRule* rule = New<INetFwRule>(RuleTable(), IID_INetFwRule);
        ObjectOf(rule)->rule = object->rules[object->next++];
        VariantInit(&items[taken]);
        items[taken].vt = VT_DISPATCH;
        items[taken].pdispVal = reinterpret_cast<IDispatch*>(rule);
    }
    if (fetched) *fetched = taken;
    return taken == count ? S_OK : S_FALSE;
}

const IEnumVARIANTVtbl* EnumeratorTable() {
    static const IEnumVARIANTVtbl table = [] {
        IEnumVARIANTVtbl t = TableOf<IEnumVARIANTVtbl, IEnumVARIANT>();
        t.Next = Next;
        return t;
    }();
    return &table;
}

// ---- the rule collection and the policy ----

HRESULT STDMETHODCALLTYPE GetCount(INetFwRules*, LONG* count) {
    if (!count) return E_POINTER;
    std::lock_guard<std::mutex> lock(Store().mutex);
    *count = static_cast<LONG>(Store().rules.size());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Add(INetFwRules*, INetFwRule* rule) {
    if (!rule) return E_POINTER;
    if (ObjectOf(rule)->table != RuleTable()) {
        doubles::Complain("firewall: a rule that is not the policy's");
        return E_INVALIDARG;
    }
    if (ObjectOf(rule)->rule.name.empty()) return E_INVALIDARG;  // the name is required
    std::lock_guard<std::mutex> lock(Store().mutex);
    Store().rules.push_back(ObjectOf(rule)->rule);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE NewEnum(INetFwRules*, IUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    IEnumVARIANT* created = New<IEnumVARIANT>(EnumeratorTable(), IID_IEnumVARIANT);
    std::lock_guard<std::mutex> lock(Store().mutex);
    ObjectOf(created)->rules = Store().rules;
    *enumerator = reinterpret_cast<IUnknown*>(created);
    return S_OK;
}

const INetFwRulesVtbl* RulesTable() {
    static const INetFwRulesVtbl table = [] {
        INetFwRulesVtbl t = TableOf<INetFwRulesVtbl, INetFwRules>();
        t.get_Count = GetCount;
        t.Add = Add;
        t.get__NewEnum = NewEnum;
        return t;
    }();
    return &table;
}

HRESULT STDMETHODCALLTYPE GetRules(INetFwPolicy2*, INetFwRules** rules) {
    if (!rules) return E_POINTER;
    *rules = New<INetFwRules>(RulesTable(), IID_INetFwRules);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE GetCurrentProfileTypes(INetFwPolicy2*, LONG* profiles) {
    if (!profiles) return E_POINTER;
    *profiles = NET_FW_PROFILE2_PRIVATE;
    return S_OK;
}

const INetFwPolicy2Vtbl* PolicyTable() {
    static const INetFwPolicy2Vtbl table = [] {
        INetFwPolicy2Vtbl t = TableOf<INetFwPolicy2Vtbl, INetFwPolicy2>();
        t.get_Rules = GetRules;
        t.get_CurrentProfileTypes = GetCurrentProfileTypes;
        return t;
    }();
    return &table;
}

// ---- creation ----

// The two classes of the policy here, as an in-process server answers on a
// thread that has initialised COM; any other class goes to ole32.
HRESULT WINAPI CreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* ppv) {
    bool policy = clsid == CLSID_NetFwPolicy2;
    if (!policy && clsid != CLSID_NetFwRule) {
        FARPROC ole32 = GetProcAddress(GetModuleHandleW(L"ole32.dll"), "CoCreateInstance");
        return reinterpret_cast<decltype(&::CoCreateInstance)>(reinterpret_cast<void*>(ole32))(clsid, outer, context,
                                                                                                riid, ppv);
    }
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (FAILED(CoGetApartmentType(&type, &qualifier))) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    IUnknown* object = policy ? reinterpret_cast<IUnknown*>(New<INetFwPolicy2>(PolicyTable(), IID_INetFwPolicy2))
                              : reinterpret_cast<IUnknown*>(New<INetFwRule>(RuleTable(), IID_INetFwRule));
    HRESULT hr = QueryInterface(object, riid, ppv);
    Release(object);
    return hr;
}

}  // namespace

KESTROVE_IMPORT(CoCreateInstance, 20) = CreateInstance;

namespace doubles {

void ResetFirewall() {
    std::lock_guard<std::mutex> lock(Store().mutex);
    Store().rules.clear();
}

std::vector<FirewallRule> FirewallRules() {
    std::lock_guard<std::mutex> lock(Store().mutex);
    return Store().rules;
}

int LiveFirewallObjects() { return g_liveObjects; }

}  // namespace doubles
