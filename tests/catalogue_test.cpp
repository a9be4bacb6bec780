// Consistency of the argument name table and the function catalogue: every
// descriptor comes from the table, every list is well formed, and a few
// functions have exactly the shape their handlers rely on.

#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvik/context/argument_names.h"
#include "orvik/context/function_catalogue.h"

namespace ScanEngine {
namespace {

using Pair = std::pair<std::string, std::string>;

// Longest list in the catalogue has 18 arguments; anything beyond this bound
// means the terminator is missing.
constexpr std::size_t kMaxArguments = 32;

const char* const kJsonCategoriesLabel =
    "JSON string, e.g. {\"categories\":[\"interpreters\",\"browsers\",\"significant\"]}";

// The descriptors of a list up to (not including) its terminator. Fails the
// test when no terminator turns up within kMaxArguments entries.
std::vector<ArgumentDescriptor> Arguments(const FunctionEntry& entry) {
    std::vector<ArgumentDescriptor> out;
    for (std::size_t i = 0; i <= kMaxArguments; ++i) {
        const ArgumentDescriptor& d = entry.arguments[i];
        if (d.name == nullptr) return out;
        out.push_back(d);
    }
    ADD_FAILURE() << entry.name << ": no terminator within " << kMaxArguments << " descriptors";
    return out;
}

const FunctionEntry* FindFunction(std::string_view name) {
    for (const FunctionEntry& e : kFunctionCatalogue) {
        if (e.name != nullptr && name == e.name) return &e;
    }
    return nullptr;
}

std::set<Pair> TablePairs() {
    std::set<Pair> pairs;
    for (const ArgName& a : kArgumentNameTable) pairs.emplace(a.name, a.label);
    return pairs;
}

std::set<Pair> UsedPairs() {
    std::set<Pair> used;
    for (const FunctionEntry& e : kFunctionCatalogue) {
        for (const ArgumentDescriptor& d : Arguments(e)) used.emplace(d.name, d.label);
    }
    return used;
}

bool IsIdentifierText(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
}

bool IsUpperCaseLabel(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_')) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Argument name table

TEST(ArgumentNameTable, HoldsEveryPairExactlyOnce) {
    static_assert(kArgumentNameCount == 119);
    ASSERT_EQ(kArgumentNameTable.size(), 119u);
    std::set<Pair> seen;
    for (const ArgName& a : kArgumentNameTable) {
        ASSERT_NE(a.name, nullptr);
        ASSERT_NE(a.label, nullptr);
        EXPECT_TRUE(seen.emplace(a.name, a.label).second) << "pair listed twice: " << a.name << " / " << a.label;
    }
    EXPECT_EQ(seen.size(), 119u);
}

TEST(ArgumentNameTable, NamesAreIdentifiersAndLabelsUpperCase) {
    for (const ArgName& a : kArgumentNameTable) {
        EXPECT_TRUE(IsIdentifierText(a.name)) << a.name;
        if (std::string_view(a.name) == "process_categories") {
            EXPECT_STREQ(a.label, kJsonCategoriesLabel);
        } else {
            EXPECT_TRUE(IsUpperCaseLabel(a.label)) << a.name << " / " << a.label;
        }
    }
}

TEST(ArgumentNameTable, OnlyTheKnownNamesCarrySeveralLabels) {
    std::map<std::string, std::set<std::string>> labels_by_name;
    std::map<std::string, std::set<std::string>> names_by_label;
    for (const ArgName& a : kArgumentNameTable) {
        labels_by_name[a.name].insert(a.label);
        names_by_label[a.label].insert(a.name);
    }
    std::map<std::string, std::set<std::string>> multi;
    for (const auto& [name, labels] : labels_by_name) {
        if (labels.size() > 1) multi[name] = labels;
    }
    const std::map<std::string, std::set<std::string>> expected = {
        {"name", {"ENV_VAR_NAME", "UNIX_USERINFO_NAME", "WMI_CONSUMER_NAME"}},
        {"value", {"ENV_VAR_VALUE", "VALUE", "VERDICT_VALUE"}},
        {"cmdline", {"CHILD_PROCESS_CMDLINE", "PROCESS_COMMAND_LINE"}},
        {"file", {"FILE", "WMI_CONSUMER_FILE"}},
    };
    EXPECT_EQ(multi, expected);

    std::map<std::string, std::set<std::string>> shared_labels;
    for (const auto& [label, names] : names_by_label) {
        if (names.size() > 1) shared_labels[label] = names;
    }
    const std::map<std::string, std::set<std::string>> expected_shared = {
        {"PROCESS_UID", {"process_uid", "puid"}},
    };
    EXPECT_EQ(shared_labels, expected_shared);
}

TEST(DescriptorLists, EveryDescriptorUsesAPairOfTheTable) {
    const std::set<Pair> table = TablePairs();
    for (const FunctionEntry& e : kFunctionCatalogue) {
        for (const ArgumentDescriptor& d : Arguments(e)) {
            ASSERT_NE(d.label, nullptr) << e.name << "." << d.name;
            EXPECT_TRUE(table.count(Pair(d.name, d.label))) << e.name << ": " << d.name << " / " << d.label;
        }
    }
}

TEST(DescriptorLists, ExactlySixPairsAreUnused) {
    const std::set<Pair> used = UsedPairs();
    std::set<Pair> unused;
    for (const Pair& p : TablePairs()) {
        if (!used.count(p)) unused.insert(p);
    }
    const std::set<Pair> expected = {
        {"authority1", "AUTHORITY1"}, {"authority2", "AUTHORITY2"}, {"authority3", "AUTHORITY3"},
        {"pos", "POS"},               {"substr", "SUBSTR"},         {"teamid", "TEAM_ID"},
    };
    EXPECT_EQ(unused, expected);
    EXPECT_EQ(used.size(), 113u);
}

TEST(DescriptorLists, TotalsOverTheCatalogue) {
    // Sum over all 79 rows (the shared list counts for both of its rows).
    std::size_t total = 0, required = 0, outputs = 0, strings = 0;
    for (const FunctionEntry& e : kFunctionCatalogue) {
        for (const ArgumentDescriptor& d : Arguments(e)) {
            ++total;
            if (d.required) ++required;
            if (!d.input) ++outputs;
            if (d.value_kind == ArgKind::String) ++strings;
        }
    }
    EXPECT_EQ(total, 235u);
    EXPECT_EQ(required, 158u);
    EXPECT_EQ(outputs, 75u);
    EXPECT_EQ(strings, 99u);
}

// ---------------------------------------------------------------------------
// Function catalogue

TEST(FunctionCatalogue, HasAllFunctionsInIdOrder) {
    ASSERT_EQ(kFunctionCatalogue.size(), 79u);
    EXPECT_EQ(static_cast<std::size_t>(FunctionId::alert), 0u);
    EXPECT_EQ(static_cast<std::size_t>(FunctionId::set_process_logging), 78u);
    std::set<std::string> names;
    for (const FunctionEntry& e : kFunctionCatalogue) {
        ASSERT_NE(e.name, nullptr);
        ASSERT_NE(e.arguments, nullptr) << e.name;
        EXPECT_TRUE(names.insert(e.name).second) << "duplicate function " << e.name;
    }
    const std::vector<std::pair<FunctionId, std::string>> spots = {
        {FunctionId::alert, "alert"},
        {FunctionId::check_corporate_whitelist, "check_corporate_whitelist"},
        {FunctionId::get_file_attributes, "get_file_attributes"},
        {FunctionId::get_unix_group_info, "get_unix_group_info"},
        {FunctionId::get_unix_user_info, "get_unix_user_info"},
        {FunctionId::send_telemetry, "send_telemetry"},
        {FunctionId::whitelist_process, "whitelist_process"},
        {FunctionId::check_is_uwp, "check_is_uwp"},
        {FunctionId::reg_read_string, "reg_read_string"},
        {FunctionId::set_process_logging, "set_process_logging"},
    };
    for (const auto& [id, name] : spots) EXPECT_EQ(CatalogueEntry(id).name, name);
    EXPECT_EQ(static_cast<std::size_t>(FunctionId::get_unix_group_info), 22u);
    EXPECT_EQ(static_cast<std::size_t>(FunctionId::check_is_uwp), 56u);
}

TEST(FunctionCatalogue, UnixGroupAndUserInfoShareOneList) {
    const FunctionEntry& group = CatalogueEntry(FunctionId::get_unix_group_info);
    const FunctionEntry& user = CatalogueEntry(FunctionId::get_unix_user_info);
    EXPECT_EQ(group.arguments, user.arguments);
    const std::vector<ArgumentDescriptor> args = Arguments(user);
    ASSERT_EQ(args.size(), 5u);
    EXPECT_STREQ(args[0].name, "uid");
    EXPECT_TRUE(args[0].required);
    EXPECT_STREQ(args[1].name, "name");
    EXPECT_STREQ(args[1].label, "UNIX_USERINFO_NAME");
    EXPECT_EQ(args[1].address_kind, AddressKind::StringOutput);
    EXPECT_EQ(args[4].address_kind, AddressKind::IntegerOutput);
    // No other two rows share a list.
    std::set<const ArgumentDescriptor*> lists;
    for (const FunctionEntry& e : kFunctionCatalogue) lists.insert(e.arguments);
    EXPECT_EQ(lists.size(), 78u);
}

TEST(FunctionCatalogue, ProcessInfoHasEighteenOptionalArguments) {
    const FunctionEntry* e = FindFunction("get_process_info");
    ASSERT_NE(e, nullptr);
    const std::vector<ArgumentDescriptor> args = Arguments(*e);
    ASSERT_EQ(args.size(), 18u);
    for (const ArgumentDescriptor& d : args) EXPECT_FALSE(d.required) << d.name;
    EXPECT_STREQ(args[0].name, "query_pid");
    EXPECT_TRUE(args[0].input);
    EXPECT_STREQ(args[1].name, "query_puid");
    EXPECT_STREQ(args[1].label, "QUERY_UID");
    EXPECT_TRUE(args[1].input);
    EXPECT_STREQ(args[8].name, "cmdline");
    EXPECT_STREQ(args[8].label, "PROCESS_COMMAND_LINE");
    EXPECT_EQ(args[8].address_kind, AddressKind::StringOutput);
    EXPECT_STREQ(args[17].name, "cwd");
    EXPECT_EQ(args[17].address_kind, AddressKind::StringOutput);
    for (std::size_t i = 2; i < args.size(); ++i) EXPECT_FALSE(args[i].input) << args[i].name;
}

TEST(FunctionCatalogue, SendTelemetryHasThirteenArgumentsEightRequired) {
    const std::vector<ArgumentDescriptor> args = Arguments(CatalogueEntry(FunctionId::send_telemetry));
    ASSERT_EQ(args.size(), 13u);
    std::size_t required = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].required) ++required;
        EXPECT_EQ(args[i].required, i < 8) << args[i].name;
        EXPECT_TRUE(args[i].input) << args[i].name;
    }
    EXPECT_EQ(required, 8u);
    EXPECT_STREQ(args[2].name, "silent");
    EXPECT_STREQ(args[2].label, "IS_SLIENT");
    EXPECT_EQ(args[2].value_kind, ArgKind::Integer);
    EXPECT_STREQ(args[7].name, "cmdline");
    EXPECT_STREQ(args[7].label, "PROCESS_COMMAND_LINE");
    EXPECT_EQ(args[7].value_kind, ArgKind::String);
    EXPECT_STREQ(args[12].name, "file_critical");
    EXPECT_EQ(args[12].value_kind, ArgKind::Integer);
}

TEST(FunctionCatalogue, AlertSeventhArgumentIsOptionalFileSize) {
    const std::vector<ArgumentDescriptor> args = Arguments(CatalogueEntry(FunctionId::alert));
    ASSERT_EQ(args.size(), 11u);
    const ArgumentDescriptor& d = args[6];
    EXPECT_STREQ(d.name, "file_size");
    EXPECT_STREQ(d.label, "FILE_SIZE");
    EXPECT_EQ(d.value_kind, ArgKind::Integer);
    EXPECT_EQ(d.address_kind, AddressKind::Input);
    EXPECT_TRUE(d.input);
    EXPECT_FALSE(d.required);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_TRUE(args[i].required) << args[i].name;
    EXPECT_STREQ(args[1].name, "rule");
    EXPECT_EQ(args[1].value_kind, ArgKind::Integer);
}

TEST(FunctionCatalogue, ProcessCategoriesOutputCarriesTheJsonLabel) {
    const std::vector<ArgumentDescriptor> args = Arguments(CatalogueEntry(FunctionId::get_process_categories));
    ASSERT_EQ(args.size(), 2u);
    EXPECT_STREQ(args[0].name, "file_name");
    EXPECT_EQ(args[0].value_kind, ArgKind::String);
    EXPECT_STREQ(args[1].name, "process_categories");
    EXPECT_STREQ(args[1].label, kJsonCategoriesLabel);
    EXPECT_EQ(args[1].address_kind, AddressKind::StringOutput);
    EXPECT_TRUE(args[1].required);
}

TEST(FunctionCatalogue, SameNameDifferentLabelsAreUsedWhereExpected) {
    struct Case {
        FunctionId id;
        std::size_t index;
        const char* name;
        const char* label;
        AddressKind address;
    };
    const std::vector<Case> cases = {
        {FunctionId::os_getenv, 0, "name", "ENV_VAR_NAME", AddressKind::Input},
        {FunctionId::os_getenv, 1, "value", "ENV_VAR_VALUE", AddressKind::StringOutput},
        {FunctionId::os_execute, 0, "cmdline", "CHILD_PROCESS_CMDLINE", AddressKind::Input},
        {FunctionId::reg_parse_int, 1, "value", "VALUE", AddressKind::IntegerOutput},
        {FunctionId::get_avc_verdict, 3, "value", "VERDICT_VALUE", AddressKind::IntegerOutput},
        {FunctionId::set_avc_verdict, 3, "value", "VERDICT_VALUE", AddressKind::Input},
        {FunctionId::disable_ep_file, 0, "file", "FILE", AddressKind::Input},
        {FunctionId::get_consumer_payload, 1, "name", "WMI_CONSUMER_NAME", AddressKind::Input},
        {FunctionId::get_consumer_payload, 2, "file", "WMI_CONSUMER_FILE", AddressKind::StringOutput},
        {FunctionId::is_in_user_allowlist, 1, "puid", "PROCESS_UID", AddressKind::Input},
        {FunctionId::get_process_info, 3, "process_uid", "PROCESS_UID", AddressKind::IntegerOutput},
        {FunctionId::is_exploit_prevention_technique_enabled, 0, "id", "ID", AddressKind::Input},
    };
    for (const Case& c : cases) {
        const FunctionEntry& e = CatalogueEntry(c.id);
        const std::vector<ArgumentDescriptor> args = Arguments(e);
        ASSERT_LT(c.index, args.size()) << e.name;
        EXPECT_STREQ(args[c.index].name, c.name) << e.name;
        EXPECT_STREQ(args[c.index].label, c.label) << e.name;
        EXPECT_EQ(args[c.index].address_kind, c.address) << e.name << "." << c.name;
    }
    // The one string-valued "id" among the integer ones.
    EXPECT_EQ(Arguments(CatalogueEntry(FunctionId::is_exploit_prevention_technique_enabled))[0].value_kind,
              ArgKind::String);
    EXPECT_EQ(Arguments(CatalogueEntry(FunctionId::get_avc_verdict))[2].value_kind, ArgKind::Integer);
}

}  // namespace
}  // namespace ScanEngine
