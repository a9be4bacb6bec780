// Telemetry bodies: every body is strict UTF-8 JSON with one member per call; integers and UTF-8 texts come back as
// given, and a text embedded as structure is itself a strict array or object.
#include <vector>

#include "fuzz_check.h"
#include "orvik/functions/policy/telemetry_body.h"

using ScanEngine::Policy::IsEmbeddableJson;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ScanEngine::Policy::TelemetryBody body;
    std::vector<std::pair<std::int64_t, std::string>> added;  // an integer, or a text when the integer is 0
    while (in.remaining_bytes() > 0 && added.size() < 8) {
        const auto number = in.ConsumeIntegral<std::int64_t>();
        const std::string name = "m" + std::to_string(added.size());
        const std::string text = number != 0 ? "" : in.ConsumeRandomLengthString(256);
        number != 0 ? body.AddInteger(name, number) : body.AddString(name, text);
        added.emplace_back(number, text);
    }
    const Json::Value root = Fuzz::StrictJson(std::move(body).Finish());
    FUZZ_CHECK(root.isObject() && root.size() == added.size());
    for (std::size_t i = 0; i < added.size(); ++i) {
        const auto& [number, text] = added[i];
        const Json::Value& member = root["m" + std::to_string(i)];
        if (number != 0) {
            FUZZ_CHECK(member.isInt64() && member.asInt64() == number);
        } else if (IsEmbeddableJson(text)) {
            FUZZ_CHECK(member == Fuzz::StrictJson(text) && (member.isArray() || member.isObject()));
        } else {
            FUZZ_CHECK(member.isString() && (!Fuzz::IsUtf8(text) || member.asString() == text));
        }
    }
    return 0;
}
