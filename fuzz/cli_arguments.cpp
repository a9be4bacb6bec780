// The tool's argument words: a bad word is refused with invalid_argument alone; a good one keeps its name and takes
// one variable per binding; integers and quoted texts read back as written (plain texts verbatim, escaped ones
// through Unescape, which undoes Quote).
#include <stdexcept>

#include "fuzz_check.h"
#include "tools/orvik_cli/cli_arguments.h"

using namespace ScanEngine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr ArgumentDescriptor kDeclared[] = {InInteger({"n", ""}, kRequired), InString({"s", ""}, kOptional),
                                                       OutInteger({"oi", ""}, kOptional), OutString({"os", ""}, kOptional),
                                                       kEndOfArguments};
    FuzzedDataProvider in(data, size);
    const auto number = in.ConsumeIntegral<std::int64_t>();
    const std::string word = in.ConsumeRandomLengthString(64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    const std::string quoted = OrvikCli::Quote(bytes);
    FUZZ_CHECK(quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"');
    const std::string inside = quoted.substr(1, quoted.size() - 2);
    FUZZ_CHECK(OrvikCli::Unescape(inside) == bytes);
    std::uint32_t ref = 0;
    FUZZ_CHECK(OrvikCli::ParseCallArgument("n=" + std::to_string(number), kDeclared, ref).integer == number);
    FUZZ_CHECK(OrvikCli::ParseCallArgument("x:esc=" + inside, kDeclared, ref).text == bytes && ref == 0);
    if (!inside.starts_with('@'))  // a plain value is taken as it stands; "@..." asks for a binding
        FUZZ_CHECK(OrvikCli::ParseCallArgument("s=" + inside, kDeclared, ref).text == inside && ref == 0);
    try {
        const RefHost::Arg arg = OrvikCli::ParseCallArgument(word, kDeclared, ref);
        FUZZ_CHECK(!arg.name.empty() && word.starts_with(arg.name) && arg.name.find_first_of(":=") == std::string::npos);
        FUZZ_CHECK(arg.storage == 0 ? ref == 0 : ref == 1 && arg.integer == 1);
    } catch (const std::invalid_argument&) {
        FUZZ_CHECK(ref == 0);
    }
    return 0;
}
