// The served panel's one point of contact with the simulator's events, dialogs and
// commands: everything else of the server reads the panel through the simulator's
// plain accessors (windows, widgets, property values, tags, time).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sim/engine/scenario.hpp"
#include "sim/engine/simulator.hpp"

namespace hmi::sim::serve {

// What the server needs to know of one event of the trace.
struct Happening {
    std::string json;   // the event as the pages receive it (one JSON object)
    bool tick = false;  // a timer's handler ran
};

struct MsgBoxRequest {
    std::string title, text;
    int style = 0;  // 0: a notice with OK only
};
struct InputRequest {
    std::string tag, prompt;
    double minimum = 0, maximum = 0;
};

struct Hooks {
    std::function<void(const Happening&)> happened;
    // Called inside the library's call; return the answer when the person gives it.
    std::function<int(const MsgBoxRequest&)> msgbox;
    std::function<std::optional<double>(const InputRequest&)> input;
};

struct Outcome {
    enum class Result { Done, Bad, Refused } result = Result::Done;
    std::string message;  // for Bad (the line's error) and Refused (what the panel said)
};

class Adaptor {
  public:
    // `output`, when given, is the first subscriber of the simulator's event stream (the
    // terminal's readable lines or JSON); the server subscribes after it.
    Adaptor(const Panel& panel, std::shared_ptr<const Library> library, Options options,
            Sink output, Hooks hooks);

    Simulator& sim() { return *sim_; }
    // Carries out one action, as a scenario file would.
    Outcome act(const Action& action);
    ScenarioResult scenario(const std::string& text, const std::string& origin);
    // Reports a line of the server's own (a refused request, a note) in the trace.
    void note(const std::string& text, bool error);

  private:
    void event(const Event& e);

    Hooks hooks_;
    std::string refusal_;  // the first error or failure reported by the running command
    bool capturing_ = false;
    std::unique_ptr<Simulator> sim_;
};

}  // namespace hmi::sim::serve
