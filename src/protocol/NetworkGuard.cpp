#include "NetworkGuard.h"

#include <QHostAddress>
#include <QtGlobal>

namespace zqb {

bool ConnectionAllowed(const QString& hostAddress)
{
    if (!qEnvironmentVariableIsSet("ZQB_LOOPBACK_ONLY")) return true;
    QHostAddress address;
    return address.setAddress(hostAddress) && address.isLoopback();
}

}  // namespace zqb
