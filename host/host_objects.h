// Objects the reference host hands to the module through out pointers. The
// host keeps every object it made until it is destroyed itself, so a release
// that comes twice is counted instead of touching freed memory; tests assert
// that every object was released exactly once. Each record's leading word,
// which the module never reads, points back to the owning object.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "host_state.h"
#include "orvik/context/host_abi.h"

namespace RefHost {

namespace Abi = ScanEngine::Abi;

class ObjectPool;

struct PoolLink {
    ObjectPool* pool = nullptr;
    bool released = false;
    bool releasable = true;  // false for answers the host keeps itself
};

class ObjectPool {
public:
    template <typename T, typename... Args>
    T* Make(Args&&... args) {
        auto object = std::make_shared<T>(std::forward<Args>(args)...);
        object->link.pool = this;
        std::lock_guard lock(mutex_);
        objects_.push_back({object, &object->link});
        if (object->link.releasable) ++live_;
        return object.get();
    }
    void Release(PoolLink& link);
    void NoteUse(const PoolLink& link);

    int Live() const;            // made and not yet released
    int DoubleReleases() const;  // releases of an object already released
    int UsesAfterRelease() const;  // operations called on a released object
    // Destroys the objects already released, so a long run of calls does not
    // grow the pool without end. A later use or release of one of them is
    // then no longer caught: only for modules known to behave (benchmarks).
    void DropReleased();

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::shared_ptr<void>, const PoolLink*>> objects_;
    int live_ = 0;
    int double_releases_ = 0;
    int uses_after_release_ = 0;
};

struct SizedBufferObject {
    explicit SizedBufferObject(std::string data);
    Abi::SizedBuffer abi{};
    PoolLink link;
    std::string bytes;
};

struct HostErrorObject {
    explicit HostErrorObject(std::string text);
    Abi::HostError abi{};
    PoolLink link;
    std::string message;
};

struct UnixAccountObject {
    explicit UnixAccountObject(UnixAccount data);
    Abi::UnixAccountInfo abi{};
    PoolLink link;
    UnixAccount account;
};

// A real Windows impersonation token of the host process, so the module's
// impersonation can be exercised for real.
struct SecurityTokenObject {
    explicit SecurityTokenObject(Common::UniqueHandle handle);
    Abi::SecurityToken abi{};
    PoolLink link;
    Common::UniqueHandle token;
};

struct ProcessInfoObject {
    // A broken token holds no usable handle, so impersonating it fails.
    explicit ProcessInfoObject(bool offers_token, bool broken_token = false);
    Abi::ProcessInfo abi{};
    PoolLink link;
    bool offers_token;
    bool broken_token;
};

struct SignatureInfoObject {
    SignatureInfoObject(std::int32_t status, std::string thumbprint, std::string vendor);
    Abi::SignatureInfo abi{};
    PoolLink link;
    std::string thumbprint;
    std::string vendor;
};

struct ExtendedSignatureInfoObject {
    ExtendedSignatureInfoObject(std::uint32_t schema, std::string text);
    Abi::ExtendedSignatureInfo abi{};
    PoolLink link;
    std::string text;
};

// Kept by the host; the module reads it and never releases it.
struct ProcessTreeObject {
    explicit ProcessTreeObject(std::string json);
    Abi::ProcessTreeAnswer abi{};
    PoolLink link{nullptr, false, false};
    std::string text;
};

// A duplicate of the host process's token, usable for impersonation.
Common::UniqueHandle DuplicateOwnTokenForImpersonation();

}  // namespace RefHost
