#include "sim/cli/diff.hpp"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "host/lines.hpp"
#include "sim/cli/children.hpp"
#include "sim/engine/events.hpp"
#include "sim/engine/tour.hpp"

namespace hmi::sim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr size_t kMostCounted = 500;      // differing events counted after the first
constexpr size_t kContext = 3;            // events shown before and after the first difference
constexpr size_t kMostLines = 2'000'000;  // events of a trace compared

// The edit distance (events only in a, plus events only in b) of a[i..] and b[j..], or
// none when it is more than `cap`. Myers' O((N+M)D) walk.
std::optional<size_t> distance(const std::vector<std::string>& a, size_t i,
                               const std::vector<std::string>& b, size_t j, size_t cap) {
    long n = static_cast<long>(a.size() - i), m = static_cast<long>(b.size() - j);
    long most = std::min<long>(n + m, static_cast<long>(cap));
    std::vector<long> v(static_cast<size_t>(2 * most + 3), 0);
    auto at = [&](long k) -> long& { return v[static_cast<size_t>(k + most + 1)]; };
    for (long d = 0; d <= most; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            long y = x - k;
            while (x < n && y < m && a[i + static_cast<size_t>(x)] == b[j + static_cast<size_t>(y)])
                ++x, ++y;
            at(k) = x;
            if (x >= n && y >= m) return static_cast<size_t>(d);
        }
    }
    return std::nullopt;
}

// The lines of a trace file, at most kMostLines; *cut when there were more.
std::vector<std::string> read_lines(FILE* file, bool* cut) {
    std::vector<std::string> lines;
    std::string line;
    *cut = false;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (lines.size() == kMostLines) {
            *cut = true;
            break;
        }
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty() && !*cut) lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> slice(const std::vector<std::string>& lines, size_t from, size_t to) {
    to = std::min(to, lines.size());
    return from < to ? std::vector<std::string>(lines.begin() + static_cast<long>(from),
                                                lines.begin() + static_cast<long>(to))
                     : std::vector<std::string>{};
}

}  // namespace

TraceDifference compare_traces(const std::vector<std::string>& a,
                               const std::vector<std::string>& b) {
    TraceDifference d;
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    if (i == a.size() && i == b.size()) return d;
    d.identical = false;
    d.first = i;
    // After the first difference, whichever reading of it (one event changed, one only in
    // a, one only in b) leaves the fewest differences.
    std::optional<size_t> best;
    auto consider = [&](size_t ai, size_t bi) {
        if (ai > a.size() || bi > b.size()) return;
        std::optional<size_t> n = distance(a, ai, b, bi, best ? *best : kMostCounted);
        if (n && (!best || *n < *best)) best = n;
    };
    consider(i + 1, i + 1);
    consider(i, i + 1);
    consider(i + 1, i);
    d.after = best ? *best : kMostCounted;
    d.after_capped = !best;
    return d;
}

DiffCommand::DiffCommand(CLI::App& app) {
    cmd = app.add_subcommand("diff",
                             "run the same scenarios on two setups (--library OLD --library NEW, "
                             "--panel A --panel B) or against stored traces (--against DIR) and "
                             "show the first event where they differ");
    cmd->fallthrough();
    cmd->add_option("scenario", args,
                    "scenario files, or folders of *.sim files (default: the tour)");
    cmd->add_option("--library", libraries,
                    "a library to compare (give two, or one more than "
                    "before diff)")
        ->allow_extra_args(false);
    cmd->add_option("--panel", panels, "a panel project to compare (give two)")
        ->allow_extra_args(false);
    cmd->add_option("--against", against,
                    "a folder of stored traces, NAME.trace for each scenario NAME.sim");
    cmd->add_flag("--json", json, "one JSON object a scenario, then a summary");
    cmd->add_option("-j,--jobs", jobs, "scenarios run at a time (default: the cores)")
        ->check(CLI::Range(1, 1024));
}

int DiffCommand::run(const SetupOptions& so, bool library_before, bool panel_before) {
    std::vector<std::string> errors;
    std::vector<std::string> libs = libraries, dirs = panels;
    if (library_before && libs.size() == 1) libs.insert(libs.begin(), so.library);
    if (panel_before && dirs.size() == 1) dirs.insert(dirs.begin(), so.panel);
    size_t sides = against.empty() ? 2 : 1;
    if (libs.size() > sides || dirs.size() > sides ||
        (sides == 2 && libs.size() < 2 && dirs.size() < 2)) {
        errors.push_back(sides == 2 ? "give two setups to compare: --library OLD --library NEW, "
                                      "--panel A --panel B, or --against DIR of stored traces"
                                    : "--against compares one setup with the stored traces: "
                                      "give at most one --library and one --panel");
    }
    std::vector<Setup> setups;
    if (errors.empty()) {
        for (size_t s = 0; s < sides; ++s) {
            std::string lib = libs.empty() ? so.library : libs[std::min(s, libs.size() - 1)];
            std::string dir = dirs.empty() ? so.panel : dirs[std::min(s, dirs.size() - 1)];
            std::string error;
            std::optional<Setup> setup = load_setup(lib, dir, &error);
            if (setup) {
                setups.push_back(std::move(*setup));
            } else {
                errors.push_back(error);
            }
        }
    }
    Options options;
    std::string error;
    if (!parse_options(so, &options, &error)) errors.push_back(error);
    if (!so.params.empty() && so.params != "none") {
        errors.push_back(
            "--params: diff runs each scenario with its parameters in memory, "
            "the same on both sides");
    }
    std::vector<std::string> scenarios = collect_scenarios(args, so.tour_dir, &errors);
    std::vector<std::string> stored;
    if (!against.empty()) {
        for (const std::string& path : scenarios) {
            std::string trace = (fs::path(against) / fs::path(path).stem()).string() + ".trace";
            std::error_code ec;
            if (!fs::is_regular_file(trace, ec)) errors.push_back(trace + ": no stored trace");
            stored.push_back(trace);
        }
    }
    for (const std::string& e : errors) std::cerr << "hmisim diff: " << e << "\n";
    if (!errors.empty()) return 2;
    if (check_all(scenarios, setups, options) > 0) return 2;

    // Each side's trace as the tests keep it: every event, the scenario's folder left out
    // of the lines, so that traces of the same scenario elsewhere compare.
    auto job = [&](size_t index, int) {
        const std::string& path = scenarios[index / sides];
        const Setup& setup = setups[index % sides];
        std::string folder = fs::path(path).parent_path().string();
        std::string prefix = folder.empty() ? "" : folder + "/";
        Sink sink = [&](const Event& e) {
            if (e.type == EventType::Scenario) return;
            std::string line = trace_line(e);
            for (size_t at; !prefix.empty() && (at = line.find(prefix)) != std::string::npos;)
                line.erase(at, prefix.size());
            std::printf("%s\n", line.c_str());
        };
        run_scenario_file(path, *setup.panel, setup.library, options, sink);
        return 0;
    };
    std::vector<std::string> names;
    for (const Setup& s : setups) {
        names.push_back(setups.size() == 2 && setups[0].library_path == setups[1].library_path
                            ? "panel " + s.panel_dir
                            : "library " + s.library_path);
    }
    if (!against.empty()) names.push_back("stored traces " + against);
    if (!json) std::printf("diff: - is %s, + is %s\n", names[0].c_str(), names[1].c_str());

    size_t differing = 0, compared = 0;
    std::map<size_t, std::pair<std::vector<std::string>, bool>> waiting;  // a scenario's first side
    auto lines_of = [](ChildOutcome& outcome, bool* cut) {
        std::vector<std::string> lines = read_lines(outcome.output.get(), cut);
        if (outcome.signal != 0) lines.push_back("crashed: " + signal_name(outcome.signal));
        return lines;
    };
    auto report = [&](size_t scenario, const std::vector<std::string>& a,
                      const std::vector<std::string>& b, bool cut) {
        const std::string& path = scenarios[scenario];
        TraceDifference d = compare_traces(a, b);
        ++compared;
        differing += !d.identical;
        std::vector<std::string> before =
            slice(a, d.first >= kContext ? d.first - kContext : 0, d.first);
        std::vector<std::string> side_a = slice(a, d.first, d.first + kContext);
        std::vector<std::string> side_b = slice(b, d.first, d.first + kContext);
        if (json) {
            nlohmann::json o = {{"scenario", path},
                                {"identical", d.identical},
                                {"events", {a.size(), b.size()}},
                                {"cut", cut}};
            if (!d.identical) {
                o["first"] = d.first + 1;
                o["before"] = before;
                o["a"] = side_a;
                o["b"] = side_b;
                o["after"] = d.after;
                o["after_at_least"] = d.after_capped;
            }
            std::printf("%s\n",
                        o.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            return;
        }
        if (d.identical) {
            std::printf("identical: %s (%zu events%s)\n", path.c_str(), a.size(),
                        cut ? ", compared as far as the first 2000000" : "");
            return;
        }
        std::printf(
            "DIFFERS:   %s at event %zu (of %zu and %zu); %s%zu more differing event(s) "
            "after it\n",
            path.c_str(), d.first + 1, a.size(), b.size(), d.after_capped ? "over " : "", d.after);
        for (const std::string& l : before) std::printf("      %s\n", l.c_str());
        for (const std::string& l : side_a) std::printf("    - %s\n", l.c_str());
        if (side_a.empty()) std::printf("    - (the trace ends)\n");
        for (const std::string& l : side_b) std::printf("    + %s\n", l.c_str());
        if (side_b.empty()) std::printf("    + (the trace ends)\n");
    };
    unsigned parallel = jobs > 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
    run_in_children(
        scenarios.size() * sides, {parallel}, job, [&](size_t index, ChildOutcome outcome) {
            size_t scenario = index / sides;
            bool cut = false;
            std::vector<std::string> lines = lines_of(outcome, &cut);
            if (sides == 1) {
                FILE* f = std::fopen(stored[scenario].c_str(), "rb");
                bool stored_cut = false;
                std::vector<std::string> kept =
                    f ? read_lines(f, &stored_cut) : std::vector<std::string>{};
                if (f) std::fclose(f);
                report(scenario, lines, kept, cut || stored_cut);
                return;
            }
            auto it = waiting.find(scenario);
            if (it == waiting.end()) {
                waiting.emplace(scenario, std::make_pair(std::move(lines), cut));
                return;
            }
            std::vector<std::string> first = std::move(it->second.first);
            cut = cut || it->second.second;
            waiting.erase(it);
            bool first_is_a = index % sides == 1;
            report(scenario, first_is_a ? first : lines, first_is_a ? lines : first, cut);
        });
    if (json) {
        std::printf("%s\n", nlohmann::json({{"summary",
                                             {{"scenarios", compared},
                                              {"identical", compared - differing},
                                              {"differ", differing}}}})
                                .dump()
                                .c_str());
    } else {
        std::printf("diff: %zu scenario(s): %zu identical, %zu differ\n", compared,
                    compared - differing, differing);
    }
    return differing > 0 ? 1 : 0;
}

}  // namespace hmi::sim
