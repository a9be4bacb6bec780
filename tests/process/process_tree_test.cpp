// Process tree, process categories and terminability through the module.
#include <gtest/gtest.h>

#include "support/call_args.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

namespace Abi = ScanEngine::Abi;

std::vector<Arg> TreeArgs(std::int64_t pid, std::int64_t start_time) {
    return {Arg::Int("pid", pid), Arg::Int("start_time", start_time), Arg::OutStr("process_tree_json", 1)};
}
std::vector<Arg> CategoriesArgs(const std::string& file_name) {
    return {Arg::Str("file_name", file_name), Arg::OutStr("process_categories", 1)};
}

// What the rule got: the text variable, then any failure's result and log.
std::string Outcome(const CallResult& r) {
    std::string outcome = r.variables.count(1) ? r.variables.at(1).text : "(unset)";
    if (r.result != 0 || !r.log.empty()) outcome += " / " + std::to_string(r.result);
    for (const auto& line : r.log) outcome += " / " + line.text;
    return outcome;
}

using ProcessTree = ModuleTest;

TEST_F(ProcessTree, TextsAreCopiedWithTheirExactLengthFailuresLeaveTheVariableAloneAndTerminabilityIsAsked) {
    const std::string tree("{\"name\":\"a\0b\"}", 14);
    const std::string categories = "{\"categories\":[\"interpreters\"]}";
    {
        auto lock = Host().Lock();
        Host().State().process_trees[{5, 0x100000001ull}] = tree;
        Host().State().process_categories["powershell.exe"] = categories;
    }
    EXPECT_EQ(Outcome(Call("get_process_tree_json", TreeArgs(0x100000005, 0x100000001))), tree);
    EXPECT_EQ(HostArgs(Host(), "GetProcessTreeJson"), (Strings{"5", "4294967297", "(ptr)"}));
    Host().ForceResult("GetProcessTreeJson", -5);
    EXPECT_EQ(Outcome(Call("get_process_tree_json", TreeArgs(5, 0x100000001))), "(unset) / -5");

    EXPECT_EQ(Outcome(Call("get_process_categories", CategoriesArgs("powershell.exe"))), categories);
    EXPECT_EQ(HostArgs(Host(), "GetProcessCategories"), (Strings{"powershell.exe", "(ptr)"}));

    // Terminability is the host's answer for the file name.
    Host().ForceResult("IsProcessTerminable", -7);
    EXPECT_EQ(Call("is_process_terminable", {Arg::Str("file_name", "NOTEPAD.EXE")}).result, -7);
    EXPECT_EQ(HostArgs(Host(), "IsProcessTerminable"), Strings{"NOTEPAD.EXE"});
}

TEST_F(ProcessTree, SuccessWithoutAnAnswerIsAFailureAndEveryBufferIsReleased) {
    static Abi::ProcessTreeAnswer* tree;
    static RefHost::HostServices* host;
    static std::int32_t categories_status;
    tree = nullptr, host = &Host(), categories_status = 0;
    engine_.ServiceInterface()->GetProcessTreeJson = [](Abi::ServiceInterface*, std::uint32_t, std::uint64_t,
                                                        Abi::ProcessTreeAnswer** out) {
        *out = tree;
        return 0;
    };
    // A failure comes with a buffer, a success without one.
    engine_.ServiceInterface()->GetProcessCategories = [](Abi::ServiceInterface*, const char*, Abi::SizedBuffer** out) {
        if (categories_status != 0) *out = &host->Objects().Make<RefHost::SizedBufferObject>("{}")->abi;
        return categories_status;
    };
    const std::string failure = "(unset) / -1 / Malformed functional call 'get_process_tree_json': host reported a "
                                "process tree ";
    EXPECT_EQ(Outcome(Call("get_process_tree_json", TreeArgs(1, 1))), failure + "but gave none");
    Abi::ProcessTreeAnswer answer{nullptr, 12};
    tree = &answer;
    EXPECT_EQ(Outcome(Call("get_process_tree_json", TreeArgs(1, 1))), failure + "without its text");
    answer.length = 0;  // no text and no length: simply an empty tree
    EXPECT_EQ(Outcome(Call("get_process_tree_json", TreeArgs(1, 1))), "");

    EXPECT_EQ(Outcome(Call("get_process_categories", CategoriesArgs("a.exe"))),
              "(unset) / -1 / Malformed functional call 'get_process_categories': host reported process categories "
              "but gave no readable buffer");
    categories_status = 5;
    EXPECT_EQ(Outcome(Call("get_process_categories", CategoriesArgs("a.exe"))), "(unset) / 5");
    EXPECT_EQ(Host().Objects().Live(), 0) << "a buffer handed with a failure is released too";
}

}  // namespace
}  // namespace OrvikTest
