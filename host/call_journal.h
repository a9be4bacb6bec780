// Every call that crosses into the reference host is written down with its
// arguments as text, so tests can assert on exactly what the module passed.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "record_text.h"

namespace RefHost {

struct RecordedCall {
    std::string operation;
    std::vector<std::string> args;
    // Beside each argument: the members of a record the module handed over, else none.
    std::vector<RecordMembers> records;
};

// Argument text: integers in decimal, bools as true/false, texts as they are,
// null pointers as "(null)", other pointers as "(ptr)"; a record the host
// receives as input as "{name=value, ...}" (see record_text.h).
std::string ArgText(const char* text);
std::string ArgText(const wchar_t* text);
inline std::string ArgText(bool value) { return value ? "true" : "false"; }
template <typename T>
    requires std::is_integral_v<T>
std::string ArgText(T value) {
    return std::to_string(value);
}
inline std::string ArgText(const void* pointer) { return pointer ? "(ptr)" : "(null)"; }

class CallJournal {
public:
    template <typename... Args>
    void Record(const char* operation, const Args&... args) {
        RecordedCall call{operation, {}, {}};
        (Add(call, args), ...);
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    std::vector<RecordedCall> All() const;
    std::vector<RecordedCall> Of(const std::string& operation) const;
    std::size_t Count(const std::string& operation) const { return Of(operation).size(); }
    std::optional<RecordedCall> Last(const std::string& operation) const;
    void Clear();

private:
    template <typename T>
    static void Add(RecordedCall& call, const T& arg) {
        if constexpr (requires { MembersOf(*arg); }) {
            if (arg != nullptr) {
                call.records.push_back(MembersOf(*arg));
                call.args.push_back(RecordText(call.records.back()));
                return;
            }
        }
        call.args.push_back(ArgText(arg));
        call.records.emplace_back();
    }

    mutable std::mutex mutex_;
    std::vector<RecordedCall> calls_;
};

}  // namespace RefHost
