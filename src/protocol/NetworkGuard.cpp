#include "protocol/NetworkGuard.h"

#include <QtGlobal>

#include "protocol/Ipv4Text.h"

namespace zqb {

bool ConnectionAllowed(const QString& hostAddress)
{
    if (!qEnvironmentVariableIsSet("ZQB_LOOPBACK_ONLY")) return true;
    const std::optional<std::uint32_t> address = ParseDottedDecimal(hostAddress);
    return address && (*address >> 24) == 127;
}

}  // namespace zqb
