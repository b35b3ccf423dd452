// hmisim diff: the same scenarios on two setups (two libraries, two panel projects) or
// on one against stored traces, compared event by event.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/cli/suite.hpp"

namespace hmi::sim {

// Where two traces part: the first event that differs and how many more differ after it.
struct TraceDifference {
    bool identical = true;
    size_t first = 0;           // index of the first differing event
    size_t after = 0;           // events of either side that differ after it
    bool after_capped = false;  // more than kMostCounted differ: `after` is a lower bound
};

// The traces as sequences of event lines (compared by their text).
TraceDifference compare_traces(const std::vector<std::string>& a,
                               const std::vector<std::string>& b);

class DiffCommand {
  public:
    explicit DiffCommand(CLI::App& app);
    // `library_before`, `panel_before`: the program's own --library, --panel were given
    // (before the subcommand), as the first setup.
    int run(const SetupOptions& setup, bool library_before, bool panel_before);

    CLI::App* cmd = nullptr;
    std::vector<std::string> args, libraries, panels;
    std::string against;
    bool json = false;
    unsigned jobs = 0;
};

}  // namespace hmi::sim
