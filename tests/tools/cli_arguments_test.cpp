#include <gtest/gtest.h>

#include <stdexcept>

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

TEST(CliArguments, TypesValuesByDeclarationOrByExplicitKindAndBindsOutputsWithFreshReferences) {
    std::uint32_t ref = 0;
    RefHost::Arg a = ParseCallArgument("path=C:\\x=y", kList, ref);
    EXPECT_EQ(a.kind, ScanEngine::Abi::kValueString);
    EXPECT_EQ(a.text, "C:\\x=y");
    a = ParseCallArgument("pid=0x10", kList, ref);
    EXPECT_EQ(a.kind, ScanEngine::Abi::kValueInteger);
    EXPECT_EQ(a.integer, 16);
    EXPECT_EQ(ParseCallArgument("pid=-1", kList, ref).integer, -1);
    EXPECT_EQ(ParseCallArgument("pid=18446744073709551615", kList, ref).integer, -1);
    a = ParseCallArgument("pid:str=a\\0b\\x41", kList, ref);
    EXPECT_EQ(a.kind, ScanEngine::Abi::kValueString);
    EXPECT_EQ(a.text, std::string("a\0bA", 4));
    EXPECT_EQ(ParseCallArgument("other:int=5", kList, ref).integer, 5);
    EXPECT_EQ(ParseCallArgument("path:undef", kList, ref).kind, ScanEngine::Abi::kValueUndefined);
    EXPECT_EQ(ref, 0u);

    // Outputs are bound with fresh references.
    a = ParseCallArgument("text=@", kList, ref);
    EXPECT_EQ(a.storage, ScanEngine::Abi::kStorageString);
    EXPECT_EQ(a.integer, 1);
    a = ParseCallArgument("length=@", kList, ref);
    EXPECT_EQ(a.storage, ScanEngine::Abi::kStorageInteger);
    EXPECT_EQ(a.integer, 2);
    a = ParseCallArgument("path=@int", kList, ref);
    EXPECT_EQ(a.storage, ScanEngine::Abi::kStorageInteger);
    EXPECT_EQ(a.kind, ScanEngine::Abi::kValueInteger);
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
    EXPECT_EQ(Unescape("a\\nb\\\\c\\x41\\q\\"), "a\nb\\cA\\q\\");
}

}  // namespace
}  // namespace OrvikCli
