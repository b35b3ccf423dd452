#include "sim/cli/suite.hpp"

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <numeric>
#include <thread>

#include "host/lines.hpp"
#include "sim/cli/children.hpp"
#include "sim/cli/coverage.hpp"
#include "sim/cli/diff.hpp"
#include "sim/cli/junit.hpp"
#include "sim/cli/output.hpp"
#include "sim/engine/events.hpp"
#include "sim/engine/fd.hpp"
#include "sim/engine/session.hpp"
#include "sim/engine/tour.hpp"

namespace hmi::sim {

namespace fs = std::filesystem;
using nlohmann::json;

bool parse_options(const SetupOptions& setup, Options* options, std::string* error) {
    options->seed = setup.seed;
    if (setup.start.empty()) return true;
    uint32_t start = 0;
    if (!parse_clock(setup.start, &start)) {
        *error = "--start " + host::quoted_excerpt(setup.start) +
                 " is not a time \"YYYY-MM-DD HH:MM:SS\" from 1970-01-01 00:00:00 to "
                 "2106-02-07 06:28:15";
        return false;
    }
    options->start_time = start;
    return true;
}

std::optional<Setup> load_setup(const std::string& library, const std::string& panel,
                                std::string* error) {
    Setup setup{library, panel, nullptr, nullptr};
    try {
        setup.panel = std::make_shared<Panel>(Panel::load(panel));
        setup.library = Library::load(library);
    } catch (const std::exception& e) {
        *error = e.what();
        return std::nullopt;
    }
    return setup;
}

std::vector<std::string> collect_scenarios(const std::vector<std::string>& args,
                                           const std::string& tour_dir,
                                           std::vector<std::string>* errors) {
    std::vector<std::string> found;
    if (args.empty()) {
        try {
            found = tour_scenarios(tour_dir);
        } catch (const std::exception& e) {
            errors->push_back(e.what());
        }
        return found;
    }
    for (const std::string& arg : args) {
        std::error_code ec;
        if (arg == "-") {
            errors->push_back(
                "- : each scenario runs in a process of its own and is read from "
                "a file; standard input is not one");
        } else if (fs::is_directory(arg, ec)) {
            std::vector<std::string> files;
            for (const fs::directory_entry& e : fs::directory_iterator(arg, ec)) {
                if (e.is_regular_file(ec) && e.path().extension() == ".sim")
                    files.push_back(e.path().string());
            }
            std::sort(files.begin(), files.end());
            if (files.empty()) errors->push_back(arg + ": a folder without *.sim files");
            found.insert(found.end(), files.begin(), files.end());
        } else if (!fs::exists(arg, ec)) {
            errors->push_back(host::quoted_excerpt(arg) + ": no such scenario file");
        } else {
            found.push_back(arg);
        }
    }
    return found;
}

int check_all(const std::vector<std::string>& scenarios, const std::vector<Setup>& setups,
              const Options& options, std::vector<std::vector<ScenarioLine>>* checked) {
    Output output(OutputOptions{}, stdout);
    std::vector<std::optional<std::string>> texts;  // none: unreadable, or bad on a setup
    for (const std::string& path : scenarios) {
        try {
            texts.emplace_back(read_file(path));
        } catch (const std::exception& e) {
            output.error(e.what());
            texts.emplace_back();
        }
    }
    // One panel per setup checks every scenario: a check reads the panel and the
    // library, and runs nothing.
    Options checking = options;
    checking.params_path.clear();  // a check reads no parameter file
    if (checked != nullptr) checked->assign(scenarios.size(), {});
    for (const Setup& setup : setups) {
        Simulator sim(*setup.panel, setup.library, checking, std::ref(output));
        for (size_t i = 0; i < scenarios.size(); ++i) {
            if (!texts[i]) continue;  // a line bad on one setup is bad on the next as a rule
            int errors = 0;
            std::vector<ScenarioLine> lines = check_scenario(*texts[i], scenarios[i], sim, &errors);
            if (errors > 0) texts[i].reset();
            if (checked != nullptr && &setup == &setups.front()) (*checked)[i] = std::move(lines);
        }
    }
    return static_cast<int>(std::count(texts.begin(), texts.end(), std::nullopt));
}

// ---- hmisim test ----

namespace {

// "K/N", 1 <= K <= N: which slice of the suite this run takes.
struct Shard {
    size_t index = 0, total = 1;  // index from 0
};

std::optional<Shard> parse_shard(const std::string& text, std::string* error) {
    size_t slash = text.find('/');
    char* end = nullptr;
    Shard s;
    if (slash != std::string::npos && slash > 0) {
        unsigned long k = std::strtoul(text.c_str(), &end, 10);
        bool k_ok = end == text.c_str() + slash;
        unsigned long n = std::strtoul(text.c_str() + slash + 1, &end, 10);
        bool n_ok = *end == '\0' && slash + 1 < text.size() && std::isdigit(text[0]) &&
                    std::isdigit(text[slash + 1]);
        if (k_ok && n_ok && k >= 1 && n >= 1 && k <= n && n <= 100000) {
            s.index = k - 1;
            s.total = n;
            return s;
        }
    }
    *error = "--shard " + host::quoted_excerpt(text) + ": expected K/N with 1 <= K <= N";
    return std::nullopt;
}

// The shard from the CI variables when --shard is not given: CI_NODE_INDEX (from 1) and
// CI_NODE_TOTAL, or GTEST_SHARD_INDEX (from 0) and GTEST_TOTAL_SHARDS.
std::optional<Shard> shard_from_environment(std::string* error) {
    auto get = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr ? std::string(v) : std::string();
    };
    struct Pair {
        const char *index, *total;
        int base;
    };
    for (Pair p : {Pair{"CI_NODE_INDEX", "CI_NODE_TOTAL", 1},
                   Pair{"GTEST_SHARD_INDEX", "GTEST_TOTAL_SHARDS", 0}}) {
        std::string index = get(p.index), total = get(p.total);
        if (index.empty() && total.empty()) continue;
        std::string given = std::string(p.index) + "=" + index + " " + p.total + "=" + total;
        bool digits = !index.empty() && !total.empty() &&
                      index.find_first_not_of("0123456789") == std::string::npos &&
                      total.find_first_not_of("0123456789") == std::string::npos &&
                      index.size() < 7 && total.size() < 7;
        if (digits) {
            long k = std::stol(index) - p.base, n = std::stol(total);
            if (n >= 1 && k >= 0 && k < n)
                return Shard{static_cast<size_t>(k), static_cast<size_t>(n)};
        }
        *error = host::quoted_excerpt(given) + ": not a shard of the suite";
        return std::nullopt;
    }
    return Shard{};
}

// The scenarios of one shard: the K-th of every N in file-name order, so that a
// scenario stays in its shard wherever it is named; kept in the order given.
std::vector<std::string> shard_of(const std::vector<std::string>& all, Shard shard) {
    if (shard.total == 1) return all;
    std::vector<std::string> sorted = all;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> mine;
    for (const std::string& path : all) {
        size_t at = static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), path) -
                                        sorted.begin());
        if (at % shard.total == shard.index) mine.push_back(path);
    }
    return mine;
}

std::string wall_text(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

// One line of the results file a child writes, whole, even if it dies after it.
void write_result(int fd, const json& record) {
    std::string line = record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    write_fully(fd, line.data(), line.size());
}

// About what a scenario costs to run: its lines, and a tick for every 100 ms of panel
// time its runs ask for.
uint64_t expected_cost(const std::vector<ScenarioLine>& lines) {
    uint64_t cost = lines.size();
    for (const ScenarioLine& line : lines) {
        if (const auto* run = std::get_if<Run>(&line.action)) cost += run->ms / 100;
        if (const auto* until = std::get_if<RunUntil>(&line.action)) cost += until->max_ms / 100;
    }
    return cost;
}

constexpr size_t kMostFailuresKept = 50;       // failure lines kept per scenario
constexpr size_t kMostTraceKept = 256 * 1024;  // bytes of a failed scenario's trace kept

}  // namespace

class TestCommand {
  public:
    explicit TestCommand(CLI::App& app) {
        cmd = app.add_subcommand(
            "test",
            "run many scenarios, each on a fresh panel, in worker processes that a crash "
            "of the library ends alone, and report each and the whole (JUnit, TAP, "
            "coverage)");
        cmd->fallthrough();
        cmd->add_option("scenario", args,
                        "scenario files, or folders of *.sim files (default: the tour)");
        cmd->add_option("-j,--jobs", jobs,
                        "worker processes: scenarios at a time (default: the cores)")
            ->check(CLI::Range(1, 1024));
        cmd->add_flag("--isolate", isolate,
                      "run each scenario in a process of its own, not one after another in "
                      "a worker (for a library that keeps state between scenarios)");
        cmd->add_option("--junit", junit, "write JUnit XML for CI systems to FILE");
        cmd->add_flag("--tap", tap, "write TAP on standard output instead of the lines");
        cmd->add_option("--coverage", coverage_file,
                        "write which handlers ran and which properties were polled, with their "
                        "values, to FILE.json, and a summary per window");
        cmd->add_option("--shard", shard,
                        "K/N: run the K-th of N slices of the suite (default: from "
                        "CI_NODE_INDEX/CI_NODE_TOTAL or GTEST_SHARD_INDEX/GTEST_TOTAL_SHARDS)");
        cmd->add_option("--merge", merge,
                        "merge these JUnit files (of a suite's shards) into the --junit file; "
                        "nothing runs")
            ->expected(1, -1);
    }

    int run(const SetupOptions& setup_options);

    CLI::App* cmd = nullptr;
    std::vector<std::string> args, merge;
    unsigned jobs = 0;
    std::string junit, coverage_file, shard;
    bool tap = false, isolate = false;

  private:
    int child(size_t index, int results_fd);
    void take(size_t index, ChildOutcome outcome);
    void print_ready();
    void print_progress(size_t finished, size_t running);

    std::vector<std::string> scenarios_;
    std::vector<std::vector<ScenarioLine>> checked_;  // each scenario's lines, checked
    std::vector<size_t> order_;                       // the order they run in: the costliest first
    Setup setup_;
    Options options_;
    std::string params_source_, params_dir_;
    std::vector<ScenarioOutcome> outcomes_;
    std::vector<bool> done_;
    size_t printed_ = 0;
    bool progress_shown_ = false, at_terminal_ = false;
    Coverage coverage_;
};

int TestCommand::child(size_t index, int results_fd) {
    const std::string& path = scenarios_[index];
    Options options = options_;
    if (!params_source_.empty()) {
        // A fresh copy for each scenario: scenarios never share what they save.
        std::string copy = params_dir_ + "/" + std::to_string(index) + ".params";
        std::error_code ec;
        if (fs::exists(params_source_, ec)) fs::copy_file(params_source_, copy, ec);
        if (ec) throw std::runtime_error("cannot copy " + params_source_ + ": " + ec.message());
        options.params_path = copy;
    }
    OutputOptions trace;
    trace.buffered = true;
    Output output(trace, stdout);
    Coverage coverage;
    ScenarioHooks hooks;
    hooks.before = [&](Simulator& sim) {
        sim.session().view.level = TraceLevel::Normal;
        sim.events().subscribe([results_fd](const Event& e) {
            if (!is_failure(e)) return;
            // Each failure with the file and line it was written at, once.
            std::string text = trace_text(e);
            std::string where = e.text(key::file) + ":" + std::to_string(e.integer(key::line));
            if (!e.text(key::file).empty() && text.find(where) == std::string::npos)
                text = where + ": " + text;
            write_result(results_fd,
                         {{"failure", text}, {"expectation", e.type == EventType::Expect}});
        });
        if (!coverage_file.empty()) coverage.attach(sim);
    };
    ScenarioRun run = run_scenario_file(path, *setup_.panel, setup_.library, options,
                                        std::ref(output), hooks, &checked_[index]);
    write_result(results_fd, {{"end",
                               {{"expectations", run.result.expectations},
                                {"failures", run.result.failures},
                                {"bad_lines", run.result.bad_lines},
                                {"panel_ms", run.simulated_ms}}}});
    if (!coverage_file.empty()) write_result(results_fd, {{"coverage", coverage.to_json()}});
    return run.result.ok() ? 0 : 1;
}

void TestCommand::take(size_t index, ChildOutcome outcome) {
    ScenarioOutcome& o = outcomes_[index];
    o.wall_seconds = outcome.wall_seconds;
    char* line = nullptr;
    size_t capacity = 0;
    while (getline(&line, &capacity, outcome.results.get()) > 0) {
        json record = json::parse(line, nullptr, false);
        if (record.is_discarded() || !record.is_object()) continue;  // cut off by a crash
        if (record.contains("failure")) {
            if (record["expectation"].get<bool>()) ++o.failed;
            if (o.failures.size() < kMostFailuresKept) o.failures.push_back(record["failure"]);
        } else if (record.contains("end")) {
            const json& end = record["end"];
            o.ran = true;
            o.expectations = end["expectations"];
            o.other_failures = end["failures"].get<int>() - o.failed;
            o.panel_ms = end["panel_ms"];
        } else if (record.contains("coverage")) {
            coverage_.add(record["coverage"]);
        }
    }
    std::free(line);
    if (outcome.signal != 0) {
        o.crash = signal_name(outcome.signal);
    } else if (!o.ran) {
        o.crash = "ended with status " + std::to_string(outcome.status) + " before its end";
    }
    if (!o.passed()) o.trace = read_tail(outcome.output.get(), kMostTraceKept);
    done_[index] = true;
}

void TestCommand::print_progress(size_t finished, size_t running) {
    if (!at_terminal_) return;
    std::printf("\r\033[K[%zu/%zu] %zu running", finished, scenarios_.size(), running);
    std::fflush(stdout);
    progress_shown_ = true;
}

// The line of each scenario that has ended, in the order given, as far as all before it
// have ended.
void TestCommand::print_ready() {
    if (tap) return;
    for (; printed_ < outcomes_.size() && done_[printed_]; ++printed_) {
        if (progress_shown_) std::printf("\r\033[K");
        const ScenarioOutcome& o = outcomes_[printed_];
        std::string state = o.passed() ? "passed " : !o.crash.empty() ? "CRASHED" : "FAILED ";
        std::string line = state + " " + o.path + ": " + std::to_string(o.expectations) +
                           " expectations: " + std::to_string(o.expectations - o.failed) +
                           " met, " + std::to_string(o.failed) + " failed";
        if (o.other_failures > 0)
            line += "; " + std::to_string(o.other_failures) + " other failure(s)";
        if (!o.crash.empty()) line += "; crashed: " + o.crash;
        line += "; " + format_time(o.panel_ms) + " of panel time, " + wall_text(o.wall_seconds);
        std::printf("%s\n", line.c_str());
        for (const std::string& f : o.failures) std::printf("    %s\n", f.c_str());
    }
    std::fflush(stdout);
}

int TestCommand::run(const SetupOptions& so) {
    if (!merge.empty()) {
        if (junit.empty()) {
            std::cerr << "hmisim test: --merge writes the merged file to --junit FILE: give it\n";
            return 2;
        }
        std::ofstream out(junit, std::ios::binary);
        std::string error = merge_junit(merge, out);
        if (!error.empty()) {
            std::cerr << "hmisim test: " << error << "\n";
            return 2;
        }
        out.close();
        if (!out) {
            std::cerr << "hmisim test: cannot write " << junit << "\n";
            return 1;
        }
        return 0;
    }
    std::string error;
    std::optional<Shard> slice =
        shard.empty() ? shard_from_environment(&error) : parse_shard(shard, &error);
    std::vector<std::string> errors;
    if (!slice) errors.push_back(error);
    if (!parse_options(so, &options_, &error)) errors.push_back(error);
    std::vector<std::string> all = collect_scenarios(args, so.tour_dir, &errors);
    std::optional<Setup> setup = load_setup(so.library, so.panel, &error);
    if (!setup) errors.push_back(error);
    if (!so.params.empty() && so.params != "none") {
        std::vector<ParamEntry> entries;
        std::string fault;
        LoadResult r = load_params_file(so.params, &entries, &fault);
        if (r != LoadResult::Loaded && r != LoadResult::Missing)
            errors.push_back(refusal_message(so.params, r, fault));
        params_source_ = so.params;
    }
    for (const std::string& e : errors) std::cerr << "hmisim test: " << e << "\n";
    if (!errors.empty()) return 2;
    setup_ = std::move(*setup);
    scenarios_ = shard_of(all, *slice);
    if (check_all(scenarios_, {setup_}, options_, &checked_) > 0) return 2;

    TempDir params_dir;
    if (!params_source_.empty()) params_dir_ = params_dir.make();
    outcomes_.assign(scenarios_.size(), {});
    for (size_t i = 0; i < scenarios_.size(); ++i) outcomes_[i].path = scenarios_[i];
    done_.assign(scenarios_.size(), false);
    at_terminal_ = !tap && isatty(STDOUT_FILENO);
    unsigned parallel = jobs > 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
    auto started = std::chrono::steady_clock::now();
    // The costliest first, so that no long one starts last while the other workers idle;
    // the lines still come in the order given.
    order_.resize(scenarios_.size());
    std::iota(order_.begin(), order_.end(), 0);
    std::vector<uint64_t> cost;
    for (const std::vector<ScenarioLine>& lines : checked_) cost.push_back(expected_cost(lines));
    std::stable_sort(order_.begin(), order_.end(),
                     [&](size_t a, size_t b) { return cost[a] > cost[b]; });
    WorkerPool workers(scenarios_.size(), {parallel, isolate},
                       [this](size_t i, int fd) { return child(order_[i], fd); });
    workers.run(
        [this](size_t i, ChildOutcome outcome) {
            take(order_[i], std::move(outcome));
            print_ready();
        },
        [this](size_t finished, size_t running) { print_progress(finished, running); });
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    size_t passed = 0, crashed = 0;
    uint64_t panel_ms = 0;
    for (const ScenarioOutcome& o : outcomes_) {
        passed += o.passed();
        crashed += !o.crash.empty();
        panel_ms += o.panel_ms;
    }
    size_t failed = outcomes_.size() - passed;
    std::string shard_text = slice->total > 1 ? " (shard " + std::to_string(slice->index + 1) +
                                                    " of " + std::to_string(slice->total) + ")"
                                              : "";
    if (tap) {
        write_tap(std::cout, outcomes_);
    } else {
        std::printf("%zu scenario(s)%s: %zu passed, %zu failed%s; %s of panel time, %s\n",
                    outcomes_.size(), shard_text.c_str(), passed, failed,
                    crashed > 0 ? (" (" + std::to_string(crashed) + " crashed)").c_str() : "",
                    format_time(panel_ms).c_str(), wall_text(wall).c_str());
    }
    std::cout.flush();
    int status = failed > 0 ? 1 : 0;
    if (!junit.empty()) {
        std::ofstream out(junit, std::ios::binary);
        write_junit(out, "hmisim" + shard_text, outcomes_, wall);
        out.close();
        if (!out) {
            std::cerr << "hmisim test: cannot write the JUnit file " << junit << "\n";
            status = 1;
        }
    }
    if (!coverage_file.empty()) {
        json report = coverage_.report(*setup_.library, outcomes_.size());
        std::ofstream out(coverage_file, std::ios::binary);
        out << report.dump(1) << "\n";
        out.close();
        if (!out) {
            std::cerr << "hmisim test: cannot write the coverage file " << coverage_file << "\n";
            status = 1;
        }
        if (!tap) {
            for (const std::string& line : Coverage::summary(report))
                std::printf("%s\n", line.c_str());
        }
    }
    return status;
}

// ---- the subcommands ----

LoopCommands::LoopCommands(CLI::App& app)
    : test_(std::make_unique<TestCommand>(app)), diff_(std::make_unique<DiffCommand>(app)) {
    for (CLI::App* cmd : {test_->cmd, diff_->cmd}) {
        cmd->callback([this, cmd, &app] {
            chosen_ = cmd->get_name();
            library_before_ = app.get_option("--library")->count() > 0;
            panel_before_ = app.get_option("--panel")->count() > 0;
        });
    }
}

LoopCommands::~LoopCommands() = default;

bool LoopCommands::chosen() const {
    return !chosen_.empty();
}

int LoopCommands::run(const SetupOptions& setup, const std::string& conflict) {
    if (!conflict.empty()) {
        std::cerr << "hmisim " << chosen_ << ": " << conflict << " does not go with " << chosen_
                  << "\n";
        return 2;
    }
    if (chosen_ == "test") return test_->run(setup);
    return diff_->run(setup, library_before_, panel_before_);
}

}  // namespace hmi::sim
