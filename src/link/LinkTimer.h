#pragma once

#include <functional>

#include <QObject>
#include <QTimer>

namespace zqb {

// Timer3: every 100 ms runs the link supervision. It is stopped while its handler works (an
// exchange inside keeps the message loop running, which must not enter the handler again) and
// started again on every way out, an exception included, so supervision never dies.
class LinkTimer : public QObject {
    Q_OBJECT
public:
    explicit LinkTimer(std::function<void()> tick, QObject* parent = nullptr);

    void Start();
    void Stop() { timer_.stop(); }
    bool IsActive() const { return timer_.isActive(); }
    // What one timeout runs: stop, tick, start again.
    void Timer3Timer();

    static constexpr int IntervalMs = 100;

private:
    std::function<void()> tick_;
    QTimer timer_;
};

}  // namespace zqb
