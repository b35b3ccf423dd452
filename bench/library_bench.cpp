// The library's performance budget, measured as the panel uses it, each figure against
// a baseline measured in the same run:
//
// - a full refresh: every dynamic property function of a window polled with no tag
//   change (each window, and all of them), per call;
// - the lookup of every key of both tables, as the host does when it loads the
//   project's windows, per key.
//
// The baseline is what no property function can undercut: one tag looked up through
// its cache slot, one byte loaded and compared with the widget's value, nothing stored.
// The host is bench/minimal_host.cpp, whose services cost next to nothing.
//
//   library_bench [benchmark flags]   the benchmarks, then a summary of the ratios
//   library_bench list                the windows with property functions
//   library_bench drive WHAT TIMES    one measured function, for bench/callgrind:
//                                     WHAT is baseline, refresh, refresh:WINDOW or lookup
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/minimal_host.hpp"
#include "host/loader.hpp"
#include "plugin/hmi_abi.h"

namespace {

using Library = hmi::host::Exports;

Library load_library() {
    try {
        return hmi::host::load_exports(hmi::host::default_library_path());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::exit(2);
    }
}

// A widget property as the host keeps it: its function and its current value.
struct Property {
    hmi_prop_func function;
    alignas(8) unsigned char value[HMI_TEXT_VALUE_SIZE];
};

struct Window {
    std::string name;
    std::vector<Property> properties;
};

// A key as the host holds it: three names.
struct Key {
    bool event;
    std::string window, widget, name;
};

struct Panel {
    Library lib;
    std::vector<Window> windows;  // in table order; the last one holds every property
    std::vector<Key> keys;
};

Key split(const char* key, bool event) {
    std::optional<hmi::host::Key> k = hmi::host::split_key(key);
    if (!k) {
        std::fprintf(stderr, "not a handler key: %s\n", key);
        std::exit(2);
    }
    return {event, k->window, k->widget, k->name};
}

Panel& panel() {
    static Panel p = [] {
        hmi::bench::load_tags(hmi::host::default_panel_dir() + "/tags.txt");
        Panel p{load_library(), {}, {}};
        Window all{"all", {}};
        for (const hmi_func_row* row = p.lib.prop_funcs; row->key != nullptr; ++row) {
            Key k = split(row->key, false);
            if (p.windows.empty() || p.windows.back().name != k.window) {
                p.windows.push_back({k.window, {}});
            }
            Property property{reinterpret_cast<hmi_prop_func>(row->func), {}};
            p.windows.back().properties.push_back(property);
            all.properties.push_back(property);
            p.keys.push_back(k);
        }
        if (!all.properties.empty()) p.windows.push_back(all);
        for (const hmi_func_row* row = p.lib.event_funcs; row->key != nullptr; ++row) {
            p.keys.push_back(split(row->key, true));
        }
        return p;
    }();
    return p;
}

Window* window_named(const std::string& name) {
    for (Window& w : panel().windows) {
        if (w.name == name) return &w;
    }
    return nullptr;
}

// The first poll fills the slots and stores the values; the measured ones change nothing.
void warm_up(Window& window) {
    for (Property& p : window.properties) p.function(p.value);
}

// Called as the library's property functions are: through a pointer, and calling the
// host through a pointer too (the library's imports go through its GOT).
decltype(&hmidb_get_data_value_by_ptr) volatile g_lookup = &hmidb_get_data_value_by_ptr;

// Every key of both tables, by its three names.
int look_up_every_key() {
    const Library& lib = panel().lib;
    int found = 0;
    for (const Key& k : panel().keys) {
        auto get = k.event ? lib.get_event_func : lib.get_prop_func;
        found += get(k.window.c_str(), k.widget.c_str(), k.name.c_str()) != nullptr;
    }
    return found;
}

}  // namespace

// ---- the measured functions (C names, for callgrind's --toggle-collect) ----
extern "C" {

__attribute__((noinline)) int hmi_bench_baseline(void* value) {
    static void* slot = nullptr;
    uint8_t tag = *static_cast<const uint8_t*>(g_lookup("main.screenState", &slot));
    if (tag == *static_cast<uint8_t*>(value)) return 0;
    *static_cast<uint8_t*>(value) = tag;
    return 1;
}

__attribute__((noinline)) int hmi_bench_baseline_pass(long times) {
    static hmi_prop_func volatile baseline = hmi_bench_baseline;
    uint8_t value = 0;
    int changed = 0;
    for (long i = 0; i < times; ++i) changed += baseline(&value);
    return changed;
}

__attribute__((noinline)) int hmi_bench_refresh_pass(Window* window, long times) {
    int changed = 0;
    for (long i = 0; i < times; ++i) {
        for (Property& p : window->properties) changed += p.function(p.value);
    }
    return changed;
}

__attribute__((noinline)) int hmi_bench_lookup_pass(long times) {
    int found = 0;
    for (long i = 0; i < times; ++i) found += look_up_every_key();
    return found;
}

}  // extern "C"

namespace {

// Nanoseconds per call of each benchmark, for the ratios and the summary.
std::map<std::string, double> g_ns_per_call;
std::map<std::string, size_t> g_calls;

template <class Pass>
void measure(benchmark::State& state, const std::string& name, size_t calls, Pass pass) {
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(pass());
    std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    double per_call = spent.count() / static_cast<double>(state.iterations() * calls);
    g_ns_per_call[name] = per_call;
    g_calls[name] = calls;
    state.counters["calls"] = static_cast<double>(calls);
    state.counters["ns_per_call"] = per_call;
    auto base = g_ns_per_call.find("baseline");
    if (base != g_ns_per_call.end() && name != "baseline") {
        state.counters["x_baseline"] = per_call / base->second;
    }
}

void baseline(benchmark::State& state) {
    constexpr long kCalls = 64;
    hmi_bench_baseline_pass(1);  // fills the slot
    measure(state, "baseline", kCalls, [] { return hmi_bench_baseline_pass(kCalls); });
}

void refresh(benchmark::State& state, Window* window) {
    warm_up(*window);
    measure(state, "refresh " + window->name, window->properties.size(),
            [window] { return hmi_bench_refresh_pass(window, 1); });
}

void lookup(benchmark::State& state) {
    measure(state, "lookup", panel().keys.size(), [] { return hmi_bench_lookup_pass(1); });
}

void print_summary() {
    auto base = g_ns_per_call.find("baseline");
    if (base == g_ns_per_call.end()) return;  // filtered out: no ratios
    std::printf("\nper call, as a multiple of the baseline (%.2f ns):\n", base->second);
    for (const auto& [name, ns] : g_ns_per_call) {
        if (name == "baseline") continue;
        std::printf("  %-22s %4zu calls  %8.2f ns  %6.2f x\n", name.c_str(), g_calls[name], ns,
                    ns / base->second);
    }
    if (panel().windows.empty()) std::printf("  (no property functions in the table yet)\n");
}

int drive(const std::string& what, long times) {
    long calls;
    panel();  // the tags are loaded with it, and the baseline reads one
    if (what == "baseline") {
        calls = 1;
        uint8_t value = 0;
        hmi_bench_baseline(&value);  // fills the slot
        hmi_bench_baseline_pass(times);
    } else if (what == "lookup") {
        calls = static_cast<long>(panel().keys.size());
        look_up_every_key();
        hmi_bench_lookup_pass(times);
    } else if (what.rfind("refresh", 0) == 0) {
        std::string name = what == "refresh" ? "all" : what.substr(what.find(':') + 1);
        Window* window = window_named(name);
        if (window == nullptr) {
            std::fprintf(stderr, "no property functions for window %s\n", name.c_str());
            return 2;
        }
        warm_up(*window);
        calls = static_cast<long>(window->properties.size());
        hmi_bench_refresh_pass(window, times);
    } else {
        std::fprintf(stderr, "drive what? baseline, refresh, refresh:WINDOW or lookup\n");
        return 2;
    }
    std::printf("calls_per_pass %ld\n", calls);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "list") == 0) {
        for (const Window& w : panel().windows) {
            std::printf("%s %zu\n", w.name.c_str(), w.properties.size());
        }
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "drive") == 0) {
        return drive(argv[2], std::atol(argv[3]));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // Registered in this order, so the baseline is measured first.
    benchmark::RegisterBenchmark("baseline", baseline);
    for (Window& w : panel().windows) {
        benchmark::RegisterBenchmark(("refresh/" + w.name).c_str(), refresh, &w);
    }
    benchmark::RegisterBenchmark("lookup/all_keys", lookup);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    print_summary();
    return 0;
}
