#pragma once

#include <cstdint>

namespace zqb {

// What a transfer shows while it runs: the setup window's gauge, and a repaint of the windows
// every 64 KiB (the transfer holds the GUI thread). The transfer lives below the windows, so it
// reaches them only through this.
class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    // Position 0, the given maximum, fore colour red.
    virtual void Begin(std::uint32_t maximum) = 0;
    virtual void SetPosition(std::uint32_t position) = 0;
    virtual void Repaint() = 0;
};

}  // namespace zqb
