// What a person or a scenario sets up around the simulated panel: how much of the
// trace to see (a level, watched tags), conditions that break a run, plots being
// sampled and a recording of the prompt.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/engine/condition.hpp"
#include "sim/engine/probe.hpp"
#include "sim/engine/recorder.hpp"
#include "sim/engine/trace.hpp"

namespace hmi::sim {

class Simulator;

// quiet: failures, errors, warnings, asked-for values, listings and narration. normal:
// also the events, actions, tag writes, window calls, dialogs and parameters, and met
// expectations. full: also every property change.
enum class TraceLevel : uint8_t { Quiet, Normal, Full };
const char* level_name(TraceLevel level);
std::optional<TraceLevel> parse_level(const std::string& name);

// Chooses the entries of the readable trace. With watched tags, only the writes of
// those tags (with the event that caused them), failures, errors and what was asked
// for pass.
class TraceView {
  public:
    TraceLevel level = TraceLevel::Full;  // the whole stream; the prompt and files show normal
    std::vector<std::string> watched;     // tag globs

    // Gives the entries to show for this one: none, it, or the event that caused it
    // (not shown so far) followed by it.
    void pass(const Event& event, const std::function<void(const Event&)>& out);

  private:
    bool keep(const Event& event) const;
    std::optional<Event> cause_;  // the last event, while none of what it caused was shown
};

struct ActivePlot {
    PlotSpec spec;
    PlotSampler sampler;
    std::string path;
    PlotFormat format = PlotFormat::FromName;
};

class Session {
  public:
    TraceView view;
    std::optional<ScenarioRecorder> recorder;
    std::vector<ActivePlot> plots;
    int load_depth = 0;        // scenarios loaded from scenarios, against loops
    int bad_loaded_lines = 0;  // of files that load ran: bad input, whoever typed the load
    // The person quit inside a dialog: the run that asked stops, and so do the lines of
    // a loaded scenario around it.
    bool quitting = false;

    // A break condition, with whether it held when last looked at: a run stops when it
    // comes to hold.
    struct Break {
        Condition condition;
        bool held = false;
    };
    std::vector<Break> breaks;

    // After every event of a run: why to stop, or "".
    std::string check_breaks(Simulator& sim);
    void arm_breaks(Simulator& sim);  // takes each break's state at the start of a run

    // Writes each plot's file and ends them; messages for the trace.
    std::vector<std::string> finish_plots(uint64_t now, std::vector<std::string>* errors);
};

}  // namespace hmi::sim
