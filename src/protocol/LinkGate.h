#pragma once

#include <cstdint>

namespace zqb {

// The link checks that reply handling and re-issues need from the link layer above.
class LinkGate {
public:
    virtual ~LinkGate() = default;
    // 1 when exactly one host interface lies in the module's network, 0 otherwise.
    virtual std::uint8_t PrepareLink() = 0;
    // PrepareLink, and on success GetLink is queued for the link timer.
    virtual std::uint8_t RequestLink() = 0;
};

}  // namespace zqb
