#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "orvik/context/argument_names.h"
#include "tools/orvik_cli/cli_arguments.h"

namespace OrvikCli {
namespace {

using ScanEngine::ArgumentDescriptor;
namespace arg = ScanEngine::arg;

constexpr ArgumentDescriptor kList[] = {
    ScanEngine::InString(arg::path, ScanEngine::kRequired), ScanEngine::InInteger(arg::pid, ScanEngine::kRequired),
    ScanEngine::OutString(arg::text, ScanEngine::kOptional), ScanEngine::OutInteger(arg::length, ScanEngine::kOptional),
    ScanEngine::kEndOfArguments};

std::tuple<std::string, std::uint32_t, std::uint32_t, std::int64_t, std::string> Fields(const RefHost::Arg& a) {
    return {a.name, a.kind, a.storage, a.integer, a.text};
}

TEST(CliArguments, TypesValuesByDeclarationOrByExplicitKindAndBindsOutputsWithFreshReferences) {
    using RefHost::Arg;
    const std::pair<const char*, Arg> words[] = {
        {"path=C:\\x=y", Arg::Str("path", "C:\\x=y")},
        {"pid=0x10", Arg::Int("pid", 16)},
        {"pid=18446744073709551615", Arg::Int("pid", -1)},
        {"pid:esc=a\\0b\\x41", Arg::Str("pid", std::string("a\0bA", 4))},
        {"pid:str=C:\\new", Arg::Str("pid", "C:\\new")},
        {"path:undef", Arg::Undefined("path")},
        // Outputs are bound with fresh references.
        {"text=@", Arg::OutStr("text", 1)},
        {"length=@", Arg::OutInt("length", 2)},
        {"path=@int", Arg::OutInt("path", 3)},
    };
    std::uint32_t ref = 0;
    for (const auto& [word, expected] : words)
        EXPECT_EQ(Fields(ParseCallArgument(word, kList, ref)), Fields(expected)) << word;
}

TEST(CliArguments, RejectsWordsItCannotType) {
    std::uint32_t ref = 0;
    for (const char* word : {"pid=12x", "pid=", "pid= 1", "unknown=3", "path=@", "text=@float", "=3", "path",
                             "pid:real=1", "pid:undef=1", "pid=99999999999999999999"})
        EXPECT_THROW(ParseCallArgument(word, kList, ref), std::invalid_argument) << word;
}

TEST(CliArguments, QuoteAndUnescapeUseTheToolsEscapes) {
    const std::string bytes("a\"b\\c\n\t\0\x7f\xc3\xa9", 11);
    EXPECT_EQ(Quote(bytes), "\"a\\\"b\\\\c\\n\\t\\x00\\x7f\xc3\xa9\"");
    EXPECT_EQ(Unescape("a\\nb\\\\c\\x41\\q\\\"\\"), "a\nb\\cA\\q\"\\");
}

}  // namespace
}  // namespace OrvikCli
