#include "app/Screenshot.h"

#include <cstdio>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QTimer>

namespace zqb {

FileWrite SaveScreenshot(QWidget& window, const QString& file)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!window.grab().save(&buffer, "PNG")) return {false, QStringLiteral("the picture could not be made")};
    return WriteWholeFile(QFile::encodeName(file), png, FileMode::Shared);
}

void ScreenshotWhenReady(QWidget& window, const QString& file, std::function<bool()> ready, int waitLimitMs)
{
    auto* check = new QTimer(&window);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(check, &QTimer::timeout, &window, [&window, file, ready, waitLimitMs, check, clock] {
        if (!ready() && clock.elapsed() < waitLimitMs) return;
        check->stop();
        const FileWrite saved = SaveScreenshot(window, file);
        if (saved.written)
            std::fprintf(stdout, "screenshot saved to %s\n", qPrintable(file));
        else
            std::fprintf(stderr, "cannot write screenshot %s: %s\n", qPrintable(file), qPrintable(saved.reason));
        QCoreApplication::exit(saved.written ? 0 : 1);
    });
    check->start(20);
}

}  // namespace zqb
