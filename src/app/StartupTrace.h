#pragma once

#include <cstdint>

#include <QElapsedTimer>
#include <QObject>

namespace zqb {

// With ZQB_TRACE_STARTUP set, prints how long after program start the main window was first
// painted and first linked: the figures behind the start-up measurements.
class StartupTrace : public QObject {
public:
    StartupTrace(QWidget& window, const std::uint8_t& linked, QElapsedTimer sinceStart);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer clock_;
    const std::uint8_t& linked_;
    bool painted_ = false;
};

}  // namespace zqb
