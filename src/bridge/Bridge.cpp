#include "bridge/Bridge.h"

#include <QElapsedTimer>

#include "link/ModuleScan.h"
#include "protocol/CommandCodes.h"
#include "protocol/Ipv4Text.h"
#include "protocol/LinkRecord.h"
#include "protocol/NetworkGuard.h"

namespace zqb::bridge {

namespace {

constexpr std::size_t MaxPending = 256;
constexpr std::size_t MaxUnsentResults = 256;

}  // namespace

Bridge::Bridge(BridgeOptions options, BridgeServices services, QObject* parent)
    : QObject(parent), options_(std::move(options)), services_(std::move(services))
{
    topics_.base = options_.baseTopic;
    topics_.discoveryPrefix = options_.discoveryPrefix;
    topics_.hostname = services_.hostname;
}

Bridge::~Bridge()
{
    if (!stopping_) Stop(0);
}

void Bridge::Log(const QString& line) const
{
    if (services_.log) services_.log(line);
}

bool Bridge::Start(QString& error)
{
    if (options_.metrics && !metrics_.Serve(options_.metrics->host, options_.metrics->port, error)) return false;

    MqttSettings mqtt;
    mqtt.host = options_.mqtt.host;
    mqtt.port = options_.MqttPort();
    mqtt.user = options_.mqttUser;
    mqtt.password = options_.mqttPassword;
    mqtt.caFile = options_.mqttTlsCa;
    mqtt.version = options_.mqttVersion;
    mqtt.clientId = options_.mqttClientId.isEmpty() ? QStringLiteral("zqb-bridge-") + services_.hostname : options_.mqttClientId;
    mqtt.willTopic = topics_.BridgeStatus();
    mqtt.reconnectMinMs = services_.reconnectMinMs;
    mqtt_ = std::make_unique<MqttClient>(mqtt);
    connect(mqtt_.get(), &MqttClient::connected, this, &Bridge::OnConnected, Qt::QueuedConnection);
    connect(mqtt_.get(), &MqttClient::disconnected, this, [this] {
        brokerReady_ = false;
        Log(QStringLiteral("the broker went away; reconnecting"));
    }, Qt::QueuedConnection);
    connect(mqtt_.get(), &MqttClient::messageArrived, this, &Bridge::OnMessage, Qt::QueuedConnection);
    connect(mqtt_.get(), &MqttClient::logLine, this, &Bridge::Log, Qt::QueuedConnection);
    connect(mqtt_.get(), &MqttClient::refused, this, [this](const QString& reason) {
        Log(QStringLiteral("the broker refused the connection: %1").arg(reason));
        emit fatal(reason);
    }, Qt::QueuedConnection);
    if (!mqtt_->Start(error)) return false;

    for (const ModuleAddress& module : options_.modules) AddModule(module);
    if (!options_.scans.empty()) {
        connect(&scanTimer_, &QTimer::timeout, this, &Bridge::ScanNow);
        scanTimer_.start(options_.scanIntervalS * 1000);
        ScanNow();
    }
    return true;
}

void Bridge::AddModule(const ModuleAddress& address)
{
    const QString key = QStringLiteral("%1:%2").arg(address.address).arg(address.port);
    if (stopping_ || modules_.count(key)) return;
    WorkerSchedule schedule;
    schedule.pollMs = options_.pollMs;
    schedule.linkIntervalMs = options_.linkIntervalS * 1000;
    schedule.countersIntervalMs = options_.countersIntervalS * 1000;
    auto make = services_.makeClient;
    WorkerSink& sink = *this;
    auto worker = std::make_unique<ModuleWorker>(address, [make, address] { return make(address); }, schedule, sink);
    Entry& entry = modules_[key];
    entry.view.address = address.address;
    entry.view.port = address.port;
    entry.worker = std::make_unique<WorkerThread>(std::move(worker));
    entry.worker->Start();
    metrics_.Update(entry.view);
    Log(QStringLiteral("polling the module at %1 every %2 ms").arg(key).arg(options_.pollMs));
}

// ---- from the workers' threads ----

void Bridge::ViewChanged(const ModuleView& view)
{
    metrics_.Update(view);
    QMetaObject::invokeMethod(this, [this, view] { TakeView(view); }, Qt::QueuedConnection);
}

void Bridge::CommandFinished(const ModuleView& view, const QString& command, const Outcome& outcome)
{
    QMetaObject::invokeMethod(this, [this, id = view.id, command, outcome] { PublishResult(id, command, outcome); },
                              Qt::QueuedConnection);
}

void Bridge::ExchangeMeasured(const ModuleView& view, double seconds, const Outcome& outcome)
{
    metrics_.Measured(view, seconds, outcome);
}

// ---- on the main thread ----

void Bridge::TakeView(const ModuleView& view)
{
    if (stopping_) return;
    const auto it = modules_.find(view.Key());
    if (it == modules_.end()) return;
    Entry& entry = it->second;
    const QString oldId = entry.view.id;
    entry.view = view;
    if (oldId != view.id) {
        // Another module answers at this address now: the one that was here is gone from it.
        if (!oldId.isEmpty()) {
            byId_.erase(oldId);
            if (mqtt_) mqtt_->Publish(topics_.Module(oldId, "availability"), "offline", true);
        }
        entry.publishedAvailable.reset();
        entry.publishedState.clear();
        entry.publishedDiscovery.clear();
        if (!view.id.isEmpty()) {
            byId_[view.id] = view.Key();
            Log(QStringLiteral("the module at %1 is %2 (%3)").arg(view.Key(), view.id, view.location));
        }
    }
    PublishEntry(entry);

    // Commands that came before the module was known, and have not waited too long for it.
    if (view.id.isEmpty()) return;
    for (auto p = pending_.begin(); p != pending_.end();) {
        const bool stale = p->age.elapsed() > services_.pendingCommandMs;
        if (p->id == view.id && !stale) entry.worker->Worker().Submit(p->command);
        p = p->id == view.id || stale ? pending_.erase(p) : std::next(p);
    }
}

void Bridge::PublishEntry(Entry& entry)
{
    const ModuleView& view = entry.view;
    if (view.id.isEmpty() || !mqtt_ || !brokerReady_) return;
    const QByteArray discoveryKey = (view.macText + view.firmware + view.location + view.model).toUtf8();
    if (discoveryKey != entry.publishedDiscovery) {
        bool all = true;
        for (const Publication& p : DiscoveryConfigs(topics_, view)) all = mqtt_->Publish(p.topic, p.payload, true) && all;
        if (all) entry.publishedDiscovery = discoveryKey;
    }
    if (entry.publishedAvailable != view.available &&
        mqtt_->Publish(topics_.Module(view.id, "availability"), view.available ? "online" : "offline", true))
        entry.publishedAvailable = view.available;
    // The state as last read stays retained while the module is away; availability says so.
    const QByteArray state = StatePayload(view);
    if (!state.isEmpty() && state != entry.publishedState && mqtt_->Publish(topics_.Module(view.id, "state"), state, true))
        entry.publishedState = state;
}

void Bridge::OnConnected(bool sessionPresent)
{
    if (stopping_) return;
    Log(QStringLiteral("connected to the broker (%1 session)").arg(sessionPresent ? QStringLiteral("resumed") : QStringLiteral("new")));
    brokerReady_ = true;
    for (const QString& filter : topics_.CommandFilters()) mqtt_->Subscribe(filter);
    mqtt_->Publish(topics_.BridgeStatus(), "online", true);
    // The broker may have lost what it kept: everything goes out again.
    for (auto& [key, entry] : modules_) {
        entry.publishedAvailable.reset();
        entry.publishedState.clear();
        entry.publishedDiscovery.clear();
        PublishEntry(entry);
    }
    SendWaitingResults();
}

void Bridge::SendWaitingResults()
{
    while (brokerReady_ && !unsentResults_.empty() && mqtt_->Publish(unsentResults_.front().topic, unsentResults_.front().payload, false))
        unsentResults_.pop_front();
}

void Bridge::OnMessage(const QString& topic, const QByteArray& payload)
{
    if (stopping_) return;
    const std::optional<CommandTopic> target = ParseCommandTopic(topics_, topic);
    if (!target) return;
    std::variant<BridgeCommand, Outcome> parsed = ParseCommand(target->command, payload);
    if (const Outcome* error = std::get_if<Outcome>(&parsed)) {
        // Nothing goes to the module.
        if (byId_.count(target->id)) PublishResult(target->id, target->command, *error);
        return;
    }
    const BridgeCommand& command = std::get<BridgeCommand>(parsed);
    const auto known = byId_.find(target->id);
    if (known != byId_.end()) {
        modules_.at(known->second).worker->Worker().Submit(command);
        return;
    }
    while (!pending_.empty() && (pending_.size() >= MaxPending || pending_.front().age.elapsed() > services_.pendingCommandMs))
        pending_.pop_front();
    PendingCommand p{target->id, command, {}};
    p.age.start();
    pending_.push_back(p);
}

void Bridge::PublishResult(const QString& id, const QString& command, const Outcome& outcome)
{
    if (id.isEmpty()) return;
    Publication result{topics_.Module(id, "result"), ResultPayload(command, outcome)};
    if (!outcome.Ok()) Log(QStringLiteral("%1 %2: %3").arg(id, command, DescribeOutcome(outcome)));
    // Results go out in the order of their commands: none ahead of those still waiting for the
    // broker, which go first once the connection's news was taken.
    SendWaitingResults();
    if (unsentResults_.empty() && brokerReady_ && mqtt_->Publish(result.topic, result.payload, false)) return;
    // Said once the broker is back.
    if (unsentResults_.size() >= MaxUnsentResults) unsentResults_.pop_front();
    unsentResults_.push_back(result);
}

void Bridge::ScanNow()
{
    if (stopping_ || scanner_) return;
    std::vector<std::uint32_t> addresses;
    for (const ScanRange& range : options_.scans)
        for (const std::uint32_t address : ScanAddresses(range))
            if (ConnectionAllowed(DottedText(address))) addresses.push_back(address);
    ScanOptions scan;
    scan.port = options_.scanPort;
    scan.lockDirectory = QString::fromStdString(services_.lockDirectory);
    auto* scanner = new ModuleScanner(addresses, scan, this);
    scanner_ = scanner;
    connect(scanner, &ModuleScanner::probeFinished, this, [this](const ScanProbe& probe) {
        if (probe.outcome != ScanProbe::Outcome::Answered) return;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(probe.reply.constData());
        const Result<LinkRecord> record = DecodeLinkRecord(bytes, static_cast<std::size_t>(probe.reply.size()));
        const QString address = DottedText(probe.address);
        if (record.Ok() && record.value.model == SupportedModelCode && record.value.AddressText() == address)
            AddModule(ModuleAddress{address, options_.scanPort});
    });
    connect(scanner, &ModuleScanner::finished, scanner, &QObject::deleteLater);
    scanner->Start();
}

bool Bridge::Stop(int budgetMs)
{
    if (stopping_) return true;
    stopping_ = true;
    QElapsedTimer clock;
    clock.start();
    scanTimer_.stop();
    if (scanner_) scanner_->Cancel();
    for (auto& [key, entry] : modules_) entry.worker->RequestStop();
    if (mqtt_ && mqtt_->Connected()) {
        for (auto& [key, entry] : modules_)
            if (!entry.view.id.isEmpty()) mqtt_->Publish(topics_.Module(entry.view.id, "availability"), "offline", true);
        mqtt_->Publish(topics_.BridgeStatus(), "offline", true);
    }
    bool clean = !mqtt_ || mqtt_->Finish(budgetMs * 3 / 4);
    for (auto& [key, entry] : modules_)
        clean = entry.worker->Wait(std::max(1, budgetMs - static_cast<int>(clock.elapsed()))) && clean;
    return clean;
}

}  // namespace zqb::bridge
