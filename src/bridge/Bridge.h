#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "bridge/BridgeMetrics.h"
#include "bridge/BridgeOptions.h"
#include "bridge/ModuleWorker.h"
#include "bridge/MqttClient.h"
#include "bridge/Payloads.h"

namespace zqb {
class ModuleScanner;
}

namespace zqb::bridge {

struct BridgeServices {
    // A client for one module; made on that module's thread.
    std::function<std::unique_ptr<ModuleClient>(const ModuleAddress&)> makeClient;
    QString hostname;
    std::string lockDirectory;  // where the module locks lie, for the scan too
    std::function<void(const QString&)> log;
    int reconnectMinMs = 500;
    // Commands for a module not known yet (the bridge has just started and has not read its link
    // record) wait this long, then are dropped: they may be for another bridge's module.
    int pendingCommandMs = 60000;
};

// The daemon's heart: a worker per module, the broker connection and the metrics. Lives on the
// main thread; workers report to it through queued calls.
class Bridge : public QObject, private WorkerSink {
    Q_OBJECT
public:
    Bridge(BridgeOptions options, BridgeServices services, QObject* parent = nullptr);
    ~Bridge() override;

    // Serves the metrics (when asked), starts connecting to the broker, polling every module
    // named and scanning. False with the reason when something given cannot be used.
    bool Start(QString& error);
    // Says "offline" for every module and for itself, waits for the broker to take it, and
    // stops every worker; returns within about `budgetMs`. False when a thread was left running.
    bool Stop(int budgetMs);

    // Starts polling the module at this address, unless it is polled already.
    void AddModule(const ModuleAddress& address);
    int MetricsPort() const { return metrics_.Port(); }
    const Topics& GetTopics() const { return topics_; }
    std::size_t ModuleCount() const { return modules_.size(); }

signals:
    // The broker refused the bridge's credentials: retrying will not help.
    void fatal(const QString& reason);

private:
    struct Entry {
        std::unique_ptr<WorkerThread> worker;
        ModuleView view;
        QString publishedId;
        QByteArray publishedState;
        std::optional<bool> publishedAvailable;
        QByteArray publishedDiscovery;
    };
    struct PendingCommand {
        QString id;
        BridgeCommand command;
        QElapsedTimer age;
    };

    void ViewChanged(const ModuleView& view) override;
    void CommandFinished(const ModuleView& view, const QString& command, const Outcome& outcome) override;
    void ExchangeMeasured(const ModuleView& view, double seconds, const Outcome& outcome) override;

    void TakeView(const ModuleView& view);
    void PublishEntry(Entry& entry);
    void OnConnected(bool sessionPresent);
    void OnMessage(const QString& topic, const QByteArray& payload);
    void PublishResult(const QString& id, const QString& command, const Outcome& outcome);
    void SendWaitingResults();
    void ScanNow();
    void Log(const QString& line) const;

    BridgeOptions options_;
    BridgeServices services_;
    Topics topics_;
    BridgeMetrics metrics_;
    std::unique_ptr<MqttClient> mqtt_;
    std::map<QString, Entry> modules_;  // by "address:port"
    std::map<QString, QString> byId_;   // module id -> key
    std::deque<PendingCommand> pending_;
    std::deque<Publication> unsentResults_;
    QTimer scanTimer_;
    QPointer<ModuleScanner> scanner_;
    bool stopping_ = false;
    // Set by the connection's news on this thread: what the workers report waits for it.
    bool brokerReady_ = false;
};

}  // namespace zqb::bridge
