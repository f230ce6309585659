#include "bridge/BridgeMetrics.h"

#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/histogram.h>
#include <prometheus/metric_family.h>
#include <prometheus/registry.h>

#include "protocol/DacText.h"

namespace zqb::bridge {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

// Not "zqb_input_counter_total": promtool's lint refuses a type's name inside a metric's name.
const char* const InputCounterMetric = "zqb_input_count_total";

// The module gauges and the module's own input counters, from each module's last view. The
// module keeps the counters and may clear them: a counter whose value falls is a reset, as
// Prometheus reads counters anyway.
class ModuleFamilies : public prometheus::Collectable {
public:
    void Update(const ModuleView& view)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        views_[view.Key().toStdString()] = view;
    }

    std::vector<MetricFamily> Collect() const override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        MetricFamily up{"zqb_up", "1 while the module answers the bridge's polls", MetricType::Gauge, {}};
        MetricFamily di{"zqb_digital_input", "Digital input state (1 = on)", MetricType::Gauge, {}};
        MetricFamily out{"zqb_digital_output", "Digital output state (1 = on)", MetricType::Gauge, {}};
        MetricFamily code{"zqb_analog_output_code", "Analog output DAC code, 0-4095", MetricType::Gauge, {}};
        MetricFamily volts{"zqb_analog_output_volts", "Analog output in volts", MetricType::Gauge, {}};
        MetricFamily signal{"zqb_signal_dbm", "Wi-Fi signal strength the module reports, in dBm", MetricType::Gauge, {}};
        MetricFamily counter{InputCounterMetric, "Edges counted by the module on each digital input",
                             MetricType::Counter, {}};
        for (const auto& [key, view] : views_) {
            const std::vector<ClientMetric::Label> labels{{"mac", view.id.toStdString()}, {"module", key}};
            const auto gauge = [&labels](MetricFamily& family, double value, std::vector<ClientMetric::Label> extra = {}) {
                ClientMetric m;
                m.label = labels;
                m.label.insert(m.label.begin(), extra.begin(), extra.end());
                m.gauge.value = value;
                family.metric.push_back(m);
            };
            gauge(up, view.available ? 1 : 0);
            if (view.io) {
                gauge(di, view.io->di0 ? 1 : 0, {{"input", "0"}});
                gauge(di, view.io->di1 ? 1 : 0, {{"input", "1"}});
                gauge(out, view.io->out ? 1 : 0);
                gauge(code, view.io->dacCode);
                gauge(volts, DacVolts(view.io->dacCode));
                if (view.io->signalWord) gauge(signal, static_cast<int>(view.io->signalWord) - 65536);
            }
            if (view.counters)
                for (int input = 0; input < 2; ++input) {
                    ClientMetric m;
                    m.label = {{"input", std::to_string(input)}, {"mac", view.id.toStdString()}, {"module", key}};
                    m.counter.value = view.counters->values[static_cast<std::size_t>(input)];
                    counter.metric.push_back(m);
                }
        }
        std::vector<MetricFamily> families;
        for (MetricFamily* f : {&up, &di, &out, &code, &volts, &signal, &counter})
            if (!f->metric.empty()) families.push_back(std::move(*f));
        return families;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, ModuleView> views_;
};

BridgeMetrics::BridgeMetrics()
    : registry_(std::make_shared<prometheus::Registry>()), modules_(std::make_shared<ModuleFamilies>())
{
    durations_ = &prometheus::BuildHistogram()
                      .Name("zqb_exchange_duration_seconds")
                      .Help("Time from connect to reply (or time-out) of each exchange with a module")
                      .Register(*registry_);
    failures_ = &prometheus::BuildCounter()
                     .Name("zqb_exchange_failures_total")
                     .Help("Exchanges with a module that failed, by the kind of failure")
                     .Register(*registry_);
}

BridgeMetrics::~BridgeMetrics() = default;

bool BridgeMetrics::Serve(const QString& address, std::uint16_t port, QString& error)
{
    try {
        exposer_ = std::make_unique<prometheus::Exposer>(QStringLiteral("%1:%2").arg(address).arg(port).toStdString(), 1);
    } catch (const std::exception& e) {
        error = QStringLiteral("cannot serve metrics on %1:%2: %3").arg(address).arg(port).arg(QString::fromLocal8Bit(e.what()));
        return false;
    }
    exposer_->RegisterCollectable(modules_);
    exposer_->RegisterCollectable(registry_);
    return true;
}

int BridgeMetrics::Port() const
{
    if (!exposer_) return 0;
    const std::vector<int> ports = exposer_->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}

void BridgeMetrics::Update(const ModuleView& view) { modules_->Update(view); }

void BridgeMetrics::Measured(const ModuleView& view, double seconds, const Outcome& outcome)
{
    static const prometheus::Histogram::BucketBoundaries buckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5};
    const std::map<std::string, std::string> labels{{"module", view.Key().toStdString()}, {"mac", view.id.toStdString()}};
    durations_->Add(labels, buckets).Observe(seconds);
    if (!outcome.Ok()) {
        std::map<std::string, std::string> withReason = labels;
        withReason["reason"] = OutcomeKindName(outcome.kind);
        failures_->Add(withReason).Increment();
    }
}

}  // namespace zqb::bridge
