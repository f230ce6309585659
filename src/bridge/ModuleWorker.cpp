#include "bridge/ModuleWorker.h"

#include <QTimer>

#include "cli/AnalogTarget.h"
#include "cli/OutputRules.h"
#include "protocol/CommandCodes.h"

namespace zqb::bridge {

ModuleWorker::ModuleWorker(const ModuleAddress& address, ClientFactory makeClient, WorkerSchedule schedule, WorkerSink& sink)
    : makeClient_(std::move(makeClient)), schedule_(schedule), sink_(sink)
{
    view_.address = address.address;
    view_.port = address.port;
    published_ = view_;
}

ModuleWorker::~ModuleWorker() = default;

void ModuleWorker::Submit(const BridgeCommand& command)
{
    {
        std::lock_guard<std::mutex> guard(queueMutex_);
        queue_.push_back(command);
    }
    QMetaObject::invokeMethod(this, [this] { Pump(); }, Qt::QueuedConnection);
}

void ModuleWorker::Begin()
{
    client_ = makeClient_();
    timer_ = new QTimer(this);
    // The polls keep their beat whatever each one costs; a tick that falls in a long exchange
    // is taken once that ends.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] {
        pollDue_ = true;
        Pump();
    });
    timer_->start(schedule_.pollMs);
    PollNow();
}

void ModuleWorker::PollNow()
{
    pollDue_ = true;
    Pump();
}

// An exchange runs a local event loop, so a timer tick or a command can arrive in the middle of
// one: it is only noted then, and the outermost call takes it once the exchange is over.
void ModuleWorker::Pump()
{
    if (pumping_ || !client_) return;
    pumping_ = true;
    while (!stopping_) {
        std::optional<BridgeCommand> command;
        {
            std::lock_guard<std::mutex> guard(queueMutex_);
            if (!queue_.empty()) {
                command = queue_.front();
                queue_.pop_front();
            }
        }
        if (command) {
            Execute(*command);
            // Show what the command changed without waiting for the next tick.
            pollDue_ = true;
            continue;
        }
        if (!pollDue_) break;
        pollDue_ = false;
        Poll();
    }
    pumping_ = false;
}

Outcome ModuleWorker::Measure(const std::function<Outcome()>& exchange)
{
    QElapsedTimer clock;
    clock.start();
    const Outcome outcome = exchange();
    // A module left alone for another program's file write was not asked anything.
    if (!(outcome.kind == OutcomeKind::Busy && outcome.busy == BusyWith::OtherProgram))
        sink_.ExchangeMeasured(view_, static_cast<double>(clock.nsecsElapsed()) / 1e9, outcome);
    return outcome;
}

void ModuleWorker::Poll()
{
    // Another program's file write: the module is left alone and keeps its availability.
    if (client_->HeldElsewhere()) return;

    Outcome outcome = Outcome::Done();
    const bool linkDue = view_.id.isEmpty() || !view_.available || !sinceLink_.isValid() ||
                         sinceLink_.elapsed() >= schedule_.linkIntervalMs;
    if (linkDue) {
        // The record names the module: its exchange is counted under the name it brought.
        outcome = Measure([&] {
            const Result<LinkRecord> link = client_->ReadLink();
            if (link.Ok()) {
                const LinkRecord& r = link.value;
                view_.id = r.MacId();
                view_.macText = r.MacText();
                view_.firmware = r.FirmwareText();
                view_.location = QString::fromLatin1(r.location);
                view_.model = r.ModelName();
                sinceLink_.start();
            }
            return link.outcome;
        });
    }
    if (outcome.Ok()) {
        Result<IoState> io;
        outcome = Measure([&] {
            io = client_->ReadIo();
            return io.outcome;
        });
        if (io.Ok()) view_.io = io.value;
    }
    if (outcome.Ok() && (!view_.counters || !sinceCounters_.isValid() || sinceCounters_.elapsed() >= schedule_.countersIntervalMs)) {
        Result<Counters> counters;
        outcome = Measure([&] {
            counters = client_->ReadCounters();
            return counters.outcome;
        });
        if (counters.Ok()) {
            view_.counters = counters.value;
            sinceCounters_.start();
        }
    }

    if (outcome.Ok()) {
        misses_ = 0;
        view_.available = !view_.id.isEmpty();
    } else if (outcome.kind == OutcomeKind::Busy) {
        // Nothing was asked: neither a miss nor an answer.
    } else if (++misses_ >= schedule_.missesForOffline) {
        view_.available = false;
    }
    Publish();
}

void ModuleWorker::Publish()
{
    const bool changed = !everPublished_ || view_.id != published_.id || view_.available != published_.available ||
                         view_.io != published_.io || view_.counters != published_.counters ||
                         view_.location != published_.location || view_.firmware != published_.firmware;
    if (!changed) return;
    everPublished_ = true;
    published_ = view_;
    sink_.ViewChanged(view_);
}

void ModuleWorker::Execute(const BridgeCommand& command)
{
    using Kind = BridgeCommand::Kind;
    Outcome outcome;
    switch (command.kind) {
    case Kind::SetDo:
        outcome = Measure([&] { return client_->SetDo(command.on); });
        break;
    case Kind::SetAnalog: {
        // The same forms and limits as zqb's "ao", in the range the module last reported.
        if (!view_.io) {
            outcome = Outcome::NotRead(QStringLiteral("the module's current range"));
            break;
        }
        const Result<std::int32_t> code = cli::AnalogCode(command.analog, view_.io->fourToTwenty);
        if (!code.Ok()) {
            outcome = Outcome::BadInput(command.name, code.outcome.rule);
            break;
        }
        outcome = Measure([&] { return client_->SetAnalog(static_cast<std::uint16_t>(code.value)); });
        break;
    }
    case Kind::SetRange:
        if (!view_.io) {
            outcome = Outcome::NotRead(QStringLiteral("the module's analog output"));
            break;
        }
        // As the window ticks "4~20mA", and as zqb does it: an output below 4 mA is raised to it first.
        if (cli::RangeRaisesOutput(command.fourToTwenty, view_.io->dacCode)) {
            outcome = Measure([&] { return client_->SetAnalog(cli::FourMilliampCode); });
            if (!outcome.Ok()) break;
        }
        outcome = Measure([&] { return client_->SetRange(command.fourToTwenty); });
        break;
    case Kind::ClearCounter:
        outcome = Measure([&] { return client_->ClearCounter(command.input); });
        // The next poll shows the counter as the module now keeps it.
        if (outcome.Ok()) sinceCounters_.invalidate();
        break;
    case Kind::Locate:
        outcome = Measure([&] { return client_->Locate(); });
        break;
    }
    sink_.CommandFinished(view_, command.name, outcome);
}

void ModuleWorker::Halt()
{
    delete timer_;
    timer_ = nullptr;
    client_.reset();
}

WorkerThread::WorkerThread(std::unique_ptr<ModuleWorker> worker) : worker_(std::move(worker))
{
    worker_->moveToThread(&thread_);
    // The timer and the client were made on the thread: they go with it, on it.
    ModuleWorker* w = worker_.get();
    QObject::connect(&thread_, &QThread::finished, w, [w] { w->Halt(); }, Qt::DirectConnection);
}

WorkerThread::~WorkerThread()
{
    RequestStop();
    thread_.wait();
    worker_.reset();
}

void WorkerThread::Start()
{
    thread_.start();
    QMetaObject::invokeMethod(worker_.get(), [w = worker_.get()] { w->Begin(); }, Qt::QueuedConnection);
}

void WorkerThread::RequestStop()
{
    worker_->RequestStop();
    thread_.quit();
}

bool WorkerThread::Wait(int ms) { return thread_.wait(static_cast<unsigned long>(ms)); }

}  // namespace zqb::bridge
