#include "process_cache_caller.h"

#include <charconv>
#include <cstring>
#include <new>

#include "orvik/context/call_context.h"

namespace ScanEngine::Process {
namespace {

const char* OrDash(const char* text) { return text != nullptr ? text : "-"; }

}  // namespace

std::string CallerTexts(const char* function_name, const Abi::CallSite* site) {
    if (function_name == nullptr) function_name = "";
    const bool located = site != nullptr && (site->flags & 1u) != 0;
    std::string text;
    text.reserve(64 + std::strlen(function_name) +
                 (located ? std::strlen(OrDash(site->first)) + std::strlen(OrDash(site->second)) +
                                std::strlen(OrDash(site->third))
                          : 0));
    text.append("ORVIK/").append(function_name).append(1, '\0').append("called by scan-engine-rules at ");
    if (!located) return text.append("?");
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, site->number).ptr;
    return text.append("[")
        .append(OrDash(site->second))
        .append(":")
        .append(OrDash(site->first))
        .append(":")
        .append(OrDash(site->third))
        .append(":")
        .append(number, end)
        .append("]");
}

ProcessCacheCallInfo::ProcessCacheCallInfo(std::string texts)
    : texts_(std::move(texts)),
      view_{texts_.c_str(), texts_.c_str() + std::strlen(texts_.c_str()) + 1, this, &ProcessCacheCallInfo::AddRef,
            &ProcessCacheCallInfo::Release} {}

void ProcessCacheCallInfo::AddRef(Abi::CallerInfoView* view) noexcept {
    if (view == nullptr || view->owner == nullptr) return;
    static_cast<ProcessCacheCallInfo*>(view->owner)->references_.fetch_add(1, std::memory_order_relaxed);
}

void ProcessCacheCallInfo::Release(Abi::CallerInfoView* view) noexcept {
    if (view == nullptr || view->owner == nullptr) return;
    auto* self = static_cast<ProcessCacheCallInfo*>(view->owner);
    // The thread that drops the last reference must see every earlier use.
    if (self->references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete self;
}

Abi::CallerInfoView* MakeCallerInfo(Abi::CallerInfoProvider* provider) noexcept {
    if (provider == nullptr || provider->accessor == nullptr) return nullptr;
    const auto* accessor = static_cast<const ProcessCacheAccessor*>(provider->accessor);
    if (accessor->Call() == nullptr) return nullptr;
    try {
        const char* name = CallContextRef(accessor->Call()).FunctionName();
        auto* info = new ProcessCacheCallInfo(CallerTexts(name, accessor->Site()));
        return info->View();
    } catch (...) {
        // Out of memory: the host gets no tag rather than an exception in its code.
        return nullptr;
    }
}

}  // namespace ScanEngine::Process
