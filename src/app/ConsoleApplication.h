#pragma once

#include <functional>

#include <QApplication>

namespace zqb {

// The application object: an error escaping any event handler is shown in an error box and
// the message loop goes on.
class ConsoleApplication : public QApplication {
public:
    ConsoleApplication(int& argc, char** argv);

    void SetErrorReporter(std::function<void(const QString&)> report) { report_ = std::move(report); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const QString&)> report_;
    bool reporting_ = false;
};

}  // namespace zqb
