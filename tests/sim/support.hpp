// Helpers of the simulator's tests: the trace as text, the real panel and library,
// and panels of a few windows built from text.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "sim/engine/scenario.hpp"
#include "tests/support/temp_dir.hpp"

namespace hmi::sim::test {

// Collects the events and their readable trace; a window filter may keep only some
// windows.
struct Recorder {
    std::string text;
    std::vector<Event> events;
    WindowFilter filter{{}};

    Sink sink() {
        return [this](const Event& event) {
            filter.pass(event, [this](const Event& e) {
                events.push_back(e);
                text += sim::trace_line(e) + "\n";
            });
        };
    }
    std::string take() {
        std::string out;
        out.swap(text);
        events.clear();
        return out;
    }
};

const Panel& real_panel();
const std::shared_ptr<const Library>& real_library();

// A small panel: a catalogue and windows file from text.
Panel make_panel(const std::string& tags, const std::string& windows);

using hmi::test::TempDir;

}  // namespace hmi::sim::test
