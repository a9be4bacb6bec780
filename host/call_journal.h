// Every call that crosses into the reference host is written down with its
// arguments as text, so tests can assert on exactly what the module passed.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace RefHost {

struct RecordedCall {
    std::string operation;
    std::vector<std::string> args;
};

// Argument text: integers in decimal, bools as true/false, texts as they are,
// null pointers as "(null)", other pointers as "(ptr)".
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
        RecordedCall call{operation, {ArgText(args)...}};
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    std::vector<RecordedCall> All() const;
    std::vector<RecordedCall> Of(const std::string& operation) const;
    std::size_t Count(const std::string& operation) const { return Of(operation).size(); }
    std::optional<RecordedCall> Last(const std::string& operation) const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<RecordedCall> calls_;
};

}  // namespace RefHost
