#include "process_cache_caller.h"

#include <new>

#include "orvik/context/call_context.h"

namespace ScanEngine::Process {
namespace {

const char* OrDash(const char* text) { return text != nullptr ? text : "-"; }

}  // namespace

std::string CallerTag(const char* function_name) {
    return std::string("ORVIK/") + (function_name != nullptr ? function_name : "");
}

std::string CallerDescription(const Abi::CallSite* site) {
    std::string text = "called by scan-engine-rules at ";
    if (site == nullptr || (site->flags & 1u) == 0) return text + "?";
    text += '[';
    text += OrDash(site->second);
    text += ':';
    text += OrDash(site->first);
    text += ':';
    text += OrDash(site->third);
    text += ':';
    text += std::to_string(site->number);
    text += ']';
    return text;
}

ProcessCacheCallInfo::ProcessCacheCallInfo(std::string tag, std::string description)
    : tag_(std::move(tag)),
      description_(std::move(description)),
      view_{tag_.c_str(), description_.c_str(), this, &ProcessCacheCallInfo::AddRef, &ProcessCacheCallInfo::Release} {}

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
        auto* info = new ProcessCacheCallInfo(CallerTag(name), CallerDescription(accessor->Site()));
        return info->View();
    } catch (...) {
        // Out of memory: the host gets no tag rather than an exception in its code.
        return nullptr;
    }
}

}  // namespace ScanEngine::Process
