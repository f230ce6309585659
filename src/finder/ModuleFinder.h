#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QString>

#include "link/HostNetworkBackend.h"
#include "link/LinkSupervisor.h"
#include "link/ModuleScan.h"
#include "protocol/DisplayRelay.h"
#include "protocol/LinkRecord.h"
#include "protocol/SessionContext.h"

namespace zqb {

// The networks one scan covers, or why there is none to scan.
struct FinderPlan {
    std::vector<ScanRange> ranges;
    QString problem;  // empty when every network asked for can be scanned
};

// The networks the console may use: the /24 of the PC's interface in the network of the module
// at `moduleAddress` (wired and loopback interfaces counting when `countWired`), and the /24 of
// the address given on the command line, each once. A missing interface is a problem only when
// nothing else is left to scan.
FinderPlan PlanModuleNetworks(HostNetworkBackend& backend, const QString& moduleAddress, bool countWired,
                              const std::optional<QString>& givenAddress);
// A network typed by the user, "a.b.c.d/n" with n from 22 to 32.
FinderPlan PlanTypedNetwork(const QString& text);

// Every address of the plan once, in the order of its ranges; empty, with the reason in
// `problem`, when a run held to loopback would reach beyond it.
std::vector<std::uint32_t> PlanAddresses(const FinderPlan& plan, QString& problem);
QString PlanText(const FinderPlan& plan);  // "127.0.0.0/24, 10.0.5.0/24"

// What a scan found at one address.
struct FoundModule {
    enum class Kind {
        Module,    // a link record that the console can link to
        Busy,      // another program writes a file to it: left alone, not probed
        Unusable,  // it answered, but the console cannot link it there (see note)
    };
    std::uint32_t address = 0;
    Kind kind = Kind::Module;
    std::optional<LinkRecord> record;
    QString note;
    bool Linkable() const { return kind == Kind::Module; }
};

// Nothing where no module answered (no connection, or a connection without a reply).
std::optional<FoundModule> FoundFromProbe(const ScanProbe& probe);

// Points the console at the module found, by the road the "Static IP" button takes: the address
// goes into the address box and the session, and the link timer asks the module for its link
// record on its next tick. The console counts as linked again only once that record has come.
// False, with nothing changed, while an exchange runs.
bool LinkConsoleTo(const SessionContext& context, DisplayRelay& display, LinkSupervisor& supervisor,
                   const QString& address, std::uint16_t port);

}  // namespace zqb
