#pragma once

#include <memory>

#include "sim/ModuleSimulator.h"

namespace zqb {

// The built-in module of --demo: a simulator on 127.0.0.1 with a little of everything to show.
std::unique_ptr<zqbsim::ModuleSimulator> StartDemoModule();

}  // namespace zqb
