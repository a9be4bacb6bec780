// One plain function per entry of a host record (the service interface, the
// call context), forwarding to the member function of the same arguments on
// the object the record's `lead` points at. A member whose signature drifts
// from the record's entry does not compile.
#pragma once

namespace RefHost {

template <typename Record, auto Method>
struct AbiEntry;

template <typename Record, typename Self, typename R, typename... A, R (Self::*Method)(A...)>
struct AbiEntry<Record, Method> {
    static R Call(Record* record, A... args) { return (static_cast<Self*>(record->lead)->*Method)(args...); }
};

}  // namespace RefHost
