// A slim reader/writer lock with scoped shared and exclusive holds.
#pragma once

#include <windows.h>

#include "common/non_copyable.h"

namespace Common {

class SrwLock : public NonCopyable {
public:
    SrwLock() { InitializeSRWLock(&lock_); }

    class Shared : public NonCopyable {
    public:
        explicit Shared(SrwLock& l) : lock_(l.lock_) { AcquireSRWLockShared(&lock_); }
        ~Shared() override { ReleaseSRWLockShared(&lock_); }

    private:
        SRWLOCK& lock_;
    };

    class Exclusive : public NonCopyable {
    public:
        explicit Exclusive(SrwLock& l) : lock_(l.lock_) { AcquireSRWLockExclusive(&lock_); }
        ~Exclusive() override { ReleaseSRWLockExclusive(&lock_); }

    private:
        SRWLOCK& lock_;
    };

private:
    SRWLOCK lock_;
};

}  // namespace Common
