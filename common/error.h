// The error value of the common library. Functions that fail throw it by
// value; the extension frame catches it, logs its short text and fails the
// call. An empty Error means success.
//
// An Error is a shared handle to an immutable chain of records, so copies are
// cheap and may be made and dropped on any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Common {

class Error {
public:
    // Kind flags: what the code of a record means.
    static constexpr std::uint32_t kKindWindows = 1u << 0;
    static constexpr std::uint32_t kKindErrno = 1u << 1;
    static constexpr std::uint32_t kNoCode = 0xFFFFFFFFu;

    Error() noexcept = default;
    Error(std::string message, const char* source_file, unsigned source_line);
    // The message is the system's text for the code; the code is kept exactly
    // as given, so an NT status keeps bit 28. Available on Windows only.
    Error(std::uint32_t windows_code, const char* source_file, unsigned source_line);

    // An error carrying an errno value of the C runtime and its text.
    static Error FromErrno(int code, const char* source_file, unsigned source_line);
    // An error with an explicit kind, code and message, for callers that
    // already hold the text for a code.
    static Error WithCode(std::uint32_t kind, std::uint32_t code, std::string message,
                          const char* source_file, unsigned source_line);

    explicit operator bool() const noexcept { return record_ != nullptr; }

    // Properties of the first record; neutral values on success.
    const std::string& Message() const noexcept;
    std::uint32_t Kind() const noexcept;
    std::uint32_t Code() const noexcept;
    bool IsWindowsError() const noexcept { return (Kind() & kKindWindows) != 0; }
    const std::string& SourceFile() const noexcept;
    unsigned SourceLine() const noexcept;

    // The rest of the chain after the first record (empty at the end).
    Error Next() const;

    // An error whose chain is this chain followed by next's chain. Neither
    // operand changes: their records may be shared by other copies.
    Error Then(const Error& next) const;

    // The whole chain on one line, records separated by "; ". Source tags and
    // named fields are left out. "success" for an empty error.
    std::string Text() const;

    // Named fields: machine-readable details attached to the first record
    // (the stream layer's "StreamIO" code, for one). WithField returns a new
    // error whose first record is a copy carrying the field, replacing one
    // of the same name; the rest of the chain is shared. On an empty error
    // it returns an empty error. The getters read the first record only and
    // give nothing when the field is absent or holds the other kind.
    Error WithField(std::string name, std::int64_t value) const;
    Error WithField(std::string name, std::string text) const;
    std::optional<std::int64_t> IntegerField(std::string_view name) const;
    std::optional<std::string> TextField(std::string_view name) const;

private:
    struct Field;
    struct Record;
    Error WithField(Field field) const;
    const Field* FindField(std::string_view name) const noexcept;
    explicit Error(std::shared_ptr<const Record> record) noexcept : record_(std::move(record)) {}

    std::shared_ptr<const Record> record_;
};

}  // namespace Common

#define COMMON_ERROR(message) ::Common::Error((message), __FILE__, __LINE__)
#define COMMON_WINDOWS_ERROR(code) ::Common::Error(static_cast<std::uint32_t>(code), __FILE__, __LINE__)
