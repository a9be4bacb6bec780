// Turns a token privilege set into "name=attributes" text. Privilege names
// come from the system once per privilege and are then served from a cache
// shared by all calls (reads under a shared lock, inserts exclusive; the
// system is never asked while the lock is held).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "common/non_copyable.h"
#include "common/srw_lock.h"

namespace ScanEngine {

class SecurityPrivileges : public Common::NonCopyable {
public:
    SecurityPrivileges() = default;
    ~SecurityPrivileges() override = default;

    // `privileges` holds a u32 count then count entries of {u32 low, i32 high,
    // u32 attributes}. A size that does not match, or a count of 0, gives "";
    // privileges the system cannot name are left out.
    std::string Format(const void* privileges, std::uint64_t size);

private:
    // Appends the privilege's name to `text`; false when the system has none.
    bool AppendName(std::uint32_t low, std::int32_t high, std::string& text);

    Common::SrwLock lock_;
    std::map<std::int64_t, std::string> names_;
};

}  // namespace ScanEngine
