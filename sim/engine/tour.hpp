// The tour: the bundled scenarios, each run on a freshly started panel.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/engine/scenario.hpp"

namespace hmi::sim {

// The scenarios of a folder in the order of its tour.txt (one file a line, "#"
// comments), or without one every *.sim file of the folder (not of its subfolders) in
// name order. Throws std::runtime_error when the folder or a listed file is missing.
std::vector<std::string> tour_scenarios(const std::string& directory);

struct ScenarioRun {
    std::string path;
    ScenarioResult result;
    uint64_t simulated_ms = 0;
};

// What a caller does with the panel of a scenario: before it starts (plots, the
// trace's level) and after the scenario's last line (write plots, stay at a prompt).
struct ScenarioHooks {
    std::function<void(Simulator&)> before;
    std::function<void(Simulator&)> after;
};

// Runs one scenario file on a new panel; a file that cannot be read counts as a bad line.
// `checked`, when given, are the file's lines as check_scenario gave them on a panel of
// this setup: the file is not read again.
ScenarioRun run_scenario_file(const std::string& path, const Panel& panel,
                              const std::shared_ptr<const Library>& library, const Options& options,
                              const Sink& sink, const ScenarioHooks& hooks = {},
                              const std::vector<ScenarioLine>* checked = nullptr);

}  // namespace hmi::sim
