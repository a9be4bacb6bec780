#include "call_journal.h"

#include <cwchar>

#include "common/utf.h"

namespace RefHost {

std::string ArgText(const char* text) { return text ? std::string(text) : "(null)"; }

std::string ArgText(const wchar_t* text) {
    return text ? Common::WideToUtf8(text, std::wcslen(text)) : "(null)";
}

std::vector<RecordedCall> CallJournal::All() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<RecordedCall> CallJournal::Of(const std::string& operation) const {
    std::lock_guard lock(mutex_);
    std::vector<RecordedCall> found;
    for (const auto& call : calls_)
        if (call.operation == operation) found.push_back(call);
    return found;
}

std::optional<RecordedCall> CallJournal::Last(const std::string& operation) const {
    auto found = Of(operation);
    if (found.empty()) return std::nullopt;
    return found.back();
}

void CallJournal::Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

}  // namespace RefHost
