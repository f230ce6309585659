#include "link/PlatformHostNetwork.h"

#ifdef _WIN32
#include "link/WindowsHostNetwork.h"
#else
#include "link/LinuxHostNetwork.h"
#endif

namespace zqb {

std::unique_ptr<HostNetworkBackend> MakePlatformHostNetwork()
{
#ifdef _WIN32
    return std::make_unique<WindowsHostNetwork>();
#else
    return std::make_unique<LinuxHostNetwork>();
#endif
}

}  // namespace zqb
