// The reference host's engine side: the logger and registrar it hands to the
// module at start-up, and the "scan-engine/SI" record over HostServices.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host_services.h"
#include "orvik/context/host_abi.h"

namespace RefHost {

struct LogLine {
    std::uint32_t level;
    std::string text;
};

struct Registration {
    std::string name;
    Abi::Handler handler;
    void* context;
};

// How the registrar answers the query for the service interface.
struct InterfaceAnswer {
    bool present = true;
    std::uint64_t version = Abi::kServiceInterfaceVersion;
    std::string name = Abi::kServiceInterfaceName;  // the only name answered
};

class HostEngine {
public:
    explicit HostEngine(std::shared_ptr<HostServices> services = std::make_shared<HostServices>());
    HostEngine(const HostEngine&) = delete;
    HostEngine& operator=(const HostEngine&) = delete;

    HostServices& Services() { return *services_; }
    Abi::HostLogger* Logger() { return &logger_; }
    Abi::HostRegistrar* Registrar() { return &registrar_; }
    Abi::ServiceInterface* ServiceInterface() { return &si_; }

    InterfaceAnswer& Answer() { return answer_; }
    std::vector<LogLine> StartupLog() const;
    const std::vector<Registration>& Registrations() const { return registrations_; }
    std::vector<std::string> InterfaceQueries() const { return queries_; }

private:
    std::shared_ptr<HostServices> services_;
    // Each record's leading word points back to its owner.
    Abi::HostLogger logger_{};
    Abi::HostRegistrar registrar_{};
    Abi::ServiceInterface si_{};
    InterfaceAnswer answer_;
    mutable std::mutex mutex_;
    std::vector<LogLine> startup_log_;
    std::vector<Registration> registrations_;
    std::vector<std::string> queries_;
};

}  // namespace RefHost
