#pragma once

#include <QString>

namespace zqb {

// When the environment variable ZQB_LOOPBACK_ONLY is set (tests, benchmarks, demos), the console
// connects to loopback addresses only; any other address fails as an unreachable module would.
bool ConnectionAllowed(const QString& hostAddress);

}  // namespace zqb
