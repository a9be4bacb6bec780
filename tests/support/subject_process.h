// A test subject process (orvik_subject.exe, built with the tests): started
// with the features a test asks for, examined, then terminated when the
// holder ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "common/unique_handle.h"

namespace OrvikTest {

class SubjectProcess {
public:
    // Starts the subject with these arguments and waits until it reports
    // ready; throws std::runtime_error when it does not.
    explicit SubjectProcess(const std::vector<std::string>& features);
    SubjectProcess(const SubjectProcess&) = delete;
    SubjectProcess& operator=(const SubjectProcess&) = delete;
    ~SubjectProcess();

    std::uint32_t Pid() const { return pid_; }
    HANDLE Handle() const { return process_.Get(); }
    // A value the subject reported ("rwx_spin_address", "listen_port", ...),
    // printed in decimal or (addresses) in hex.
    std::uint64_t Number(const std::string& key) const { return std::stoull(values_.at(key), nullptr, 10); }
    std::uint64_t Address(const std::string& key) const { return std::stoull(values_.at(key), nullptr, 16); }

    // The subject executable's full path.
    static std::wstring ExecutablePath();

private:
    void Close();

    Common::UniqueHandle process_;
    Common::UniqueHandle input_;  // closing it lets the subject end by itself
    std::uint32_t pid_ = 0;
    std::map<std::string, std::string> values_;
};

// A copy of a DLL that lies next to the tests, in a folder of `dir` whose
// path is longer than MAX_PATH: its path, for a subject to load.
std::string LongPathCopy(const test::TempDir& dir, const std::string& name);

}  // namespace OrvikTest
