// The consumer lookup query and the quoting of the name inside it.
#include <gtest/gtest.h>

#include "orvik/functions/system/wql_query.h"

namespace ScanEngine::System {
namespace {

TEST(ConsumerQuery, QuotesTheNameForEachConsumerTypeAndRefusesOtherTypesAndNamesWithANul) {
    EXPECT_EQ(ConsumerQuery(0, "Updater"), "SELECT * FROM CommandLineEventConsumer WHERE Name = 'Updater'");
    EXPECT_EQ(ConsumerQuery(1, "Upd\xC3\xA4ter"), "SELECT * FROM ActiveScriptEventConsumer WHERE Name = 'Upd\xC3\xA4ter'");
    EXPECT_EQ(ConsumerQuery(0, ""), "SELECT * FROM CommandLineEventConsumer WHERE Name = ''");
    // Neither a quote nor a trailing backslash may end the literal early.
    EXPECT_EQ(ConsumerQuery(0, "x' OR Name <> '"),
              "SELECT * FROM CommandLineEventConsumer WHERE Name = 'x\\' OR Name <> \\''");
    EXPECT_EQ(ConsumerQuery(1, "a\\b\\"), "SELECT * FROM ActiveScriptEventConsumer WHERE Name = 'a\\\\b\\\\'");
    EXPECT_EQ(ConsumerQuery(1, "\\'"), "SELECT * FROM ActiveScriptEventConsumer WHERE Name = '\\\\\\''");
    // Other types, and names with a nul, are refused.
    for (const std::int64_t type : {std::int64_t{2}, std::int64_t{-1}, std::int64_t{0x100000000}})
        EXPECT_EQ(ConsumerQuery(type, "Updater"), std::nullopt) << type;
    EXPECT_EQ(ConsumerQuery(0, std::string("Upd\0ater", 8)), std::nullopt);
}

}  // namespace
}  // namespace ScanEngine::System
