// Helpers of the simulator's tests: the trace as text, the real panel and library,
// and panels of a few windows built from text.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "sim/engine/scenario.hpp"

namespace hmi::sim::test {

// Collects the events and their readable trace; a window filter may keep only some
// windows.
struct Recorder {
    std::string text;
    std::vector<Event> events;
    WindowFilter filter{{}};

    Sink sink() {
        return [this](const Event& e) {
            if (!filter.keep(e)) return;
            events.push_back(e);
            if (in_readable_trace(e)) text += host::format_line(e) + "\n";
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

// The directory of a fresh temporary folder, removed with the object.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

}  // namespace hmi::sim::test
