#pragma once

#include <cstdint>

#include "protocol/Outcome.h"

namespace zqb {

// The link checks that reply handling and re-issues need from the link layer above.
class LinkGate {
public:
    virtual ~LinkGate() = default;
    // 1 when exactly one host interface lies in the module's network, 0 otherwise.
    virtual std::uint8_t PrepareLink() = 0;
    // PrepareLink, and on success GetLink is queued for the link timer.
    virtual std::uint8_t RequestLink() = 0;
    // PrepareLink as an outcome: delivered, or unreachable with the reason (no interface of the
    // PC in the module's network, or several).
    virtual Outcome CheckNetwork() = 0;
};

}  // namespace zqb
