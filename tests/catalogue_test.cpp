// The declared interface against the one rules are written to, in brief: no
// check at compile time can tell a required argument from an optional one,
// or which outputs are strings (the tool binds by that), so the totals over
// all functions, counted from the documented argument lists, catch a
// mistyped row.
#include <gtest/gtest.h>

#include "orvik/context/function_catalogue.h"

namespace ScanEngine {
namespace {

TEST(FunctionCatalogue, DeclaresTheDocumentedNumbersOfEachKindOfArgument) {
    std::size_t total = 0, required = 0, outputs = 0, string_outputs = 0, strings = 0;
    for (const FunctionEntry& entry : kFunctionCatalogue) {
        for (const ArgumentDescriptor* d = entry.arguments; d->name != nullptr; ++d) {
            ++total;
            required += d->required;
            outputs += !d->input;
            string_outputs += d->address_kind == AddressKind::StringOutput;
            strings += d->value_kind == ArgKind::String;
        }
    }
    EXPECT_EQ(total, 235u);
    EXPECT_EQ(required, 158u);
    EXPECT_EQ(outputs, 75u);
    EXPECT_EQ(string_outputs, 43u);
    EXPECT_EQ(strings, 99u);
}

}  // namespace
}  // namespace ScanEngine
