// A test fixture that loads the built module into a fresh reference host.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/loaded_module.h"

namespace OrvikTest {

using RefHost::Arg;
using RefHost::CallResult;
using Strings = std::vector<std::string>;
using Vars = std::map<std::uint32_t, std::string>;

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = std::make_unique<RefHost::LoadedModule>();
        ASSERT_EQ(module_->Init(engine_), 0);
    }
    // Every host object handed out during the test was released exactly once.
    void TearDown() override {
        module_.reset();
        EXPECT_EQ(engine_.Services().Objects().Live(), 0) << "host objects left unreleased";
        EXPECT_EQ(engine_.Services().Objects().DoubleReleases(), 0) << "host objects released twice";
    }

    RefHost::HostServices& Host() { return engine_.Services(); }
    std::unique_ptr<RefHost::HostCallContext> NewCall() {
        return std::make_unique<RefHost::HostCallContext>(engine_.Services().Objects());
    }
    CallResult Call(const std::string& name, const std::vector<Arg>& args) { return module_->Call(name, args); }
    CallResult Call(const std::string& name, const std::vector<Arg>& args, RefHost::HostCallContext& call) {
        return module_->Call(name, args, call);
    }

    RefHost::HostEngine engine_;
    std::unique_ptr<RefHost::LoadedModule> module_;
};

// The log as "level:text" lines, for compact assertions.
inline Strings LogLines(const std::vector<RefHost::LogLine>& log) {
    Strings lines;
    for (const auto& line : log) lines.push_back(std::to_string(line.level) + ":" + line.text);
    return lines;
}
// The text of the single level-2 failure line of a malformed call.
inline std::string MalformedLine(const std::string& function, const std::string& text) {
    return "2:Malformed functional call '" + function + "': " + text;
}
// The variables after a call, as "i:<integer>" or "s:<text>".
inline Vars Written(const CallResult& r) {
    Vars out;
    for (const auto& [ref, v] : r.variables)
        out[ref] = v.kind == RefHost::Variable::Kind::Integer ? "i:" + std::to_string(v.integer) : "s:" + v.text;
    return out;
}

}  // namespace OrvikTest
