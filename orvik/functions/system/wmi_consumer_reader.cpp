#include "wmi_consumer_reader.h"

#include "common/com_ptr.h"
#include "common/com_values.h"
#include "common/utf.h"

namespace ScanEngine::System {
namespace {

// The locator class of the WMI client: {4590F811-1D3A-11D0-891F-00AA004B2E24}.
constexpr CLSID kWbemLocatorClass = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

struct PayloadProperty {
    const wchar_t* name;
    std::string ConsumerPayload::*text;
};

// In the order they are asked for; the first that holds a string wins.
constexpr PayloadProperty kPayloadProperties[] = {
    {L"ExecutablePath", &ConsumerPayload::file},
    {L"ScriptFileName", &ConsumerPayload::file},
    {L"CommandLineTemplate", &ConsumerPayload::script},
    {L"ScriptText", &ConsumerPayload::script},
    {L"ScriptingEngine", &ConsumerPayload::engine},
};

// The property as UTF-8 when it holds a string; nothing when it is missing,
// null or of another type.
std::optional<std::string> StringProperty(IWbemClassObject& object, const wchar_t* name) {
    Common::UniqueVariant value;
    if (FAILED(object.Get(name, 0, value.Put(), nullptr, nullptr)) || value.Get().vt != VT_BSTR)
        return std::nullopt;
    // A null BSTR is the empty string; the length also keeps embedded nuls.
    const BSTR text = value.Get().bstrVal;
    return text == nullptr ? std::string() : Common::WideToUtf8(text, SysStringLen(text));
}

}  // namespace

std::optional<ConsumerPayload> ReadConsumerPayload(IEnumWbemClassObject& results) {
    ConsumerPayload payload;
    for (;;) {
        Common::ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT status = results.Next(WBEM_INFINITE, 1, object.Put(), &returned);
        // A failing enumeration is not "no such consumer": the caller must
        // not report a payload it could not read.
        if (FAILED(status)) return std::nullopt;
        if (returned == 0 || !object) return payload;
        for (const PayloadProperty& property : kPayloadProperties) {
            if (std::optional<std::string> text = StringProperty(*object.Get(), property.name)) {
                payload.*property.text = std::move(*text);
                break;
            }
        }
    }
}

std::optional<ConsumerPayload> QueryConsumerPayload(const wchar_t* wmi_namespace, const wchar_t* query) {
    Common::ComPtr<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(kWbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(locator.Put()))))
        return std::nullopt;

    const Common::UniqueBstr resource = Common::CopyBstr(wmi_namespace);
    if (!resource) return std::nullopt;
    Common::ComPtr<IWbemServices> services;
    if (FAILED(locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                      services.Put())) ||
        !services)
        return std::nullopt;
    if (FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
        return std::nullopt;

    const Common::UniqueBstr language = Common::CopyBstr(L"WQL");
    const Common::UniqueBstr text = Common::CopyBstr(query);
    if (!language || !text) return std::nullopt;
    Common::ComPtr<IEnumWbemClassObject> results;
    if (FAILED(services->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, results.Put())) ||
        !results)
        return std::nullopt;
    return ReadConsumerPayload(*results.Get());
}

}  // namespace ScanEngine::System
