#pragma once

#include <memory>

#include "link/HostNetworkBackend.h"

namespace zqb {

// The backend of the platform the console was built for.
std::unique_ptr<HostNetworkBackend> MakePlatformHostNetwork();

}  // namespace zqb
