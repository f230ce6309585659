#include "app/StartupTrace.h"

#include <cstdio>

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace zqb {

StartupTrace::StartupTrace(QWidget& window, const std::uint8_t& linked, QElapsedTimer sinceStart)
    : QObject(&window), clock_(sinceStart), linked_(linked)
{
    window.installEventFilter(this);
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this, watch] {
        if (!linked_) return;
        watch->stop();
        std::printf("startup: linked after %lld ms\n", static_cast<long long>(clock_.elapsed()));
        std::fflush(stdout);
    });
    watch->start(1);
}

bool StartupTrace::eventFilter(QObject* watched, QEvent* event)
{
    if (!painted_ && event->type() == QEvent::Paint) {
        painted_ = true;
        std::printf("startup: first paint after %lld ms\n", static_cast<long long>(clock_.elapsed()));
        std::fflush(stdout);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zqb
