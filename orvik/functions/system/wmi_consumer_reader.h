// Reading what a WMI event consumer would run: the query against a WMI
// namespace, and the walk over the objects it returns.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <optional>
#include <string>

namespace ScanEngine::System {

// UTF-8 texts; empty when no object provided them.
struct ConsumerPayload {
    std::string file;
    std::string script;
    std::string engine;
};

// Takes every object `results` hands out. Of each object only the first of
// ExecutablePath, ScriptFileName (file), CommandLineTemplate, ScriptText
// (script) and ScriptingEngine (engine) that holds a string is kept; a later
// object overwrites what an earlier one left in the same text. Nothing when
// the enumeration itself fails.
std::optional<ConsumerPayload> ReadConsumerPayload(IEnumWbemClassObject& results);

// Runs the WQL `query` in `wmi_namespace` and reads its objects as above.
// COM must be initialised on the calling thread; every object obtained is
// released before returning. Nothing on any failure.
std::optional<ConsumerPayload> QueryConsumerPayload(const wchar_t* wmi_namespace, const wchar_t* query);

}  // namespace ScanEngine::System
