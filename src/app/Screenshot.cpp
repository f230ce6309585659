#include "app/Screenshot.h"

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>

namespace zqb {

void ScreenshotWhenReady(QWidget& window, const QString& file, std::function<bool()> ready, int waitLimitMs)
{
    auto* check = new QTimer(&window);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(check, &QTimer::timeout, &window, [&window, file, ready, waitLimitMs, check, clock] {
        if (!ready() && clock.elapsed() < waitLimitMs) return;
        check->stop();
        const bool saved = window.grab().save(file, "PNG");
        std::fprintf(saved ? stdout : stderr, saved ? "screenshot saved to %s\n" : "cannot write screenshot %s\n",
                     qPrintable(file));
        QCoreApplication::exit(saved ? 0 : 1);
    });
    check->start(20);
}

}  // namespace zqb
