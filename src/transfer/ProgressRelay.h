#pragma once

#include "transfer/TransferProgress.h"

namespace zqb {

// Hands a transfer's progress on to whatever shows it: the setup window's gauge, zqb's bar on a
// terminal, or nothing at all (the bridge, the benchmarks).
class ProgressRelay : public TransferProgress {
public:
    void Attach(TransferProgress& progress) { target_ = &progress; }
    void Detach(const TransferProgress& progress)
    {
        if (target_ == &progress) target_ = nullptr;
    }

    void Begin(std::uint32_t maximum) override
    {
        if (target_) target_->Begin(maximum);
    }
    void SetPosition(std::uint32_t position) override
    {
        if (target_) target_->SetPosition(position);
    }
    void Repaint() override
    {
        if (target_) target_->Repaint();
    }

private:
    TransferProgress* target_ = nullptr;
};

}  // namespace zqb
