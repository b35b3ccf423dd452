// What the simulator tells: one entry per event, host call, property change and
// scenario outcome, stamped with simulated time.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace hmi::sim {

enum class EntryType : uint8_t {
    Start,   // the panel starts: clock, parameters
    Event,   // a handler is called: click, timer, open, close
    Action,  // a scenario or person acts on the panel: set, show, hide, touch, answer
    Write,   // a tag write by a handler
    Window,  // a window call
    Dialog,  // a message box or input dialog
    Param,   // parameter memory and the parameter file
    Prop,    // a widget property changed
    Print,   // a tag value asked for
    Say,     // narration of a scenario
    Fail,    // an expectation that does not hold
    Error,   // a line or call that could not be carried out
    Warning,
    Info,  // listings and help, not tied to a moment
};

const char* type_name(EntryType type);

struct Entry {
    uint64_t ms = 0;  // simulated time since the panel started
    int depth = 0;    // 0: an event or an action, 1: what it caused
    EntryType type = EntryType::Event;
    std::string text;                                         // readable, UTF-8, without the time
    std::vector<std::pair<std::string, std::string>> fields;  // for the JSON form
};

using Sink = std::function<void(const Entry&)>;

// Keeps the events and property changes of some windows only: an event of another
// window is dropped with all it caused, and so are other windows' property changes.
// Actions, failures and errors always pass. An empty set keeps everything.
class WindowFilter {
  public:
    explicit WindowFilter(std::set<std::string> windows) : windows_(std::move(windows)) {}
    bool keep(const Entry& entry);

  private:
    std::set<std::string> windows_;
    bool skipping_ = false;  // inside an event of a window that is not kept
};

const std::string* find_field(const Entry& entry, const char* name);

// "hh:mm:ss.mmm" of simulated time.
std::string format_time(uint64_t ms);
// One line of the readable trace, without the newline.
std::string format_entry(const Entry& entry);

}  // namespace hmi::sim
