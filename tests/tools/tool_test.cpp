// The tool as a user runs it: words in, exit code and the text on each stream out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/format_string.h"
#include "common/utf.h"
#include "host/loaded_module.h"
#include "tools/orvik_cli/tool.h"

namespace {

struct Buffers : OrvikCli::Console {
    std::string out, err;
    void Out(std::string_view text) override { out += text; }
    void Err(std::string_view text) override { err += text; }
};

TEST(Tool, WordsGiveOutputAndExitCode) {
    struct Case {
        std::vector<std::string> words;
        int code;
        std::string out, err;  // a part of each stream ("" for an empty stream)
    };
    const std::string state = ORVIK_SOURCE_DIR "/examples/host-state.json";
    const Case cases[] = {
        // A Windows path arrives as typed: 15 characters, no tab, line feed or 'A'.
        {{"call", "entropy", "text=C:\\temp\\new\\x41", "length=@"}, 0, "variable length (ref 1) = 15\n", ""},
        {{"call", "entropy", "text:str=C:\\n", "length=@"}, 0, "variable length (ref 1) = 4\n", ""},
        {{"call", "entropy", "text:esc=a\\tb\\x41", "length=@"}, 0, "variable length (ref 1) = 4\n", ""},
        {{"call", "--host-state", state, "get_process_info", "query_pid=4242", "process_user_sid=@"}, 0,
         "variable process_user_sid (ref 1) = \"S-1-5-21-1-2-3-1000\"", ""},
        {{"--help"}, 0, "exit codes:", ""},
        {{"list", "*_avc_v*"}, 0, "get_avc_verdict\n", ""},
        {{"list", "ENTROPY"}, 0, "1 of ", ""},
        // Usage: to standard error, with the near name where there is one.
        {{}, 2, "", "usage:"},
        {{"lst"}, 2, "", "unknown command 'lst' (did you mean 'list'?)"},
        {{"call", "--pdi", "1", "entropy"}, 2, "", "(did you mean '--pid'?)"},
        {{"call", "--pid"}, 2, "", "--pid needs a value"},
        {{"call"}, 2, "", "call needs a function name"},
        // Malformed calls.
        {{"call", "entrop", "text=a"}, 3, "", "no function 'entrop' is registered (did you mean 'entropy'?)"},
        {{"call", "entropy", "txt=a"}, 3, "", "argument 'txt' is not declared (did you mean 'text'?)"},
        {{"call", "entropy", "zzzz=a"}, 3, "", "zzzz:int=... or zzzz:str=..."},
        {{"call", "get_process_info", "query_pid=12x"}, 3, "", "'12x' is not an integer"},
        {{"call", "entropy", "text=@float"}, 3, "", "a binding is @, @int or @str"},
        // A host-state file that cannot be read.
        {{"call", "--host-state", state + ".missing", "entropy", "text=a"}, 1, "", "cannot open"},
    };
    for (const Case& c : cases) {
        Buffers console;
        const std::string words = testing::PrintToString(c.words);
        EXPECT_EQ(OrvikCli::RunTool(c.words, console), c.code) << words << console.err;
        for (const auto& [stream, part] : {std::pair{&console.out, c.out}, std::pair{&console.err, c.err}}) {
            if (part.empty()) EXPECT_EQ(*stream, "") << words;
            else EXPECT_NE(stream->find(part), std::string::npos) << words << ": " << *stream;
        }
    }
}

// Both words print the version that the built DLL's resource gives, as numbers and as text.
TEST(Tool, VersionIsTheDllsVersionResource) {
    const std::wstring dll = RefHost::DefaultModulePath();
    std::vector<char> block(GetFileVersionInfoSizeW(dll.c_str(), nullptr) + 1);
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, block.size(), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    wchar_t* text = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    const std::string version = Common::FormatString("%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                                                     LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS));
    for (const std::wstring name : {L"FileVersion", L"ProductVersion"}) {
        const std::wstring query = L"\\StringFileInfo\\040904b0\\" + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &size));
        EXPECT_EQ(Common::WideToUtf8(text, size - 1), version);
    }
    for (const char* word : {"--version", "version"}) {
        Buffers console;
        EXPECT_EQ(OrvikCli::RunTool({word}, console), 0);
        EXPECT_EQ(console.out, "orvik " + version + "\n") << word;
    }
}

}  // namespace
