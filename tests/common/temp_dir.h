// A fresh folder under the temporary directory for one test, removed with
// everything in it when the test ends.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/utf.h"

namespace test {

class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> serial{0};
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        std::wstring wide;
        do wide = temp + (L"orvik-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++));
        while (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
        path_ = Common::WideToUtf8(wide.data(), wide.size());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(Wide(""), ignored);
    }

    // The folder, with `name` appended after a backslash if given.
    std::string Path(const std::string& name = "") const { return name.empty() ? path_ : path_ + "\\" + name; }
    // Creates (or replaces) a file with exactly `content`.
    void WriteFile(const std::string& name, const std::string& content) const {
        std::ofstream(Wide(name).c_str(), std::ios::binary) << content;
        ASSERT_EQ(ReadFile(name), content);
    }
    // The current content of a file, "<missing>" when it cannot be opened.
    std::string ReadFile(const std::string& name) const {
        std::ifstream file(Wide(name).c_str(), std::ios::binary);
        return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<missing>";
    }
    void MakeDir(const std::string& name) const { ASSERT_TRUE(CreateDirectoryW(Wide(name).c_str(), nullptr)); }

private:
    // Prefixed, as tests go beyond the classic path limit.
    std::wstring Wide(const std::string& name) const { return Common::Utf8ToWide(("\\\\?\\" + Path(name)).c_str()); }

    std::string path_;
};

}  // namespace test
