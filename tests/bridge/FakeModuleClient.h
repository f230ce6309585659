#pragma once

#include <deque>
#include <vector>

#include "bridge/ModuleClient.h"
#include "bridge/ModuleWorker.h"
#include "protocol/CommandCodes.h"

namespace zqb::bridge::test {

// A module client whose answers a test sets: for the worker's schedule and rules, where the
// timing of a real module would only blur what is checked.
class FakeModuleClient : public ModuleClient {
public:
    struct Script {
        IoState io;
        Counters counters;
        LinkRecord link;
        Outcome failure = Outcome::Done();  // every exchange ends so while it is not Done
        bool heldElsewhere = false;
        std::vector<std::string> calls;     // what was asked, in order
    };
    explicit FakeModuleClient(Script& script) : s_(script) { s_.link.mac = {0, 0x1E, 0xC0, 1, 2, 3}; }

    Result<IoState> ReadIo() override { return Answer("ReadIo", s_.io); }
    Result<LinkRecord> ReadLink() override { return Answer("ReadLink", s_.link); }
    Result<Counters> ReadCounters() override { return Answer("ReadCounters", s_.counters); }
    Outcome SetDo(bool on) override { return Do(on ? "SetDo on" : "SetDo off", [&] { s_.io.out = on; }); }
    Outcome SetAnalog(std::uint16_t code) override
    {
        return Do("SetAnalog " + std::to_string(code), [&] { s_.io.dacCode = code; });
    }
    Outcome SetRange(bool fourToTwenty) override
    {
        return Do(fourToTwenty ? "SetRange 4-20" : "SetRange 0-20", [&] { s_.io.fourToTwenty = fourToTwenty; });
    }
    Outcome ClearCounter(std::uint8_t input) override
    {
        return Do("ClearCounter " + std::to_string(input), [&] { s_.counters.values[input] = 0; });
    }
    Outcome Locate() override { return Do("Locate", [] {}); }
    bool HeldElsewhere() override { return s_.heldElsewhere; }

private:
    template <class T>
    Result<T> Answer(const char* call, const T& value)
    {
        s_.calls.push_back(call);
        if (!s_.failure.Ok()) return {s_.failure, {}};
        return {Outcome::Done(), value};
    }
    template <class Effect>
    Outcome Do(const std::string& call, Effect effect)
    {
        s_.calls.push_back(call);
        if (!s_.failure.Ok()) return s_.failure;
        effect();
        return Outcome::Done();
    }
    Script& s_;
};

// What a worker reported.
class RecordingSink : public WorkerSink {
public:
    void ViewChanged(const ModuleView& view) override { views.push_back(view); }
    void CommandFinished(const ModuleView&, const QString& command, const Outcome& outcome) override
    {
        results.push_back({command, outcome});
    }
    void ExchangeMeasured(const ModuleView&, double, const Outcome& outcome) override { measured.push_back(outcome); }

    struct Finished {
        QString command;
        Outcome outcome;
    };
    std::vector<ModuleView> views;
    std::vector<Finished> results;
    std::vector<Outcome> measured;
};

}  // namespace zqb::bridge::test
