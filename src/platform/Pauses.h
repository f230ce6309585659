#pragma once

namespace zqb {

// A blocking sleep of the GUI thread; tests record the pauses instead of waiting them out.
class Pauses {
public:
    virtual ~Pauses() = default;
    virtual void Pause(int milliseconds) = 0;
};

class ThreadPauses : public Pauses {
public:
    void Pause(int milliseconds) override;
};

}  // namespace zqb
