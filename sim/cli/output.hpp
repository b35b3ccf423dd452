// How the trace reaches the person or another tool: readable lines or JSON lines,
// all of it, only what went wrong and what was asked for, or only some windows.
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "sim/engine/trace.hpp"

namespace hmi::sim {

struct OutputOptions {
    bool quiet = false;           // failures, errors and prints only
    bool json = false;            // one JSON object a line
    std::set<std::string> watch;  // empty: every window; else events and properties of these
};

class Output {
  public:
    Output(OutputOptions options, FILE* out)
        : options_(std::move(options)), filter_(options_.watch), out_(out) {}
    void operator()(const Entry& entry);
    void line(const std::string& text);  // a plain line of the front end (also as JSON)

  private:
    bool wanted(const Entry& entry);

    OutputOptions options_;
    WindowFilter filter_;
    FILE* out_;
};

}  // namespace hmi::sim
