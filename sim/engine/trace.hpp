// What the simulator tells: the events of host/event.hpp, stamped with simulated time
// and depth, and what the outputs share to choose among them.
#pragma once

#include <set>
#include <string>

#include "host/event.hpp"

namespace hmi::sim {

using host::Event;
using host::EventStream;
using host::EventType;
using host::Field;
using host::format_time;
using host::Sink;
using host::Value;

// Met expectations are in the stream (and its JSON) but not in the readable trace,
// which shows what went wrong.
bool in_readable_trace(const Event& event);
// An error, a failed expectation or a failed parameter operation.
bool is_failure(const Event& event);

// Keeps the events and property changes of some windows only: an event of another
// window is dropped with all it caused, and so are other windows' property changes.
// Actions, failures and errors always pass. An empty set keeps everything.
class WindowFilter {
  public:
    explicit WindowFilter(std::set<std::string> windows) : windows_(std::move(windows)) {}
    bool keep(const Event& event);

  private:
    std::set<std::string> windows_;
    bool skipping_ = false;  // inside an event of a window that is not kept
};

}  // namespace hmi::sim
