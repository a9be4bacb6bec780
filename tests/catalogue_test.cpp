// Consistency of the argument name table and the function catalogue: every
// descriptor comes from the table, totals catch a mistyped row, and the
// functions share lists only where they must.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "orvik/context/argument_names.h"
#include "orvik/context/function_catalogue.h"

namespace ScanEngine {
namespace {

using Pair = std::pair<std::string, std::string>;

std::vector<ArgumentDescriptor> Arguments(FunctionId id) {
    std::vector<ArgumentDescriptor> out;
    for (const ArgumentDescriptor* d = CatalogueEntry(id).arguments; d->name != nullptr; ++d) out.push_back(*d);
    return out;
}

TEST(ArgumentNameTable, HoldsEveryPairOnceAndOnlyTheKnownNamesCarrySeveralLabels) {
    std::set<Pair> pairs;
    std::map<std::string, std::set<std::string>> labels_of, names_of;
    for (const ArgName& a : kArgumentNameTable) {
        EXPECT_TRUE(pairs.emplace(a.name, a.label).second) << a.name << " / " << a.label;
        labels_of[a.name].insert(a.label);
        names_of[a.label].insert(a.name);
    }
    EXPECT_EQ(pairs.size(), 119u);
    std::map<std::string, std::set<std::string>> several_labels, several_names;
    for (const auto& [name, labels] : labels_of)
        if (labels.size() > 1) several_labels[name] = labels;
    for (const auto& [label, names] : names_of)
        if (names.size() > 1) several_names[label] = names;
    EXPECT_EQ(several_labels, (std::map<std::string, std::set<std::string>>{
                                  {"cmdline", {"CHILD_PROCESS_CMDLINE", "PROCESS_COMMAND_LINE"}},
                                  {"file", {"FILE", "WMI_CONSUMER_FILE"}},
                                  {"name", {"ENV_VAR_NAME", "UNIX_USERINFO_NAME", "WMI_CONSUMER_NAME"}},
                                  {"value", {"ENV_VAR_VALUE", "VALUE", "VERDICT_VALUE"}}}));
    EXPECT_EQ(several_names, (std::map<std::string, std::set<std::string>>{{"PROCESS_UID", {"process_uid", "puid"}}}));
}

TEST(DescriptorLists, UseTablePairsAndAddUpToTheCatalogue) {
    std::set<Pair> table, used;
    for (const ArgName& a : kArgumentNameTable) table.emplace(a.name, a.label);
    std::size_t total = 0, required = 0, outputs = 0, string_outputs = 0, strings = 0;
    for (std::size_t i = 0; i < kFunctionCount; ++i) {
        for (const ArgumentDescriptor& d : Arguments(static_cast<FunctionId>(i))) {
            EXPECT_TRUE(table.count({d.name, d.label})) << kFunctionCatalogue[i].name << ": " << d.name;
            used.emplace(d.name, d.label);
            ++total;
            required += d.required;
            outputs += !d.input;
            string_outputs += d.address_kind == AddressKind::StringOutput;  // the tool binds by it
            strings += d.value_kind == ArgKind::String;
        }
    }
    // A dropped, added or mistyped argument anywhere changes one of these.
    EXPECT_EQ(total, 235u);
    EXPECT_EQ(required, 158u);
    EXPECT_EQ(outputs, 75u);
    EXPECT_EQ(string_outputs, 43u);
    EXPECT_EQ(strings, 99u);

    std::set<Pair> unused;
    for (const Pair& p : table)
        if (!used.count(p)) unused.insert(p);
    EXPECT_EQ(unused, (std::set<Pair>{{"authority1", "AUTHORITY1"},
                                      {"authority2", "AUTHORITY2"},
                                      {"authority3", "AUTHORITY3"},
                                      {"pos", "POS"},
                                      {"substr", "SUBSTR"},
                                      {"teamid", "TEAM_ID"}}));
}

TEST(FunctionCatalogue, OnlyTheUnixAccountFunctionsShareAList) {
    EXPECT_EQ(CatalogueEntry(FunctionId::get_unix_group_info).arguments,
              CatalogueEntry(FunctionId::get_unix_user_info).arguments);
    std::set<const ArgumentDescriptor*> lists;
    std::set<std::string> names;
    for (const FunctionEntry& e : kFunctionCatalogue) {
        lists.insert(e.arguments);
        names.insert(e.name);
    }
    EXPECT_EQ(lists.size(), 78u);
    EXPECT_EQ(names.size(), 79u);
}

}  // namespace
}  // namespace ScanEngine
