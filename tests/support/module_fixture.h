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
    void SetUp() override;
    // Every host object handed out during the test was released exactly once.
    void TearDown() override;

    RefHost::HostServices& Host() { return engine_.Services(); }
    std::unique_ptr<RefHost::HostCallContext> NewCall();
    CallResult Call(const std::string& name, const std::vector<Arg>& args) { return module_->Call(name, args); }
    CallResult Call(const std::string& name, const std::vector<Arg>& args, RefHost::HostCallContext& call) {
        return module_->Call(name, args, call);
    }

    RefHost::HostEngine engine_;
    std::unique_ptr<RefHost::LoadedModule> module_;
};

// The log as "level:text" lines, for compact assertions.
Strings LogLines(const std::vector<RefHost::LogLine>& log);
// The text of the single level-2 failure line of a malformed call.
std::string MalformedLine(const std::string& function, const std::string& text);
// The variables after a call, as "i:<integer>" or "s:<text>".
Vars Written(const CallResult& r);

}  // namespace OrvikTest
