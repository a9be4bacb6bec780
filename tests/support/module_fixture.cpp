#include "module_fixture.h"

namespace OrvikTest {

void ModuleTest::SetUp() {
    module_ = std::make_unique<RefHost::LoadedModule>();
    ASSERT_EQ(module_->Init(engine_), 0);
}

void ModuleTest::TearDown() {
    module_.reset();
    EXPECT_EQ(engine_.Services().Objects().Live(), 0) << "host objects left unreleased";
    EXPECT_EQ(engine_.Services().Objects().DoubleReleases(), 0) << "host objects released twice";
}

std::unique_ptr<RefHost::HostCallContext> ModuleTest::NewCall() {
    return std::make_unique<RefHost::HostCallContext>(engine_.Services().Objects());
}

Strings LogLines(const std::vector<RefHost::LogLine>& log) {
    Strings lines;
    for (const auto& line : log) lines.push_back(std::to_string(line.level) + ":" + line.text);
    return lines;
}

std::string MalformedLine(const std::string& function, const std::string& text) {
    return "2:Malformed functional call '" + function + "': " + text;
}

Vars Written(const CallResult& r) {
    Vars out;
    for (const auto& [ref, v] : r.variables)
        out[ref] = v.kind == RefHost::Variable::Kind::Integer ? "i:" + std::to_string(v.integer) : "s:" + v.text;
    return out;
}

}  // namespace OrvikTest
