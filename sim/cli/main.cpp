// hmisim: runs the panel's screens on a desktop with the real script library.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "hmi_version.h"
#include "host/lines.hpp"
#include "host/loader.hpp"
#include "sim/cli/interactive.hpp"
#include "sim/cli/output.hpp"
#include "sim/cli/suite.hpp"
#include "sim/engine/plot.hpp"
#include "sim/engine/probe.hpp"
#include "sim/engine/session.hpp"
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
// package works wherever it lies. A program in the build tree reads them from the file
// the build wrote beside it (kBuildTreeFile: the build's library, the sources' panel), so
// that no path of the build is compiled into the program. HMISCRIPT names another
// library in either case. Neither: no default, the options must name them.
constexpr char kBuildTreeFile[] = "hmisim.build-tree";

struct DefaultPaths {
    std::string library, panel, tour;
};

// The build tree's file: "library=PATH", "panel=PATH", "tour=PATH" lines.
DefaultPaths build_tree_paths(const std::filesystem::path& file) {
    DefaultPaths paths;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "library") paths.library = value;
        if (key == "panel") paths.panel = value;
        if (key == "tour") paths.tour = value;
    }
    return paths;
}

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
    } else if (!bin.empty() && fs::is_regular_file(bin / kBuildTreeFile, ec)) {
        paths = build_tree_paths(bin / kBuildTreeFile);
    }
    const char* env = std::getenv("HMISCRIPT");
    if (env != nullptr && *env != '\0') paths.library = env;
    return paths;
}

struct Settings {
    std::vector<std::string> scenarios;
    bool interactive = false, tour = false, check = false;
    DefaultPaths defaults = default_paths();
    std::string tour_dir = defaults.tour;
    OutputOptions out;
    std::string watch, start, params;
    std::string library_path = defaults.library;
    std::string panel_dir = defaults.panel;
    unsigned seed = 1;
    std::string plot, plot_svg, plot_csv;  // --plot, -o, --csv
    bool move_damaged = false, params_read_only = false;
    std::string serve;                   // [ADDR:]PORT of the inspector
    std::shared_ptr<LoopCommands> loop;  // hmisim test, hmisim diff
};

void add_options(CLI::App& app, Settings& s) {
    app.add_option("scenario", s.scenarios,
                   "scenario files to run, each on a freshly started panel (- reads standard "
                   "input)");
    app.add_flag("-i,--interactive", s.interactive,
                 "type commands at a prompt (the default without scenarios)");
    app.add_flag("--tour", s.tour, "run the bundled scenarios that walk through every screen");
    app.add_option("--tour-dir", s.tour_dir, "the tour's folder (its tour.txt or its *.sim files)")
        ->capture_default_str();
    app.add_flag("--check", s.check, "only check the scenarios' lines, run nothing");
    app.add_flag("-q,--quiet", s.out.quiet,
                 "report only failures, errors and what is asked for (print, listings, help)");
    app.add_flag("--json", s.out.json, "one JSON object a line instead of the readable trace");
    app.add_option("--watch", s.watch,
                   "report events and properties of these windows only (comma-separated)");
    app.add_option("--start", s.start,
                   "the panel's clock at start, \"YYYY-MM-DD HH:MM:SS\" UTC (default: the tag "
                   "catalogue's system.CurDateTime)");
    app.add_option("--params", s.params,
                   "the file of saved parameters, loaded at start and written by each save "
                   "(default: none for scenarios; for -i at a terminal the user's state folder); "
                   "none keeps them in memory");
    app.add_flag(kMoveDamagedOption, s.move_damaged,
                 "move a damaged parameter file aside (FILE.damaged-<time>, kept) and start "
                 "with the catalogue's values");
    app.add_flag(kReadOnlyOption, s.params_read_only,
                 "load the parameter file but never write it (saves are kept in memory): for a "
                 "file that another run holds")
        ->excludes(app.get_option(kMoveDamagedOption));
    app.add_option("--library", s.library_path, "the script library to load")
        ->capture_default_str();
    app.add_option("--panel", s.panel_dir, "the panel project: tags.txt and windows.txt")
        ->capture_default_str();
    app.add_option("--seed", s.seed, "seed of the random values some screens show")
        ->capture_default_str();
    app.add_option("--plot", s.plot,
                   "sample numeric tags while the scenario (or the prompt) runs: TAG,TAG... "
                   "against simulated time, or x=TAG,y=TAG one against the other");
    app.add_option("-o,--output", s.plot_svg, "where --plot draws its picture (FILE.svg)");
    app.add_option("--csv", s.plot_csv, "where --plot writes the same series (FILE.csv)");
    app.add_option("--serve", s.serve,
                   "[ADDR:]PORT: the panel in a browser at http://ADDR:PORT/ (127.0.0.1 unless "
                   "given; port 0 picks a free one); scenarios named run first");
}

// What every panel of this run is given before it starts (the trace's level, the
// plots), and what is done after its scenario (the plots written, the prompt).
struct Around {
    TraceLevel level = TraceLevel::Normal;
    std::optional<PlotSpec> plot;
    std::vector<std::pair<std::string, PlotFormat>> plot_files;
    bool prompt = false;  // -i with a scenario: stay at the prompt after it
    std::string history;
    Output* output = nullptr;
    int failures = 0;  // plots that could not be written, a prompt's bad status

    void before(Simulator& sim) const {
        sim.session().view.level = level;
        for (const auto& [path, format] : plot_files) {
            std::string error;
            std::optional<PlotSampler> sampler = PlotSampler::make(sim, plot->tags, &error);
            if (sampler) sim.session().plots.push_back({*plot, std::move(*sampler), path, format});
        }
    }
    void after(Simulator& sim) {
        if (prompt && interactive(sim, *output, history) != 0) ++failures;
        std::vector<std::string> errors;
        for (const std::string& line : sim.session().finish_plots(sim.now(), &errors)) {
            output->note(line);
        }
        for (const std::string& e : errors) output->error(e);
        failures += static_cast<int>(errors.size());
    }
    ScenarioHooks hooks() {
        return {[this](Simulator& sim) { before(sim); }, [this](Simulator& sim) { after(sim); }};
    }
};

// --plot, -o, --csv and -i as the run allows them; an empty message when they do.
std::string check_around(const Settings& s, const Panel& panel,
                         const std::shared_ptr<const Library>& library, Around* around) {
    around->level = s.out.quiet  ? TraceLevel::Quiet
                    : s.out.json ? TraceLevel::Full
                                 : TraceLevel::Normal;
    bool several = s.tour || s.scenarios.size() > 1;
    if (s.interactive && (several || s.check)) {
        return std::string("-i stays at the prompt after one scenario, not after ") +
               (s.check  ? "--check"
                : s.tour ? "the tour"
                         : "several");
    }
    around->prompt = s.interactive && !s.scenarios.empty();
    if (s.plot.empty() && s.plot_svg.empty() && s.plot_csv.empty()) return {};
    if (s.plot.empty()) return "-o and --csv write what --plot samples: give --plot too";
    if (s.plot_svg.empty() && s.plot_csv.empty())
        return "--plot needs -o FILE.svg or --csv FILE.csv";
    if (!s.plot_svg.empty() && !s.plot_svg.ends_with(".svg")) {
        return "-o " + hmi::host::quoted_excerpt(s.plot_svg) +
               ": the picture is written as FILE.svg";
    }
    if (several) return "--plot samples one scenario or the prompt, not several";
    std::string error;
    around->plot = PlotSpec::parse(s.plot, &error);
    if (!around->plot) return error;
    Simulator probe(panel, library, Options{});
    if (!PlotSampler::make(probe, around->plot->tags, &error)) return error;
    // The format follows the option, whatever the file is called.
    if (!s.plot_svg.empty()) around->plot_files.emplace_back(s.plot_svg, PlotFormat::Svg);
    if (!s.plot_csv.empty()) around->plot_files.emplace_back(s.plot_csv, PlotFormat::Csv);
    return {};
}

// What of the library the panel cannot use, or uses only in part.
void warn_about_library(const Panel& panel, const Library& library, Output& output) {
    for (const std::string& warning : panel.catalogue.warnings) output.warning(warning);
    for (const std::string& problem : library.problems()) output.warning("library: " + problem);
    for (const HandlerWindow& h : library.windows()) {
        bool mapped = false;
        for (const PanelWindow& w : panel.windows) mapped = mapped || w.handlers == h.name;
        if (!mapped) {
            output.warning("the library has handlers for window \"" + h.name +
                           "\", which no window of the panel takes (windows.txt)");
        }
    }
    for (const HandlerWindow& h : library.windows()) {
        for (const EventRow& row : h.events) {
            if (row.event != "timer") continue;
            bool timed = false;
            for (const PanelTimer& t : panel.timers) {
                timed =
                    timed || (panel.window(t.window)->handlers == h.name && t.widget == row.widget);
            }
            if (!timed)
                output.warning(row.key + " has no timer in windows.txt: it ticks only by fire");
        }
    }
    for (const PanelTimer& t : panel.timers) {
        const HandlerWindow* h = library.window(panel.window(t.window)->handlers);
        if (t.enable && h != nullptr && h->event(t.widget, "timer") != nullptr &&
            h->prop(t.widget, "enable") == nullptr) {
            output.warning("timer " + t.window + " " + t.widget +
                           " has no enable property in the library: it always ticks");
        }
    }
}

struct Tally {
    int passed = 0, bad = 0;
    uint64_t panel_ms = 0;  // of every scenario run
};

// Checks one scenario's lines on a fresh panel, running nothing.
void check_one(const std::string& path, const Panel& panel,
               const std::shared_ptr<const Library>& library, const Options& options,
               Output& output, Tally& tally) {
    Simulator sim(panel, library, options, std::ref(output));
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::exception& e) {
        output.error(e.what());
        ++tally.bad;
        return;
    }
    int errors = 0;
    check_scenario(text, path, sim, &errors);
    errors == 0 ? ++tally.passed : ++tally.bad;
}

void run_one(const std::string& path, const Panel& panel,
             const std::shared_ptr<const Library>& library, const Options& options, Output& output,
             Tally& tally, Around& around) {
    ScenarioRun run =
        run_scenario_file(path, panel, library, options, std::ref(output), around.hooks());
    const ScenarioResult& r = run.result;
    std::string summary = "scenario " + path + ": ";
    if (r.bad_lines > 0) {
        summary += std::to_string(r.bad_lines) + " bad line(s), not run";
        ++tally.bad;
    } else {
        summary += outcome_text(r) + ", " + format_time(run.simulated_ms) + " of panel time";
        if (r.failures == 0) ++tally.passed;
    }
    output.summary(summary,
                   {{key::file, Value::text(path)},
                    {key::bad_lines, Value::integer(r.bad_lines)},
                    {key::expectations, Value::integer(r.expectations)},
                    {key::met, Value::integer(r.met)},
                    {key::failures, Value::integer(r.failures)},
                    {key::other_failures, Value::integer(r.other_failures())},
                    {key::panel_ms, Value::integer(static_cast<int64_t>(run.simulated_ms))}},
                   run.simulated_ms);
    tally.panel_ms += run.simulated_ms;
}

int run_scenarios(const Settings& s, const Panel& panel,
                  const std::shared_ptr<const Library>& library, const Options& options,
                  Output& output, Around& around) {
    Tally tally;
    for (const std::string& path : s.scenarios) {
        if (s.check) {
            check_one(path, panel, library, options, output, tally);
        } else {
            run_one(path, panel, library, options, output, tally, around);
        }
    }
    int total = static_cast<int>(s.scenarios.size());
    if (s.check) {
        output.summary("checked " + std::to_string(total) +
                           " scenario(s): " + std::to_string(tally.passed) + " good, " +
                           std::to_string(tally.bad) + " with bad lines",
                       {{key::checked, Value::integer(total)},
                        {key::good, Value::integer(tally.passed)},
                        {key::bad, Value::integer(tally.bad)}});
    } else if (total > 1 || s.tour) {
        output.summary(std::string(s.tour ? "tour" : "scenarios") + ": " + std::to_string(total) +
                           " run, " + std::to_string(tally.passed) + " passed, " +
                           std::to_string(total - tally.passed) + " failed",
                       {{key::run, Value::integer(total)},
                        {key::passed, Value::integer(tally.passed)},
                        {key::failed, Value::integer(total - tally.passed)}},
                       tally.panel_ms);
    }
    if (tally.bad > 0) return 2;
    return tally.passed == total && around.failures == 0 ? 0 : 1;
}

// The simulator's options from the settings; false with a message when one is wrong.
bool simulator_options(Settings& s, const std::string& state_dir, Options* options) {
    options->seed = s.seed;
    uint32_t start = 0;
    if (!s.start.empty()) {
        if (!parse_clock(s.start, &start)) {
            std::cerr << "hmisim: --start " << hmi::host::quoted_excerpt(s.start)
                      << " is not a time \"YYYY-MM-DD HH:MM:SS\" from 1970-01-01 00:00:00 to "
                         "2106-02-07 06:28:15\n";
            return false;
        }
        options->start_time = start;
    }
    if (s.params.empty() && !state_dir.empty()) s.params = state_dir + "/params.txt";
    if (s.params != "none") options->params_path = s.params;
    options->params_read_only = s.params_read_only;
    std::stringstream list(s.watch);
    for (std::string name; std::getline(list, name, ',');) {
        if (!name.empty()) s.out.watch.insert(name);
    }
    return true;
}

// Every window that --watch names is one of the panel's; false with a message when not.
bool check_watch(const Settings& s, const Panel& panel) {
    bool good = true;
    for (const std::string& name : s.out.watch) {
        if (panel.window_index(name) >= 0) continue;
        std::string known;
        for (const PanelWindow& w : panel.windows) known += (known.empty() ? "" : ", ") + w.name;
        std::cerr << "hmisim: --watch: no window " << hmi::host::quoted_excerpt(name)
                  << " in the panel (its windows: " << known << ")\n";
        good = false;
    }
    return good;
}

// The parameter file at start: a damaged or unusable one is never run over, nor one that
// another run saves into (*lock holds it for this run). False with a message when the run
// must not start.
bool check_params(const Settings& s, const Options& options, std::optional<ParamsLock>* lock) {
    if (options.params_path.empty()) return true;
    const std::string& path = options.params_path;
    std::string error;
    if (!options.params_read_only && !(*lock = ParamsLock::take(path, &error))) {
        std::cerr << "hmisim: " << error << "\n";
        return false;
    }
    std::vector<ParamEntry> entries;
    std::string fault;
    LoadResult result = load_params_file(path, &entries, &fault);
    if (result == LoadResult::Loaded || result == LoadResult::Missing) {
        if (options.params_read_only) {
            std::cerr << "hmisim: " << path
                      << " is read-only for this run: its values are loaded, saves are kept in "
                         "memory and never written\n";
        }
        return true;
    }
    if (result == LoadResult::Damaged && s.move_damaged) {
        std::string moved_to, what;
        error = move_aside_damaged(path, &moved_to, std::time(nullptr), &what);
        if (error.empty()) {
            std::cerr << "hmisim: moved " << what << " to " << moved_to
                      << "; the panel starts with the catalogue's values\n";
            return true;
        }
        std::cerr << "hmisim: " << error << "\n";
        return false;
    }
    std::cerr << "hmisim: " << refusal_message(path, result, fault) << "\n";
    return false;
}

// The tour's scenarios ahead of the ones named; false with a message when there are none.
bool add_tour(Settings& s) {
    if (s.tour_dir.empty()) {
        std::cerr << "hmisim: no tour beside the program: name its folder with --tour-dir\n";
        return false;
    }
    try {
        std::vector<std::string> found = tour_scenarios(s.tour_dir);
        s.scenarios.insert(s.scenarios.begin(), found.begin(), found.end());
    } catch (const std::exception& e) {
        std::cerr << "hmisim: " << e.what() << "\n";
        return false;
    }
    if (s.scenarios.empty()) std::cerr << "hmisim: no scenarios in " << s.tour_dir << "\n";
    return !s.scenarios.empty();
}

// The command line into the settings: an exit status when the run ends here (help,
// version, bad usage), none when it goes on.
std::optional<int> parse_command_line(int argc, char** argv, Settings& s) {
    CLI::App app{
        "hmisim: the operator panel on a desktop. Loads the script library as the panel does,\n"
        "shows its windows, runs its timers on a simulated clock and reports every tag write,\n"
        "window call, dialog and property change in the order the panel sees them."};
    app.footer(
        "Examples:\n"
        "  hmisim --tour                        walk through every screen\n"
        "  hmisim -i                            the panel at a prompt\n"
        "  hmisim my.sim --watch main,pic1      one scenario, two windows in the trace\n"
        "  hmisim my.sim -i                     one scenario, then the prompt\n"
        "  hmisim panel/scenarios/60-electrical.sim --plot electric.electric1,electric.electric2"
        " -o e.svg\n"
        "Scenario commands: type help at the prompt.");
    app.set_version_flag("--version", "hmisim " HMI_VERSION);
    add_options(app, s);
    s.loop = std::make_shared<LoopCommands>(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here with 0; a wrong option is bad usage, 2.
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (!s.serve.empty() && (s.tour || s.check || s.interactive)) {
        std::cerr << "hmisim: --serve runs the scenarios named on the one panel that the browser "
                     "then drives; it does not go with --tour, --check or -i\n";
        return 2;
    }
    return std::nullopt;
}

// The panel's data and the library; false with a message when either cannot be loaded.
bool load_panel(const Settings& s, Panel* panel, std::shared_ptr<const Library>* library) {
    if (s.panel_dir.empty() || s.library_path.empty()) {
        std::cerr << "hmisim: no " << (s.panel_dir.empty() ? "panel project" : "script library")
                  << " beside the program: name it with "
                  << (s.panel_dir.empty() ? "--panel" : "--library or HMISCRIPT") << "\n";
        return false;
    }
    try {
        *panel = Panel::load(s.panel_dir);
        *library = Library::load(s.library_path);
    } catch (const std::exception& e) {
        std::cerr << "hmisim: " << e.what() << "\n";
        return false;
    }
    return true;
}

// The panel at the prompt, with what runs before and after it.
int run_prompt(const Panel& panel, const std::shared_ptr<const Library>& library,
               const Options& options, Output& output, Around& around) {
    Simulator sim(panel, library, options, std::ref(output));
    around.before(sim);
    sim.start();
    int status = interactive(sim, output, around.history);
    around.prompt = false;
    around.after(sim);
    return around.failures == 0 ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The simulated panel keeps its clock in UTC, so runs are the same everywhere.
    setenv("TZ", "UTC", 1);
    tzset();
    Settings s;
    if (std::optional<int> status = parse_command_line(argc, argv, s)) return *status;
    if (s.loop->chosen()) {
        std::string conflict = s.tour                 ? "--tour"
                               : s.check              ? "--check"
                               : s.interactive        ? "-i"
                               : !s.serve.empty()     ? "--serve"
                               : !s.plot.empty()      ? "--plot"
                               : !s.watch.empty()     ? "--watch"
                               : !s.scenarios.empty() ? "a scenario before the subcommand"
                                                      : "";
        return s.loop->run({s.library_path, s.panel_dir, s.params, s.start, s.tour_dir, s.seed},
                           conflict);
    }

    bool interactive_mode = s.serve.empty() && (s.interactive || (!s.tour && s.scenarios.empty()));
    // A person at a terminal keeps parameters and history in the state folder; a
    // prompt fed from a pipe touches no file unless told to.
    std::string state_dir =
        interactive_mode && !s.check && isatty(STDIN_FILENO) ? state_directory() : "";
    Options options;
    if (!simulator_options(s, state_dir, &options)) return 2;
    std::optional<ParamsLock> params_lock;
    if (!s.check && !check_params(s, options, &params_lock)) return 2;
    Output output(s.out, stdout);
    Panel panel;
    std::shared_ptr<const Library> library;
    if (!load_panel(s, &panel, &library) || !check_watch(s, panel)) return 2;
    if (!s.serve.empty()) {
        // The scenarios to run first are checked before the server starts: a missing one
        // or a bad line is bad input, as anywhere else.
        Tally checked;
        for (const std::string& path : s.scenarios) {
            check_one(path, panel, library, options, output, checked);
        }
        if (checked.bad > 0) return 2;
        return serve::serve_panel(s.serve, s.scenarios, panel, library, options, std::ref(output),
                                  [&] { warn_about_library(panel, *library, output); });
    }
    warn_about_library(panel, *library, output);
    if (s.tour && !add_tour(s)) return 2;
    Around around;
    around.output = &output;
    around.history = state_dir.empty() ? "" : state_dir + "/history";
    std::string error = check_around(s, panel, library, &around);
    if (!error.empty()) {
        std::cerr << "hmisim: " << error << "\n";
        return 2;
    }
    if (!s.scenarios.empty()) return run_scenarios(s, panel, library, options, output, around);
    return run_prompt(panel, library, options, output, around);
}
