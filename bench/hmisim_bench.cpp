// Simulated panel time per wall-clock second: an hour of panel time with every timed
// window shown, and the tour. Each is also given as a multiple of one bare timer
// dispatch (the home window's tick called directly, with nothing around it), measured
// in the same run, so that the numbers compare across machines.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/loader.hpp"
#include "sim/engine/tour.hpp"

using namespace hmi::sim;

namespace {

const Panel& panel() {
    static const Panel p = Panel::load(hmi::host::default_panel_dir());
    return p;
}

const std::shared_ptr<const Library>& library() {
    static const std::shared_ptr<const Library> lib = [] {
        return Library::load(hmi::host::default_library_path());
    }();
    return lib;
}

// Seconds of one bare dispatch of the home window's timer tick, measured once.
double bare_dispatch_seconds() {
    static const double seconds = [] {
        Simulator sim(panel(), library(), Options{}, nullptr);
        hmi_event_func tick = library()->window("main")->event("timer1", "timer")->func;
        constexpr int kCount = 200000;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCount; ++i) {
            tick();
            sim.host().clear_trace();
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        return took.count() / kCount;
    }();
    return seconds;
}

void report(benchmark::State& state, double wall_seconds, double panel_seconds) {
    double per_run = wall_seconds / static_cast<double>(state.iterations());
    state.counters["panel_s_per_wall_s"] = panel_seconds / per_run;
    state.counters["bare_dispatches"] = per_run / bare_dispatch_seconds();
    state.counters["bare_dispatch_ns"] = bare_dispatch_seconds() * 1e9;
}

void BM_BareTimerDispatch(benchmark::State& state) {
    Simulator sim(panel(), library(), Options{}, nullptr);
    hmi_event_func tick = library()->window("main")->event("timer1", "timer")->func;
    for (auto _ : state) {
        tick();
        sim.host().clear_trace();
    }
}
BENCHMARK(BM_BareTimerDispatch);

// One hour of panel time with every window that has a timer shown, so that every timer
// that has a handler runs at its period.
void BM_PanelHour(benchmark::State& state) {
    double wall = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        Simulator sim(panel(), library(), Options{}, nullptr);
        sim.start();
        for (const PanelTimer& t : panel().timers) sim.show(panel().window_index(t.window));
        sim.run(3600 * 1000);
        benchmark::DoNotOptimize(sim.now());
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, wall, 3600);
}
BENCHMARK(BM_PanelHour)->Unit(benchmark::kMillisecond);

// The bundled tour, each scenario on a fresh panel, with nothing reported.
void BM_Tour(benchmark::State& state) {
    std::vector<std::string> files = tour_scenarios(HMI_SCENARIO_DIR);
    double wall = 0, panel_seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        panel_seconds = 0;
        for (const std::string& file : files) {
            ScenarioRun run = run_scenario_file(file, panel(), library(), Options{}, nullptr);
            if (!run.result.ok()) state.SkipWithError(("the tour fails at " + file).c_str());
            panel_seconds += static_cast<double>(run.simulated_ms) / 1000;
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, wall, panel_seconds);
}
BENCHMARK(BM_Tour)->Unit(benchmark::kMillisecond);

// The load to expect once every screen is in the library: the panel's nine timed
// windows, shown together, with about as many property functions as the panel has
// (252, a sixth of them texts formatted by the host, one a window drawing a random
// value), and a tick handler each at the periods of windows.txt that counts its own
// tag, which all the window's properties show.
namespace synthetic {
constexpr int kWindows = 9;
const char* const kTags[kWindows] = {"s.n0", "s.n1", "s.n2", "s.n3", "s.n4",
                                     "s.n5", "s.n6", "s.n7", "s.n8"};
void* g_slots[kWindows];

template <int W>
void tick() {
    uint32_t next = *static_cast<uint32_t*>(hmidb_get_data_value(kTags[W])) + 1;
    hmidb_set_data_value(kTags[W], &next);
}
template <int W>
uint32_t count() {
    return *static_cast<uint32_t*>(hmidb_get_data_value_by_ptr(kTags[W], &g_slots[W]));
}
template <int W>
int flag(void* value) {  // changes every eighth tick
    uint8_t v = (count<W>() >> 3) & 1;
    if (*static_cast<uint8_t*>(value) == v) return 0;
    *static_cast<uint8_t*>(value) = v;
    return 1;
}
template <int W>
int text(void* value) {  // changes every tick
    const char* t = long2str(count<W>());
    if (std::strncmp(static_cast<char*>(value), t, 16) == 0) return 0;
    std::strncpy(static_cast<char*>(value), t, 16);
    static_cast<char*>(value)[15] = 0;
    return 1;
}
int meter(void* value) {  // a new random value at every poll
    float v = static_cast<float>(rand() % 100);
    if (*static_cast<float*>(value) == v) return 0;
    *static_cast<float*>(value) = v;
    return 1;
}

struct Handlers {
    void* tick;
    void* flag;
    void* text;
};
template <int... W>
constexpr std::array<Handlers, kWindows> handlers(std::integer_sequence<int, W...>) {
    return {Handlers{reinterpret_cast<void*>(&tick<W>), reinterpret_cast<void*>(&flag<W>),
                     reinterpret_cast<void*>(&text<W>)}...};
}

struct Load {
    Panel panel;
    std::vector<std::string> keys;
    std::vector<hmi_func_row> events, props;
    std::shared_ptr<const Library> library;

    Load() {
        const unsigned periods[kWindows] = {1000, 1000, 500, 500, 1000, 1000, 500, 200, 500};
        std::string windows, tags;
        for (int w = 0; w < kWindows; ++w) {
            std::string name = "w" + std::to_string(w);
            windows += "window " + name + (w == 0 ? " start\n" : "\n");
            windows += "timer " + name + " timer1 " + std::to_string(periods[w]) + "\n";
            tags += std::string(kTags[w]) + " u32 0\n";
        }
        panel = Panel::parse(hmi::host::Catalogue::parse(tags, "tags"), windows, "windows");
        auto all = handlers(std::make_integer_sequence<int, kWindows>());
        keys.reserve(kWindows * 29);
        for (int w = 0; w < kWindows; ++w) {
            std::string name = "w" + std::to_string(w);
            keys.push_back(name + "_timer1_timer");
            events.push_back({keys.back().c_str(), all[w].tick});
            for (int p = 0; p < 28; ++p) {
                const char* property = p == 27 ? "_value" : p % 6 == 0 ? "_text" : "_visible";
                keys.push_back(name + "_widget" + std::to_string(p) + property);
                void* f = p == 27      ? reinterpret_cast<void*>(&meter)
                          : p % 6 == 0 ? all[w].text
                                       : all[w].flag;
                props.push_back({keys.back().c_str(), f});
            }
        }
        events.push_back({nullptr, nullptr});
        props.push_back({nullptr, nullptr});
        library = Library::from_tables(events.data(), props.data());
    }
};

const Load& load() {
    static const Load l;
    return l;
}

void hour(benchmark::State& state, bool full_refresh) {
    Options options;
    options.full_refresh = full_refresh;
    double wall = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        Simulator sim(load().panel, load().library, options, nullptr);
        sim.start();
        for (size_t w = 1; w < load().panel.windows.size(); ++w) sim.show(static_cast<int>(w));
        sim.run(3600 * 1000);
        benchmark::DoNotOptimize(sim.now());
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, wall, 3600);
}
}  // namespace synthetic

// One hour at the full load, polling only the properties that may have changed.
void BM_FullPanelHour(benchmark::State& state) {
    synthetic::hour(state, false);
}
BENCHMARK(BM_FullPanelHour)->Unit(benchmark::kMillisecond);

// The same hour polling every property after every event: what the tracking saves.
void BM_FullPanelHourPollingEverything(benchmark::State& state) {
    synthetic::hour(state, true);
}
BENCHMARK(BM_FullPanelHourPollingEverything)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
