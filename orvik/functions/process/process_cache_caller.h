// The caller tag: how the host's process cache learns which extension
// function is reading it. The handler keeps a ProcessCacheAccessor on its
// stack and passes a caller-info provider around it to the cache query; the
// host calls the provider's make function whenever it wants the caller's
// identity and gets a reference-counted ProcessCacheCallInfo, which it may
// keep after the call and release from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/non_copyable.h"
#include "orvik/context/host_abi.h"

namespace ScanEngine::Process {

// The tag, "ORVIK/" + the function name as the call context reports it, a
// NUL, then the description: "called by scan-engine-rules at " +
// "[second:first:third:number]" when the call site's location is known (a
// missing text shows as "-"), else "?". One buffer, so that a caller identity
// costs one text.
std::string CallerTexts(const char* function_name, const Abi::CallSite* site);

// Who is asking: the call site and the call context of one handler call.
// Both are borrowed; the accessor must not outlive the cache query.
class ProcessCacheAccessor : public Common::NonCopyable {
public:
    ProcessCacheAccessor(const Abi::CallSite* site, Abi::CallContext* call) : site_(site), call_(call) {}
    ~ProcessCacheAccessor() override = default;

    const Abi::CallSite* Site() const { return site_; }
    Abi::CallContext* Call() const { return call_; }

private:
    const Abi::CallSite* site_;
    Abi::CallContext* call_;
};

// One caller identity handed to the host. Owns copies of its texts and
// nothing of the call, so it may outlive the handler. Starts with one
// reference, which belongs to whoever asked for it; the last release
// destroys it.
class ProcessCacheCallInfo : public Common::NonCopyable {
public:
    // `texts` holds the tag, a NUL, and the description.
    explicit ProcessCacheCallInfo(std::string texts);
    ~ProcessCacheCallInfo() override = default;

    // What the host sees; its owner field points back here.
    Abi::CallerInfoView* View() { return &view_; }
    std::uint32_t References() const { return references_.load(); }

    // The view's add-reference and release operations. Both ignore a null
    // view or a view without owner.
    static void AddRef(Abi::CallerInfoView* view) noexcept;
    static void Release(Abi::CallerInfoView* view) noexcept;

private:
    std::atomic<std::uint32_t> references_{1};
    const std::string texts_;
    Abi::CallerInfoView view_;
};

// The provider's make function: a new ProcessCacheCallInfo for the accessor
// the provider points to, or null when there is none or memory ran out.
// Never throws: it is called from host code.
Abi::CallerInfoView* MakeCallerInfo(Abi::CallerInfoProvider* provider) noexcept;

// The pair handed to the host for one cache query.
inline Abi::CallerInfoProvider CallerInfoProviderFor(ProcessCacheAccessor& accessor) {
    return Abi::CallerInfoProvider{&accessor, &MakeCallerInfo};
}

}  // namespace ScanEngine::Process
