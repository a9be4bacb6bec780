// get_consumer_payload: the consumer reading over stand-in WMI objects, and
// the real call through the module on this machine's WMI. The volume
// functions through the module, against facts about drive C: that do not come
// from the calls the functions make (the walk is the volume map unit test's).
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

#include "common/com_ptr.h"
#include "common/com_values.h"
#include "common/utf.h"
#include "orvik/functions/system/wmi_consumer_reader.h"
#include "support/module_fixture.h"

namespace ScanEngine::System {
namespace {

using Names = std::vector<std::wstring>;

// IUnknown over `Interface` with a plain count, so a test sees every reference given back.
template <typename Interface>
class Counted : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == __uuidof(Interface) || iid == __uuidof(IUnknown) ? static_cast<Interface*>(this) : nullptr;
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;  // the test's own
};

struct Property {
    std::wstring name;
    VARTYPE type;  // VT_BSTR, VT_NULL, VT_I4 or VT_UNKNOWN
    std::wstring text;
    bool null_bstr = false;
};

// One consumer object: the properties it has, and the names it was asked for.
class FakeObject : public Counted<IWbemClassObject> {
public:
    explicit FakeObject(std::vector<Property> properties, IUnknown* unknown = nullptr)
        : properties_(std::move(properties)), unknown_(unknown) {}

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE*, LONG*) override {
        asked.push_back(name);
        EXPECT_EQ(flags, 0);
        for (const Property& p : properties_) {
            if (p.name != name) continue;
            VariantInit(value);
            value->vt = p.type;
            if (p.type == VT_BSTR)
                value->bstrVal = p.null_bstr ? nullptr : SysAllocStringLen(p.text.data(), static_cast<UINT>(p.text.size()));
            if (p.type == VT_I4) value->lVal = 7;
            if (p.type == VT_UNKNOWN) (value->punkVal = unknown_)->AddRef();
            return S_OK;
        }
        return WBEM_E_NOT_FOUND;
    }
    // Not used by the reader.
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

    Names asked;

private:
    std::vector<Property> properties_;
    IUnknown* unknown_;
};

// Hands out the objects one by one, or fails with `failure` at `fail_at`.
class FakeResults : public Counted<IEnumWbemClassObject> {
public:
    explicit FakeResults(std::vector<FakeObject*> objects, std::size_t fail_at = SIZE_MAX, HRESULT failure = S_OK)
        : objects_(std::move(objects)), fail_at_(fail_at), failure_(failure) {}

    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
        EXPECT_EQ(timeout, static_cast<LONG>(WBEM_INFINITE));
        EXPECT_EQ(count, 1u);
        *returned = 0;
        if (next_ == fail_at_) return failure_;
        if (next_ == objects_.size()) return WBEM_S_FALSE;
        (objects[0] = objects_[next_++])->AddRef();
        *returned = 1;
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
    std::vector<FakeObject*> objects_;
    std::size_t next_ = 0;
    std::size_t fail_at_;
    HRESULT failure_;
};

Property Text(std::wstring name, std::wstring text) { return {std::move(name), VT_BSTR, std::move(text)}; }
Property Typed(std::wstring name, VARTYPE type) { return {std::move(name), type, L""}; }

const Names kAllFive = {L"ExecutablePath", L"ScriptFileName", L"CommandLineTemplate", L"ScriptText",
                        L"ScriptingEngine"};
Names FirstOf(std::size_t count) { return Names(kAllFive.begin(), kAllFive.begin() + count); }

std::vector<std::string> Texts(const std::optional<ConsumerPayload>& payload) {
    if (!payload) return {"(failed)"};
    return {payload->file, payload->script, payload->engine};
}

TEST(ConsumerReader, EachObjectGivesItsFirstStringPropertyInOrder) {
    struct Case {
        std::vector<Property> properties;
        std::vector<std::string> texts;  // file, script, engine
        Names asked;
    };
    const Case cases[] = {
        // Command line consumers: the file wins over the template.
        {{Text(L"CommandLineTemplate", L"run.exe -x"), Text(L"ExecutablePath", L"C:\\run.exe")},
         {"C:\\run.exe", "", ""}, FirstOf(1)},
        // Script consumers: the engine is read only when nothing else is a string.
        {{Text(L"ScriptingEngine", L"VBScript"), Text(L"ScriptText", std::wstring(L"a\0b", 3))},
         {"", std::string("a\0b", 3), ""}, FirstOf(4)},
        {{Typed(L"ExecutablePath", VT_I4), Typed(L"ScriptText", VT_UNKNOWN), Text(L"ScriptingEngine", L"JScript")},
         {"", "", "JScript"}, kAllFive},
        // A null BSTR is an empty string, and still the first string found.
        {{{L"ExecutablePath", VT_BSTR, L"", true}, Text(L"CommandLineTemplate", L"x")}, {"", "", ""}, FirstOf(1)},
    };
    for (const Case& c : cases) {
        Counted<IUnknown> unknown;
        FakeObject object(c.properties, &unknown);
        FakeResults results({&object});
        EXPECT_EQ(Texts(ReadConsumerPayload(results)), c.texts) << c.asked.size();
        EXPECT_EQ(object.asked, c.asked);
        EXPECT_EQ(object.references, 1u);
        EXPECT_EQ(unknown.references, 1u) << "a value not cleared";
    }
}

TEST(ConsumerReader, LaterObjectsOverwriteWhatTheyProvideAndFailuresGiveNothing) {
    FakeObject first({Text(L"ExecutablePath", L"a.exe")});
    FakeObject second({Text(L"ScriptText", L"s")});
    FakeObject third({Text(L"ScriptFileName", L"c.vbs")});
    FakeResults all({&first, &second, &third});
    EXPECT_EQ(Texts(ReadConsumerPayload(all)), (std::vector<std::string>{"c.vbs", "s", ""}));

    // A broken enumeration is not "no such consumer".
    FakeObject fourth({Text(L"ExecutablePath", L"d.exe")});
    FakeResults broken({&first, &fourth}, 1, WBEM_E_TRANSPORT_FAILURE);
    EXPECT_EQ(Texts(ReadConsumerPayload(broken)), std::vector<std::string>{"(failed)"});
    for (const FakeObject* object : {&first, &second, &third, &fourth}) EXPECT_EQ(object->references, 1u);
    EXPECT_EQ(first.asked.size(), 2u);
    EXPECT_EQ(fourth.asked, Names{}) << "never handed out";
}

}  // namespace
}  // namespace ScanEngine::System

namespace OrvikTest {
namespace {

class WmiConsumers : public ModuleTest {
protected:
    CallResult Lookup(std::int64_t type, const std::string& name) {
        return Call("get_consumer_payload", {Arg::Int("consumerType", type), Arg::Str("name", name),
                                             Arg::OutStr("file", 1), Arg::OutStr("script", 2), Arg::OutStr("engine", 3)});
    }
};

// Whether this machine has the subscription namespace at all.
bool SubscriptionNamespaceExists() {
    Common::ComPtr<IWbemLocator> locator;
    Common::ComPtr<IWbemServices> services;
    const Common::UniqueBstr resource = Common::CopyBstr(L"ROOT\\subscription");
    constexpr CLSID kLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
    return SUCCEEDED(CoCreateInstance(kLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(locator.Put()))) &&
           SUCCEEDED(locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                            services.Put()));
}

TEST_F(WmiConsumers, RealLookupAnswersWithoutLoggingLeavesTheApartmentAsItWasAndRefusesOtherTypes) {
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        const bool exists = SubscriptionNamespaceExists();
        CoUninitialize();

        // A name no consumer has, with a quote and a backslash that must stay inside the literal.
        for (const std::int64_t type : {0, 1}) {
            const CallResult r = Lookup(type, "orvik 'x\\");
            EXPECT_TRUE(r.log.empty());
            if (exists) {
                EXPECT_EQ(r.result, 0);
                EXPECT_EQ(r.variables.size(), 3u);
                for (const auto& [ref, variable] : r.variables) EXPECT_EQ(variable.text, "") << ref;
            } else {
                EXPECT_EQ(r.result, -1);  // the namespace is missing
                EXPECT_TRUE(r.variables.empty());
            }
            // COM was balanced: the thread has no apartment any more.
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
            CoUninitialize();
        }
    }).join();

    // Other types and names with a nul are refused quietly.
    const std::pair<std::int64_t, std::string> refused[] = {{2, "x"}, {0, std::string("x\0y", 3)}};
    for (const auto& [type, name] : refused) {
        const CallResult r = Lookup(type, name);
        EXPECT_EQ(r.result, -1) << type;
        EXPECT_TRUE(r.variables.empty() && r.log.empty()) << type;
    }
}

using Volumes = ModuleTest;

std::string Utf8(const wchar_t* text) { return Common::WideToUtf8(text, wcslen(text)); }

TEST_F(Volumes, MapHoldsDriveCsDeviceAndSerialAndTypeAnswerForItsRoot) {
    // The kernel device behind the drive letter, and the volume name mounted there.
    wchar_t device[MAX_PATH] = {};
    ASSERT_NE(QueryDosDeviceW(L"C:", device, MAX_PATH), 0u);
    auto call = NewCall();
    call->variables[1] = {RefHost::Variable::Kind::String, 0, "stale"};
    const CallResult r = Call("get_volumes_map", {Arg::OutStr("volumes_map", 1)}, *call);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    const std::string map = "::" + r.variables.at(1).text + "::";
    EXPECT_NE(map.find("::" + Utf8(device) + "--C:\\::"), std::string::npos) << map;

    wchar_t unused[] = L"?:\\";
    const DWORD drives = GetLogicalDrives();
    for (int letter = 25; letter >= 0; --letter)
        if ((drives & (1u << letter)) == 0) unused[0] = static_cast<wchar_t>(L'A' + letter);
    ASSERT_NE(unused[0], L'?');
    const std::int64_t serial = Call("get_volume_serial", {Arg::Str("path", "C:\\")}).result;
    EXPECT_NE(serial, -1);
    EXPECT_EQ(serial, static_cast<std::int32_t>(serial)) << "sign-extended from 32 bits";
    const std::pair<std::string, std::pair<std::int64_t, std::int64_t>> cases[] = {
        {"C:\\", {serial, DRIVE_FIXED}},
        {Utf8(unused), {-1, DRIVE_NO_ROOT_DIR}},
        // The system would answer for "C:\" alone.
        {std::string("C:\\\0Q:\\", 6), {-1, DRIVE_NO_ROOT_DIR}},
    };
    for (const auto& [path, expected] : cases) {
        const CallResult serial_call = Call("get_volume_serial", {Arg::Str("path", path)});
        const CallResult type = Call("get_volume_type", {Arg::Str("path", path)});
        EXPECT_EQ(std::pair(serial_call.result, type.result), expected) << path;
        EXPECT_TRUE(serial_call.log.empty() && type.log.empty()) << path;
    }
}

}  // namespace
}  // namespace OrvikTest
