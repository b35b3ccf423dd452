// What the simulator tells: the events of the host and its own (events.hpp), stamped
// with simulated time and depth, and what the outputs share to choose among them.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "host/event.hpp"
#include "sim/engine/events.hpp"

namespace hmi::sim {

using host::EventStream;
using host::Field;
using host::format_time;
using host::Sink;
using host::Value;

// Keeps the events and property changes of some windows only: an event of another
// window is dropped with all it caused, and so are other windows' property changes.
// Actions, failures and errors always pass. An empty set keeps everything.
class WindowFilter {
  public:
    explicit WindowFilter(std::set<std::string> windows) : windows_(std::move(windows)) {}
    bool keep(const Event& event);
    // Gives the events to show for this one: none, it, or (for a window opened or
    // closed by a handler of a window not kept) that handler's call first, then it.
    void pass(const Event& event, const std::function<void(const Event&)>& out);

  private:
    std::set<std::string> windows_;
    bool skipping_ = false;         // inside an event of a window that is not kept
    std::optional<Event> dropped_;  // the last handler call not kept
};

}  // namespace hmi::sim
