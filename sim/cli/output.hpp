// How the event stream reaches the person or another tool: readable lines or JSON
// lines, all of it, only what went wrong and what was asked for, or only some windows.
#pragma once

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "sim/engine/trace.hpp"

namespace hmi::sim {

struct OutputOptions {
    bool quiet = false;           // failures, errors and what was asked for only
    bool json = false;            // one JSON object a line
    std::set<std::string> watch;  // empty: every window; else events and properties of these
    // One stream, written as its buffer fills: for a trace read only after the run.
    bool buffered = false;
};

// A subscriber of the simulator's stream that writes each event it keeps.
class Output {
  public:
    Output(OutputOptions options, FILE* out)
        : options_(std::move(options)), filter_(options_.watch), out_(out) {}
    void operator()(const Event& event);
    // Events of the front end itself, not of a panel. A summary is stamped with the panel
    // time it reports.
    void summary(std::string text, std::vector<Field> counts, uint64_t panel_ms = 0);
    void info(std::string text);  // what was asked for
    void note(std::string text);  // that something was done: not under quiet
    void warning(std::string message);
    void error(std::string message);

  private:
    bool wanted(const Event& event) const;

    OutputOptions options_;
    WindowFilter filter_;
    FILE* out_;
};

}  // namespace hmi::sim
