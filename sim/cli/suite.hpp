// The maintainer's loop: `hmisim test` runs many scenarios, each on a fresh panel in
// worker processes that a crash of the library ends alone, and reports them as CI systems read
// them, with the coverage of the library if asked; `hmisim diff` runs the same scenarios on two
// setups (or one against stored traces) and shows where they differ.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/cli/children.hpp"
#include "sim/engine/scenario.hpp"
#include "sim/engine/simulator.hpp"

namespace hmi::sim {

// What sets up a panel, from options that may come before the subcommand or after it.
struct SetupOptions {
    std::string library, panel, params, start, tour_dir;
    unsigned seed = 1;
};

// One library on one panel project, loaded.
struct Setup {
    std::string library_path, panel_dir;
    std::shared_ptr<Panel> panel;
    std::shared_ptr<const Library> library;
};

// The simulator's options that the setup options give (the clock at start, the seed);
// false with a message when one is wrong.
bool parse_options(const SetupOptions& setup, Options* options, std::string* error);

// The library and the panel project, loaded; none with a message when either cannot be.
std::optional<Setup> load_setup(const std::string& library, const std::string& panel,
                                std::string* error);

// The scenarios that arguments name: a file as it is, a folder's *.sim in name order,
// none the tour's. Each that cannot be is a message in *errors.
std::vector<std::string> collect_scenarios(const std::vector<std::string>& args,
                                           const std::string& tour_dir,
                                           std::vector<std::string>* errors);

// Checks every line of every scenario against every setup, reporting each bad one; the
// number of scenarios with bad lines. *checked, when given, gets each scenario's lines as
// the first setup checked them (run_scenario_file runs them without reading again).
int check_all(const std::vector<std::string>& scenarios, const std::vector<Setup>& setups,
              const Options& options, std::vector<std::vector<ScenarioLine>>* checked = nullptr);

class TestCommand;
class DiffCommand;

// `test` and `diff` as subcommands of the program's command line.
class LoopCommands {
  public:
    explicit LoopCommands(CLI::App& app);
    ~LoopCommands();
    bool chosen() const;
    // `conflict` names an option of the program that neither subcommand takes, if given.
    int run(const SetupOptions& setup, const std::string& conflict);

  private:
    // Taken while the command line is parsed: the parser does not outlive it.
    std::string chosen_;
    bool library_before_ = false, panel_before_ = false;
    std::unique_ptr<TestCommand> test_;
    std::unique_ptr<DiffCommand> diff_;
};

}  // namespace hmi::sim
