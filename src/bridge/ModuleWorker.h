#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include <QElapsedTimer>
#include <QObject>
#include <QThread>

#include "bridge/BridgeCommand.h"
#include "bridge/ModuleClient.h"
#include "bridge/ModuleView.h"
#include "link/ModuleAddress.h"

class QTimer;

namespace zqb::bridge {

struct WorkerSchedule {
    int pollMs = 1000;
    int linkIntervalMs = 60000;
    int countersIntervalMs = 10000;
    int missesForOffline = 3;
};

// Told of everything a worker sees, on the worker's own thread.
class WorkerSink {
public:
    virtual ~WorkerSink() = default;
    virtual void ViewChanged(const ModuleView& view) = 0;
    virtual void CommandFinished(const ModuleView& view, const QString& command, const Outcome& outcome) = 0;
    virtual void ExchangeMeasured(const ModuleView& view, double seconds, const Outcome& outcome) = 0;
};

// One module's poller and command runner. It lives on a thread of its own, so its blocking
// exchanges (and a silent module's time-outs) hold up nothing else. Commands wait in a queue and
// go out between polls, one at a time, in the order they came.
class ModuleWorker : public QObject {
    Q_OBJECT
public:
    using ClientFactory = std::function<std::unique_ptr<ModuleClient>()>;

    ModuleWorker(const ModuleAddress& address, ClientFactory makeClient, WorkerSchedule schedule, WorkerSink& sink);
    ~ModuleWorker() override;

    // Any thread.
    void Submit(const BridgeCommand& command);
    void RequestStop() { stopping_ = true; }

    // On the worker's thread: makes the client, polls at once and then on the schedule.
    void Begin();
    // On the worker's thread: one poll now, whatever the schedule.
    void PollNow();
    // On the worker's thread as it ends: lets go of the timer and the client.
    void Halt();

private:
    void Pump();
    void Poll();
    void Execute(const BridgeCommand& command);
    Outcome Measure(const std::function<Outcome()>& exchange);
    void Publish();

    ModuleView view_;
    ModuleView published_;
    bool everPublished_ = false;
    ClientFactory makeClient_;
    std::unique_ptr<ModuleClient> client_;
    WorkerSchedule schedule_;
    WorkerSink& sink_;
    QTimer* timer_ = nullptr;

    std::mutex queueMutex_;
    std::deque<BridgeCommand> queue_;
    std::atomic<bool> stopping_{false};
    bool pumping_ = false;
    bool pollDue_ = false;
    int misses_ = 0;
    QElapsedTimer sinceLink_;
    QElapsedTimer sinceCounters_;
};

// A worker on its own thread with its own event loop.
class WorkerThread {
public:
    explicit WorkerThread(std::unique_ptr<ModuleWorker> worker);
    ~WorkerThread();
    void Start();
    // Ends the thread's event loop; a wait in an exchange ends with it.
    void RequestStop();
    bool Wait(int ms);
    ModuleWorker& Worker() { return *worker_; }

private:
    QThread thread_;
    std::unique_ptr<ModuleWorker> worker_;
};

}  // namespace zqb::bridge
