#include "link/ModuleLink.h"

#include "protocol/ModuleLock.h"

namespace zqb {

// The transport is given reply handling before it is built: it only hands replies over once a
// command runs, long after this constructor has finished.
ModuleLink::ModuleLink(HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses, std::string lockDirectory)
    : dialogs_(dialogs),
      pauses_(pauses),
      transport_(context_, display_, replies_, std::move(lockDirectory)),
      supervisor_(context_, display_, transport_, hostNetwork, dialogs),
      replies_(context_, display_, transport_, supervisor_),
      transfer_(context_, transport_, display_, pauses, progress_),
      firmware_(context_, transport_, display_, dialogs, pauses, transfer_),
      settings_(context_, transport_, supervisor_, transfer_, pauses)
{
}

ModuleLink::ModuleLink(DeviceDisplay& display, HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses,
                       std::string lockDirectory)
    : ModuleLink(hostNetwork, dialogs, pauses, std::move(lockDirectory))
{
    ShowOn(display);
}

void ModuleLink::AimAt(const QString& address, std::uint16_t port) { supervisor_.AimAt(address, port); }

std::string ModuleLink::DefaultLockDirectory(std::string& problem) { return ModuleLock::DefaultDirectory(problem); }

}  // namespace zqb
