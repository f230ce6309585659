#include "app/DemoModule.h"

namespace zqb {

std::unique_ptr<zqbsim::ModuleSimulator> StartDemoModule()
{
    auto module = std::make_unique<zqbsim::ModuleSimulator>();
    if (!module->Start()) return nullptr;
    module->Update([](zqbsim::ModuleState& s) {
        s.location = "Demo bench, rack 2";
        s.diBits = 0x01;
        s.dacCode = 2048;
        s.diCounters[0] = 1532;
        s.diCounters[1] = 87;
        // On with a rising edge, DI0 switches DO after 3 s, DI1 plays 20 % -> 80 %.
        const std::uint8_t function[32] = {1, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 3, 0, 5, 0, 0,
                                           0, 1, 0x03, 0x33, 0x0C, 0xCC, 0, 0, 0, 2, 0, 4, 0, 1, 0, 12};
        std::copy(std::begin(function), std::end(function), s.functionRecord.begin());
        s.hasFunctionRecord = true;
    });
    return module;
}

}  // namespace zqb
