#include "orvik/functions/policy/telemetry_body.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "support/strict_json.h"

namespace {

using ScanEngine::Policy::TelemetryBody;

std::string OneString(const std::string& value) {
    TelemetryBody body;
    body.AddString("v", value);
    return std::move(body).Finish();
}

// The member "v" as JsonCpp's strict reader sees the body.
Json::Value StrictlyRead(const std::string& body) {
    Json::Value root;
    std::string errors;
    EXPECT_TRUE(OrvikTest::ParseStrictJson(body, root, errors)) << errors << body.substr(0, 100);
    return root["v"];
}

TEST(TelemetryBodyTest, IntegersAreWholeSignedDecimalsAndMembersAreSeparatedByCommaNewline) {
    TelemetryBody body;
    body.AddInteger("b", std::numeric_limits<std::int64_t>::min());
    body.AddInteger("c", std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(std::move(body).Finish(), "{\n\"b\":-9223372036854775808,\n\"c\":9223372036854775807\n}");
}

TEST(TelemetryBodyTest, OnlyStrictJsonArraysAndObjectsAreEmbeddedEverythingElseIsAString) {
    const std::string nest64 = std::string(64, '[') + "0" + std::string(64, ']');
    for (const std::string& text : {std::string("{}"), std::string("[]"), std::string("{\"a\":[1,2,{\"b\":null}]}"),
                                    std::string(" [\"x\", -1.5e3, 0, -0.25E+2, true]\n"), nest64,
                                    std::string("{\"s\":\"\\\" \\\\ \\u00e9 \xc3\xa9 \x7f /* no comment\"}")}) {
        EXPECT_EQ(OneString(text), "{\n\"v\":" + text + "\n}") << text;
    }
    // Scalars, broken or trailing text, comments (a line comment would swallow
    // the next member's comma), lax numbers, a byte-order mark, control bytes
    // in strings, duplicate names, and nesting past 64 levels: quoted.
    for (const std::string& text :
         {std::string(""), std::string("42"), std::string("\"s\""), std::string("null"), std::string("[1, 2"),
          std::string("{\"a\":}"), std::string("{} trailing"), std::string("[] []"), std::string("{\"a\":1} // note"),
          std::string("/* c */ [1]"), std::string("[1 /*/ ,2]"), std::string("[01]"), std::string("[1.]"),
          std::string("[-]"), std::string("[1e]"), std::string("[1,]"), std::string("[NaN]"),
          std::string("\xef\xbb\xbf{}"), std::string("{\"a\":\"\\q\"}"), std::string("[\"x\ty\"]"),
          std::string("{}\0", 3), std::string("{\"a\":1,\"\\u0061\":2}"), "[" + nest64 + "]",
          std::string(100000, '[')}) {
        const Json::Value v = StrictlyRead(OneString(text));
        EXPECT_TRUE(v.isString() && v.asString() == text) << text.substr(0, 100);
    }
    // Bytes that are not UTF-8 are escaped one by one, in embedded-looking texts too.
    EXPECT_EQ(OneString("[\"\xff \xc3\xa9\xed\xa0\x80\"]"),
              "{\n\"v\":\"[\\\"\\u00ff \xc3\xa9\\u00ed\\u00a0\\u0080\\\"]\"\n}");
}

}  // namespace
