// The prompt: scenario commands typed one at a time, with history and completion,
// and the dialogs asked of the person when no answer is queued.
#pragma once

#include <string>

#include "sim/cli/output.hpp"
#include "sim/engine/simulator.hpp"

namespace hmi::sim {

// Runs until quit or end of input; returns the exit status.
int interactive(Simulator& sim, Output& output, const std::string& history_file);

}  // namespace hmi::sim
