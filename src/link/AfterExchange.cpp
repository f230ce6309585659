#include "link/AfterExchange.h"

#include <QTimer>

namespace zqb {

namespace {

// An exchange lasts at most its connect and reply waits; a short poll keeps the wait unseen.
constexpr int RecheckMs = 20;

}  // namespace

void RunAfterExchange(const SessionContext& context, QObject* owner, std::function<void()> action)
{
    if (!context.ExchangeBusy) {
        action();
        return;
    }
    QTimer::singleShot(RecheckMs, owner, [&context, owner, action = std::move(action)]() mutable {
        RunAfterExchange(context, owner, std::move(action));
    });
}

}  // namespace zqb
