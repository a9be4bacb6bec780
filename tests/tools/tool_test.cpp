// The tool as a user runs it: words in, exit code and the text on each stream out.
#include <gtest/gtest.h>

#include <cstdio>
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
    const auto write = [](const std::string& name, const char* text) {
        const std::string path = testing::TempDir() + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fputs(text, file);
        std::fclose(file);
        return path;
    };
    const std::string bytes = write("tool_test_bytes.txt", "a\xff\r\n");
    // State carries from call to call; the second expectation fails.
    const std::string suite = write("tool_test.suite", "# verdicts\r\nset_avc_verdict path=C:\\a id=1 value=-2 "
        "scan_depth=1 ttl=9\nget_avc_verdict path=C:\\a id=1 current_scan_depth=0 value=@\n\nexpect value=-2\n"
        "expect log missing\n");
    const std::string bad_suite = write("tool_test_bad.suite", "entropy text=a\nexpect\n");
    const std::string deep = write("tool_test_deep.json", (std::string(2000, '[') + std::string(2000, ']')).c_str());
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
        {{"call", "get_proc_snapshot", "snapshot=@"}, 3, "", "(did you mean 'proc_snapshot'?)"},
        {{"call", "get_process_info", "query_pid=12x"}, 3, "", "'12x' is not an integer"},
        {{"call", "entropy", "text=@float"}, 3, "", "a binding is @, @int or @str"},
        // JSON: kinds, level names, bytes that are not UTF-8 as hex.
        {{"call", "--json", "entropy", "text=ab", "length=@"}, 0,
         R"("result":100,"variables":[{"kind":"integer","name":"length","ref":1,"value":2}]})", ""},
        {{"call", "--json", "read_text_file", "path=" + bytes, "text=@"}, 0, R"("hex":"61ff0d0a")", ""},
        // A record the host received: its members, a text that is not UTF-8 as hex.
        {{"call", "--json", "--pid", "5", "--uid", "9", "on_significant_process_started", "identity=a\xff"}, 0,
         R"("args":[{"identity":{"hex":"61ff"},"process_id":5,"process_uid":9,"zero":0}])", ""},
        {{"call", "read_text_file", "path=" + bytes + ".missing", "text=@"}, 0, "log error: cannot open file for reading", ""},
        {{"describe", "get_avc_verdict"}, 0, "orvik call get_avc_verdict path=<string> [unique_file_id=<string>] id=<", ""},
        {{"describe", "--json", "entropy"}, 0, R"("direction":"out","kind":"integer","label":"LENGTH","name":"length")", ""},
        // The example is the function's first call in the example suite.
        {{"describe", "get_process_info"}, 0, "]\n    example: get_process_info query_pid=4242 image_filename=@ ", ""},
        {{"describe", "--json", "reg_parse_int"}, 0, R"("example":"reg_parse_int hex_input=01020000 value=@")", ""},
        {{"describe", "entrpy"}, 3, "", "no function 'entrpy' (did you mean 'entropy'?)"},
        {{"describe", "entropy"}, 0, "empty text); -1 if the call fails.\n    host services: none\n", ""},
        {{"describe", "--json", "delete_file"}, 0, R"("host_services":["ConvertNtPathToDosPath","RemoveFile"])", ""},
        // What changes the live machine is refused without leave; what the host would do is simulated.
        {{"call", "os_execute", "cmdline=cmd /c echo x"}, 2, "", "refused: os_execute changes the live machine"},
        {{"call", "inject_detect_terminate", "pid=1", "tid=1", "terminate=1"}, 2, "", "refused:"},
        {{"call", "terminate_process", "pid=1234"}, 0, "\nnote: simulated: the reference host did it in its own state only", ""},
        {{"describe", "hollow_detect_terminate"}, 0, "changes the live machine when terminate is not 0", ""},
        {{"call", "delete_file", "path=" + bytes}, 0, "deleted only with leave to change this machine", ""},
        // A real process answers the process cache: this one.
        {{"call", "--live", "get_process_info", "query_pid=" + std::to_string(GetCurrentProcessId()),
          "image_filename=@"}, 0, "tool_tests.exe\"\n", ""},
        // Suites.
        {{"run", suite}, 4, "FAILED " + suite + ":6: no log line contains 'missing'\n1 passed, 1 failed\n", ""},
        {{"run", bad_suite}, 3, "result: 0", bad_suite + ":2: an expectation is"},
        // A host-state file that cannot be read, or is no host state.
        {{"call", "--host-state", state + ".missing", "entropy", "text=a"}, 1, "", "cannot open"},
        {{"call", "--host-state", bytes, "entropy", "text=a"}, 1, "", "host state: not valid JSON"},
        {{"call", "--host-state", deep, "entropy", "text=a"}, 1, "", "host state: not valid JSON"},
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

// The committed reference is what `orvik doc` writes now.
TEST(Tool, CommittedReferenceIsCurrent) {
    Buffers console;
    ASSERT_EQ(OrvikCli::RunTool({"doc", "-"}, console), 0);
    std::FILE* file = std::fopen(ORVIK_SOURCE_DIR "/docs/functions.md", "rb");
    ASSERT_NE(file, nullptr) << "docs/functions.md is missing: run orvik doc";
    std::string committed(1 << 20, '\0');
    committed.resize(std::fread(committed.data(), 1, committed.size(), file));
    std::fclose(file);
    EXPECT_EQ(committed, console.out) << "docs/functions.md is stale: run orvik doc";
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
