// The contents of a record the module hands the host, member by member, so
// the journal can show what a call asked for rather than a bare pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "orvik/context/host_abi.h"

namespace RefHost {

namespace Abi = ScanEngine::Abi;

struct RecordMember {
    std::string name;
    // A null text pointer, a signed or unsigned integer, or a text (bytes as they are).
    std::variant<std::nullptr_t, std::int64_t, std::uint64_t, std::string> value;
};
using RecordMembers = std::vector<RecordMember>;

// Every member in the order the header declares it. Digests are read at the
// size the interface fixes for them and shown as hex.
RecordMembers MembersOf(const Abi::VerdictRecord& record);
RecordMembers MembersOf(const Abi::AlertRecord& record);
RecordMembers MembersOf(const Abi::SignificantProcessRecord& record);

// "{name=value, ...}": integers in decimal, texts as they are, "(null)" for a null text.
std::string RecordText(const RecordMembers& members);

}  // namespace RefHost
