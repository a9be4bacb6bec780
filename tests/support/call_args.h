// Compact handling of call arguments: those a rule passes and those the host received.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "host/host_services.h"
#include "host/host_arg.h"

namespace OrvikTest {

// `args` with each of `changes` replacing the argument of its name, or added.
inline std::vector<RefHost::Arg> WithArgs(std::vector<RefHost::Arg> args, const std::vector<RefHost::Arg>& changes) {
    for (const RefHost::Arg& change : changes) {
        const auto same = std::find_if(args.begin(), args.end(), [&](const auto& a) { return a.name == change.name; });
        if (same != args.end()) *same = change;
        else args.push_back(change);
    }
    return args;
}

// The arguments of the host's last call of `operation`; a marker when there was none.
inline std::vector<std::string> HostArgs(RefHost::HostServices& host, const std::string& operation) {
    const auto last = host.Journal().Last(operation);
    return last ? last->args : std::vector<std::string>{"(no call)"};
}

}  // namespace OrvikTest
