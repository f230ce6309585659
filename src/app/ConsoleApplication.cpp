#include "app/ConsoleApplication.h"

#include <exception>

namespace zqb {

ConsoleApplication::ConsoleApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ConsoleApplication::notify(QObject* receiver, QEvent* event)
{
    QString failure;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    } catch (...) {
        failure = QStringLiteral("Unexpected error");
    }
    // A failure raised while its own box is up is not boxed again.
    if (report_ && !reporting_) {
        reporting_ = true;
        report_(failure);
        reporting_ = false;
    }
    return false;
}

}  // namespace zqb
