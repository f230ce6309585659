#include "link/ModuleLink.h"

namespace zqb {

// The transport is given reply handling before it is built: it only hands replies over once a
// command runs, long after this constructor has finished.
ModuleLink::ModuleLink(HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses)
    : dialogs_(dialogs),
      pauses_(pauses),
      transport_(context_, display_, replies_),
      supervisor_(context_, display_, transport_, hostNetwork, dialogs),
      replies_(context_, display_, transport_, supervisor_)
{
}

ModuleLink::ModuleLink(DeviceDisplay& display, HostNetwork& hostNetwork, Dialogs& dialogs, Pauses& pauses)
    : ModuleLink(hostNetwork, dialogs, pauses)
{
    ShowOn(display);
}

}  // namespace zqb
