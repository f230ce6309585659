#include "link/LinkTimer.h"

namespace zqb {

namespace {

class RestartOnExit {
public:
    explicit RestartOnExit(QTimer& timer) : timer_(timer) {}
    ~RestartOnExit() { timer_.start(LinkTimer::IntervalMs); }
    RestartOnExit(const RestartOnExit&) = delete;
    RestartOnExit& operator=(const RestartOnExit&) = delete;

private:
    QTimer& timer_;
};

}  // namespace

LinkTimer::LinkTimer(std::function<void()> tick, QObject* parent) : QObject(parent), tick_(std::move(tick))
{
    timer_.setInterval(IntervalMs);
    // A coarse timer may fire up to 5 % early; the link's 3.1 s rhythm is counted in these ticks.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &LinkTimer::Timer3Timer);
}

void LinkTimer::Start()
{
    timer_.stop();
    timer_.start(IntervalMs);
}

void LinkTimer::Timer3Timer()
{
    timer_.stop();
    RestartOnExit restart(timer_);
    tick_();
}

}  // namespace zqb
