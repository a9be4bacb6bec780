// orvik: the rule writers' tool (tool.h) as a Windows program.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/utf.h"
#include "tool.h"

namespace {

class StandardConsole : public OrvikCli::Console {
public:
    void Out(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
    void Err(std::string_view text) override {
        std::fflush(stdout);  // what was said before the error stays before it
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(Common::WideToUtf8(argv[i], std::wcslen(argv[i])));
    StandardConsole console;
    return OrvikCli::RunTool(words, console);
}
