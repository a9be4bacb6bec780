// Telemetry bodies: every body is strict UTF-8 JSON with one member per call; integers and UTF-8 texts come back as
// given, and a text embedded as structure is itself a strict array or object.
#include <vector>

#include "fuzz_check.h"
#include "orvik/functions/policy/telemetry_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto number = in.ConsumeIntegral<std::int64_t>();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    std::vector<std::string> texts;  // split at 0xFF, a byte no UTF-8 text holds
    for (std::size_t from = 0, to = 0; to != std::string::npos; from = to + 1) {
        to = rest.find('\xFF', from);
        texts.push_back(rest.substr(from, to == std::string::npos ? to : to - from));
    }
    ScanEngine::Policy::TelemetryBody body;
    body.AddInteger("n", number);
    for (std::size_t i = 0; i < texts.size(); ++i) body.AddString("m" + std::to_string(i), texts[i]);
    const Json::Value root = Fuzz::StrictJson(std::move(body).Finish());
    FUZZ_CHECK(root.isObject() && root.size() == texts.size() + 1 && root["n"].isInt64() && root["n"].asInt64() == number);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const Json::Value& member = root["m" + std::to_string(i)];
        if (ScanEngine::Policy::IsEmbeddableJson(texts[i]))
            FUZZ_CHECK(member == Fuzz::StrictJson(texts[i]) && (member.isArray() || member.isObject()));
        else
            FUZZ_CHECK(member.isString() && (!Fuzz::IsUtf8(texts[i]) || member.asString() == texts[i]));
    }
    return 0;
}
