#pragma once

#include <map>
#include <memory>
#include <mutex>

#include <QString>

#include "bridge/ModuleView.h"
#include "protocol/Outcome.h"

namespace prometheus {
class Counter;
class Exposer;
class Histogram;
class Registry;
template <typename T>
class Family;
}  // namespace prometheus

namespace zqb::bridge {

class ModuleFamilies;

// The bridge's Prometheus metrics, served by prometheus-cpp's own HTTP server on /metrics. The
// module gauges and input counters are taken from the modules' last views at each scrape; the
// exchange durations and failures accumulate as exchanges happen. Thread-safe.
class BridgeMetrics {
public:
    BridgeMetrics();
    ~BridgeMetrics();

    // Listens on "ADDRESS:PORT"; false with the reason when it cannot.
    bool Serve(const QString& address, std::uint16_t port, QString& error);
    // The port it listens on (useful after asking for port 0); 0 when not serving.
    int Port() const;

    void Update(const ModuleView& view);
    void Measured(const ModuleView& view, double seconds, const Outcome& outcome);

private:
    std::shared_ptr<prometheus::Registry> registry_;
    std::shared_ptr<ModuleFamilies> modules_;
    prometheus::Family<prometheus::Histogram>* durations_ = nullptr;
    prometheus::Family<prometheus::Counter>* failures_ = nullptr;
    std::unique_ptr<prometheus::Exposer> exposer_;
};

}  // namespace zqb::bridge
