// A fresh folder under the temporary directory for one test, removed with
// everything in it when the test ends.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "common/utf.h"

namespace test {

class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> serial{0};
        wchar_t base[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, base);
        EXPECT_GT(length, 0u);
        // Process id, tick count and a serial keep parallel runs apart.
        for (;;) {
            std::wstring candidate = std::wstring(base, length) + L"orvik-" +
                                     std::to_wstring(GetCurrentProcessId()) + L"-" +
                                     std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(serial++);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) {
                path_ = std::move(candidate);
                break;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS) {
                ADD_FAILURE() << "cannot create a temporary folder: " << GetLastError();
                break;
            }
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        if (!path_.empty()) RemoveTree(path_);
    }

    const std::wstring& Wide() const { return path_; }
    // The folder as UTF-8, with `name` appended after a backslash if given.
    std::string Path(const std::string& name = "") const {
        std::string utf8 = Common::WideToUtf8(path_.data(), path_.size());
        return name.empty() ? utf8 : utf8 + "\\" + name;
    }

    // Creates (or replaces) a file with exactly `content`.
    void WriteFile(const std::string& name, const std::string& content) const {
        const std::wstring wide = Common::Utf8ToWide(Path(name).c_str());
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        const BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(ok);
        ASSERT_EQ(written, content.size());
    }

    // The current content of a file ("<missing>" when it cannot be opened).
    std::string ReadFile(const std::string& name) const {
        const std::wstring wide = Common::Utf8ToWide(Path(name).c_str());
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string content;
        char chunk[4096];
        DWORD got = 0;
        while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
        CloseHandle(file);
        return content;
    }

    void MakeDir(const std::string& name) const {
        const std::wstring wide = Common::Utf8ToWide(Path(name).c_str());
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << GetLastError();
    }

private:
    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = dir + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(dir.c_str());
    }

    std::wstring path_;
};

}  // namespace test
