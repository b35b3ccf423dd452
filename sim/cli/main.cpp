// hmisim: runs the panel's screens on a desktop with the real script library.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "hmi_version.h"
#include "sim/cli/interactive.hpp"
#include "sim/cli/output.hpp"
#include "sim/engine/tour.hpp"
#include "sim/serve/server.hpp"

using namespace hmi::sim;

namespace {

std::string state_directory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string dir = state && *state ? std::string(state)
                      : home && *home ? std::string(home) + "/.local/state"
                                      : "";
    if (dir.empty()) return "";
    dir += "/hmisim";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return ec ? "" : dir;
}

// Where the library, the panel project and its tour are unless options say otherwise.
// An installed program finds them beside itself, from its own path, so that an unpacked
// package works wherever it lies; one in the build tree takes the build's library and the
// sources' panel. HMISCRIPT names another library.
struct DefaultPaths {
    std::string library = HMISCRIPT_PATH;
    std::string panel = HMI_PANEL_DIR;
    std::string tour = HMI_SCENARIO_DIR;
};

DefaultPaths default_paths() {
    namespace fs = std::filesystem;
    DefaultPaths paths;
    std::error_code ec;
    fs::path bin = fs::read_symlink("/proc/self/exe", ec).parent_path();
    fs::path panel = (bin / HMI_INSTALLED_PANEL_DIR).lexically_normal();
    if (!ec && fs::is_regular_file(panel / "tags.txt", ec)) {
        paths.library = (bin / HMI_INSTALLED_LIBRARY).lexically_normal().string();
        paths.panel = panel.string();
        paths.tour = (panel / "scenarios").string();
    }
    const char* env = std::getenv("HMISCRIPT");
    if (env != nullptr && *env != '\0') paths.library = env;
    return paths;
}

}  // namespace

int main(int argc, char** argv) {
    // The simulated panel keeps its clock in UTC, so runs are the same everywhere.
    setenv("TZ", "UTC", 1);
    tzset();

    CLI::App app{
        "hmisim: the operator panel on a desktop. Loads the script library as the panel does,\n"
        "shows its windows, runs its timers on a simulated clock and reports every tag write,\n"
        "window call, dialog and property change in the order the panel sees them."};
    app.footer(
        "Examples:\n"
        "  hmisim --tour                        walk through every screen\n"
        "  hmisim -i                            the panel at a prompt\n"
        "  hmisim my.sim --watch main,pic1      one scenario, two windows in the trace\n"
        "Scenario commands: type help at the prompt.");
    app.set_version_flag("--version", "hmisim " HMI_VERSION);
    std::vector<std::string> scenarios;
    bool run_interactive = false, tour = false, check = false;
    const DefaultPaths defaults = default_paths();
    std::string tour_dir = defaults.tour;
    OutputOptions out;
    std::string watch, start, params;
    std::string library_path = defaults.library;
    std::string panel_dir = defaults.panel;
    unsigned seed = 1;
    app.add_option("scenario", scenarios,
                   "scenario files to run, each on a freshly started panel (- reads standard "
                   "input)");
    app.add_flag("-i,--interactive", run_interactive,
                 "type commands at a prompt (the default without scenarios)");
    app.add_flag("--tour", tour, "run the bundled scenarios that walk through every screen");
    app.add_option("--tour-dir", tour_dir, "the tour's folder (its tour.txt or its *.sim files)")
        ->capture_default_str();
    app.add_flag("--check", check, "only check the scenarios' lines, run nothing");
    app.add_flag("-q,--quiet", out.quiet, "report only failures, errors and printed tags");
    app.add_flag("--json", out.json, "one JSON object a line instead of the readable trace");
    app.add_option("--watch", watch,
                   "report events and properties of these windows only (comma-separated)");
    app.add_option("--start", start,
                   "the panel's clock at start, \"YYYY-MM-DD HH:MM:SS\" UTC (default: the tag "
                   "catalogue's system.CurDateTime)");
    app.add_option("--params", params,
                   "the file of saved parameters, loaded at start and written by each save "
                   "(default: none for scenarios; for -i at a terminal the user's state folder); "
                   "none keeps them in memory");
    app.add_option("--library", library_path, "the script library to load")->capture_default_str();
    app.add_option("--panel", panel_dir, "the panel project: tags.txt and windows.txt")
        ->capture_default_str();
    app.add_option("--seed", seed, "seed of the random values some screens show")
        ->capture_default_str();
    std::string serve_at;
    app.add_option("--serve", serve_at,
                   "[ADDR:]PORT: the panel in a browser at http://ADDR:PORT/ (127.0.0.1 unless "
                   "given; port 0 picks a free one); scenarios named run first");
    CLI11_PARSE(app, argc, argv);

    std::stringstream list(watch);
    for (std::string name; std::getline(list, name, ',');) {
        if (!name.empty()) out.watch.insert(name);
    }
    Output output(out, stdout);

    Options options;
    options.seed = seed;
    if (!start.empty() && !parse_clock(start, &options.start_time)) {
        std::cerr << "hmisim: --start '" << start << "' is not \"YYYY-MM-DD HH:MM:SS\"\n";
        return 2;
    }
    bool interactive_mode = serve_at.empty() && (run_interactive || (!tour && scenarios.empty()));
    // A person at a terminal keeps parameters and history in the state folder; a
    // prompt fed from a pipe touches no file unless told to.
    std::string state_dir =
        interactive_mode && !check && isatty(STDIN_FILENO) ? state_directory() : "";
    if (params.empty() && !state_dir.empty()) params = state_dir + "/params.txt";
    if (params != "none") options.params_path = params;

    Panel panel;
    std::shared_ptr<const Library> library;
    try {
        panel = Panel::load(panel_dir);
        library = Library::load(library_path);
    } catch (const std::exception& e) {
        std::cerr << "hmisim: " << e.what() << "\n";
        return 2;
    }
    if (!serve_at.empty()) {
        return serve::serve_panel(serve_at, scenarios, panel, library, options, output);
    }
    for (const std::string& problem : library->problems()) {
        output(Entry{0, 0, EntryType::Warning, "library: " + problem, {}});
    }
    for (const HandlerWindow& h : library->windows()) {
        bool mapped = false;
        for (const PanelWindow& w : panel.windows) mapped = mapped || w.handlers == h.name;
        if (!mapped) {
            output(Entry{0,
                         0,
                         EntryType::Warning,
                         "the library has handlers for window \"" + h.name +
                             "\", which no window of the panel takes (windows.txt)",
                         {}});
        }
    }

    for (const HandlerWindow& h : library->windows()) {
        for (const EventRow& row : h.events) {
            if (row.event != "timer") continue;
            bool timed = false;
            for (const PanelTimer& t : panel.timers) {
                const PanelWindow* w = panel.window(t.window);
                timed = timed || (w->handlers == h.name && t.widget == row.widget);
            }
            if (!timed) {
                output(Entry{0,
                             0,
                             EntryType::Warning,
                             row.key + " has no timer in windows.txt: it ticks only by fire",
                             {}});
            }
        }
    }
    for (const PanelTimer& t : panel.timers) {
        const HandlerWindow* h = library->window(panel.window(t.window)->handlers);
        if (t.enable && h != nullptr && h->event(t.widget, "timer") != nullptr &&
            h->prop(t.widget, "enable") == nullptr) {
            output(Entry{0,
                         0,
                         EntryType::Warning,
                         "timer " + t.window + " " + t.widget +
                             " has no enable property in the library: it always ticks",
                         {}});
        }
    }

    if (tour) {
        try {
            std::vector<std::string> found = tour_scenarios(tour_dir);
            scenarios.insert(scenarios.begin(), found.begin(), found.end());
        } catch (const std::exception& e) {
            std::cerr << "hmisim: " << e.what() << "\n";
            return 2;
        }
        if (scenarios.empty()) {
            std::cerr << "hmisim: no scenarios in " << tour_dir << "\n";
            return 2;
        }
    }

    if (!scenarios.empty()) {
        int passed = 0, bad = 0;
        for (std::string path : scenarios) {
            if (path == "-") path = "/dev/stdin";
            if (check) {
                Simulator sim(panel, library, options, output);
                std::string text;
                try {
                    text = read_file(path);
                } catch (const std::exception& e) {
                    output(Entry{0, 0, EntryType::Error, e.what(), {}});
                    ++bad;
                    continue;
                }
                int errors = 0;
                check_scenario(text, path, sim, &errors);
                errors == 0 ? ++passed : ++bad;
                continue;
            }
            ScenarioRun run = run_scenario_file(path, panel, library, options, output);
            const ScenarioResult& r = run.result;
            std::string summary = "scenario " + path + ": ";
            if (r.bad_lines > 0) {
                summary += std::to_string(r.bad_lines) + " bad line(s), not run";
                ++bad;
            } else {
                summary +=
                    std::to_string(r.expectations) + " expectation(s), " +
                    (r.failures == 0 ? "all met" : std::to_string(r.failures) + " failure(s)") +
                    ", " + format_time(run.simulated_ms) + " of panel time";
                if (r.failures == 0) ++passed;
            }
            output.line(summary);
        }
        int total = static_cast<int>(scenarios.size());
        if (check) {
            output.line("checked " + std::to_string(total) +
                        " scenario(s): " + std::to_string(passed) + " good, " +
                        std::to_string(bad) + " with bad lines");
        } else if (total > 1 || tour) {
            output.line(std::string(tour ? "tour" : "scenarios") + ": " + std::to_string(total) +
                        " run, " + std::to_string(passed) + " passed, " +
                        std::to_string(total - passed) + " failed");
        }
        if (bad > 0) return 2;
        return passed == total ? 0 : 1;
    }

    Simulator sim(panel, library, options, output);
    sim.start();
    return interactive(sim, output, state_dir.empty() ? "" : state_dir + "/history");
}
