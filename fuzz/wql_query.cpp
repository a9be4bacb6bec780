// Consumer queries: the name always ends up as one well-formed WQL literal at the end of the query, and reading the
// literal back gives the name.
#include "fuzz_check.h"
#include "orvik/functions/system/wql_query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto type = in.ConsumeIntegralInRange<std::int64_t>(-1, 2);
    const std::string name = in.ConsumeRemainingBytesAsString();
    const std::optional<std::string> query = ScanEngine::System::ConsumerQuery(type, name);
    FUZZ_CHECK(query.has_value() == ((type == 0 || type == 1) && name.find('\0') == std::string::npos));
    if (!query) return 0;
    const std::string head = type == 0 ? "SELECT * FROM CommandLineEventConsumer WHERE Name = '"
                                       : "SELECT * FROM ActiveScriptEventConsumer WHERE Name = '";
    FUZZ_CHECK(query->compare(0, head.size(), head) == 0);
    // The literal: a backslash escapes only a backslash or a quote; an unescaped quote ends it.
    std::string read;
    std::size_t i = head.size();
    for (; i < query->size() && (*query)[i] != '\''; ++i) {
        if ((*query)[i] == '\\') FUZZ_CHECK(++i < query->size() && ((*query)[i] == '\\' || (*query)[i] == '\''));
        read += (*query)[i];
    }
    FUZZ_CHECK(i + 1 == query->size() && read == name);
    return 0;
}
