// Scenario text from any bytes against the real panel, with the library's handlers
// compiled in and the real host layer. Checking a line never crashes and never changes
// the panel; the lines that pass are then carried out one after another, as the prompt
// would, with simulated time and timer ticks bounded so that an input stays quick. No
// parameter file is kept (parameters stay in memory), no handler starts a program and no
// command reads or writes a file.
// Durations and clock times that are taken mean what they say.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/hmi_abi.h"
#include "sim/engine/scenario.hpp"

namespace {

constexpr uint64_t kMostRunMs = 10000;  // simulated time per input, over all its run lines
constexpr uint64_t kMostTicks = 10;     // timer ticks per fire line
constexpr size_t kMostCommands = 200;
constexpr uint64_t kLongestDuration = 1000ull * 3600 * 1000;  // what the parser takes at most

const hmi::sim::Panel& panel() {
    static const hmi::sim::Panel p = hmi::sim::Panel::load(HMI_PANEL_DIR);
    return p;
}

const std::shared_ptr<const hmi::sim::Library>& library() {
    static const std::shared_ptr<const hmi::sim::Library> lib = hmi::sim::Library::from_tables(
        event_funcs, prop_funcs, hmi_widget_get_event_func, hmi_widget_get_dyn_prop_func);
    return lib;
}

// A duration cut anywhere into two that are durations is their sum.
void check_duration(std::string_view text) {
    uint64_t whole = 0;
    bool taken = hmi::sim::parse_duration(text, &whole);
    if (taken && whole > kLongestDuration) __builtin_trap();
    uint64_t first = 0, second = 0;
    size_t cut = text.size() / 2;
    if (hmi::sim::parse_duration(text.substr(0, cut), &first) &&
        hmi::sim::parse_duration(text.substr(cut), &second)) {
        if (taken ? whole != first + second : first + second <= kLongestDuration) {
            __builtin_trap();
        }
    }
}

// A clock time that is taken is the moment its fields name (the process's local time is
// UTC here), and that moment written out is taken again as the same one.
void check_clock(std::string_view text) {
    uint32_t seconds = 0;
    if (!hmi::sim::parse_clock(text, &seconds)) return;
    std::string copy(text);
    int f[6];
    char separator = 0;
    if (std::sscanf(copy.c_str(), "%d-%d-%d%c%d:%d:%d", &f[0], &f[1], &f[2], &separator, &f[3],
                    &f[4], &f[5]) != 7) {
        __builtin_trap();
    }
    time_t t = seconds;
    struct tm tm {};
    if (gmtime_r(&t, &tm) == nullptr) __builtin_trap();
    const int named[6] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                          tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    if (std::memcmp(f, named, sizeof f) != 0) __builtin_trap();
    char written[32];
    std::strftime(written, sizeof written, "%Y-%m-%d %H:%M:%S", &tm);
    uint32_t again = 0;
    if (!hmi::sim::parse_clock(written, &again) || again != seconds) __builtin_trap();
}

// What checking a line must not change.
struct Snapshot {
    std::vector<unsigned char> tags;
    std::vector<bool> shown;
    uint64_t now;
    size_t answers;

    explicit Snapshot(hmi::sim::Simulator& sim) : now(sim.now()), answers(sim.queued_answers()) {
        for (const hmi::host::Tag& t : sim.host().tags().all()) {
            tags.insert(tags.end(), t.value, t.value + hmi::host::width(t.def->kind));
        }
        for (size_t i = 0; i < sim.panel().windows.size(); ++i) {
            shown.push_back(sim.shown(static_cast<int>(i)));
        }
    }
    bool operator==(const Snapshot& o) const {
        return tags == o.tags && shown == o.shown && now == o.now && answers == o.answers;
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC0", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    for (std::string_view rest = text; !rest.empty();) {
        size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        check_duration(line);
        check_clock(line);
        size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            check_duration(line.substr(space + 1));
            check_clock(line.substr(space + 1));
        }
    }

    hmi::sim::Simulator sim(panel(), library(), hmi::sim::Options{}, [](const hmi::sim::Event& e) {
        // The trace as a person reads it; a property function that writes past the
        // value the widget gives it is a fault of the library.
        std::string shown = hmi::sim::trace_line(e);
        if (e.type == hmi::sim::EventType::Error && e.find(hmi::sim::key::width) != nullptr)
            __builtin_trap();
    });
    sim.start();

    Snapshot before(sim);
    int bad_lines = 0;
    std::vector<hmi::sim::ScenarioLine> lines =
        hmi::sim::check_scenario(text, "fuzz", sim, &bad_lines);
    if (!(Snapshot(sim) == before)) __builtin_trap();

    uint64_t time_left = kMostRunMs;
    size_t done = 0;
    for (hmi::sim::ScenarioLine& line : lines) {
        if (++done > kMostCommands) break;
        hmi::sim::Action& action = line.action;
        // Commands that read or write files are checked, never carried out: a fuzzed line
        // must not name a file to write over.
        std::string_view name = hmi::sim::command_name(action);
        if (name == "record" || name == "load" || name == "plot") continue;
        if (auto* run = std::get_if<hmi::sim::Run>(&action)) {
            run->ms = std::min(run->ms, time_left);
            time_left -= run->ms;
        } else if (auto* until = std::get_if<hmi::sim::RunUntil>(&action)) {
            until->max_ms = std::min(until->max_ms, time_left);
            time_left -= until->max_ms;
        } else if (auto* fire = std::get_if<hmi::sim::Fire>(&action)) {
            fire->times = std::min(fire->times, kMostTicks);
        }
        hmi::sim::execute(action, sim, hmi::sim::Where{"fuzz", line.number, line.text});
    }
    sim.clear_answers();
    return 0;
}
