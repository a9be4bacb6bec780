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

std::vector<std::string> LogLines(const std::vector<RefHost::LogLine>& log) {
    std::vector<std::string> lines;
    for (const auto& line : log) lines.push_back(std::to_string(line.level) + ":" + line.text);
    return lines;
}

std::string MalformedLine(const std::string& function, const std::string& text) {
    return "2:Malformed functional call '" + function + "': " + text;
}

}  // namespace OrvikTest
