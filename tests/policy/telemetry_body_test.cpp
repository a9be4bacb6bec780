#include "orvik/functions/policy/telemetry_body.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

using ScanEngine::Policy::IsEmbeddableJson;
using ScanEngine::Policy::QuoteJsonString;
using ScanEngine::Policy::TelemetryBody;

std::string OneString(const std::string& value) {
    TelemetryBody body;
    body.AddString("v", value);
    return std::move(body).Finish();
}

TEST(TelemetryBodyTest, MembersAreSeparatedByCommaNewlineWithoutDanglingSeparators) {
    EXPECT_EQ(TelemetryBody().Finish(), "{\n\n}");
    TelemetryBody one;
    one.AddInteger("rule", 7);
    EXPECT_EQ(std::move(one).Finish(), "{\n\"rule\":7\n}");

    TelemetryBody body;
    body.AddString("threat", "T");
    body.AddInteger("a", -1);
    body.AddInteger("b", std::numeric_limits<std::int64_t>::min());
    body.AddInteger("c", std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(std::move(body).Finish(),
              "{\n\"threat\":\"T\",\n\"a\":-1,\n\"b\":-9223372036854775808,\n\"c\":9223372036854775807\n}");
}

TEST(TelemetryBodyTest, QuotingEscapesBackslashesQuotesAndEveryControlCharacter) {
    EXPECT_EQ(QuoteJsonString(""), "\"\"");
    EXPECT_EQ(QuoteJsonString("C:\\dir\\\"x\""), "\"C:\\\\dir\\\\\\\"x\\\"\"");
    EXPECT_EQ(QuoteJsonString("a\tb\rc\nd"), "\"a\\tb\\rc\\nd\"");
    EXPECT_EQ(QuoteJsonString(std::string("\0\x01\x08\x0c\x1f", 5)), "\"\\u0000\\u0001\\u0008\\u000c\\u001f\"");
    // Space, DEL and bytes of multi-byte characters are copied.
    EXPECT_EQ(QuoteJsonString(" \x7f\xc3\xa9/"), "\" \x7f\xc3\xa9/\"");
}

TEST(TelemetryBodyTest, OnlyAWholeArrayOrObjectIsEmbeddedUnchanged) {
    for (const char* text : {"{}", "[]", "{\"a\":[1,2,{\"b\":null}]}", "[\"x\", -1.5e3, true]", "  {\"a\":1}\n",
                             "/* lead */ {\"a\":1} // trail", "// lead\n[1]", "{\"s\":\"quote \\\" and \\\\\"}",
                             "{\"a\":\"/* not a comment\"}"}) {
        EXPECT_TRUE(IsEmbeddableJson(text)) << text;
        EXPECT_EQ(OneString(text), std::string("{\n\"v\":") + text + "\n}") << text;
    }
    // Scalars, broken or trailing text, and raw control characters in strings,
    // which would leave the body unreadable.
    for (const std::string& text :
         {std::string(""), std::string("42"), std::string("\"a string\""), std::string("null"), std::string("[1, 2"),
          std::string("{\"a\":}"), std::string("{} trailing"), std::string("[] []"), std::string("{} /* open"),
          std::string("/*/ {}"), std::string("{\"a\":\"\\q\"}"), std::string("{\"a\":\"x\ty\"}"),
          std::string("[\"\n\"]"), std::string("{}\0", 3), std::string("[1 /*/ ,2]")}) {
        EXPECT_FALSE(IsEmbeddableJson(text)) << text;
        EXPECT_EQ(OneString(text), "{\n\"v\":" + QuoteJsonString(text) + "\n}") << text;
    }
    // Nesting deeper than the reader allows is text, not a crash.
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    EXPECT_EQ(OneString(deep), "{\n\"v\":\"" + deep + "\"\n}");
}

}  // namespace
