// Every command as a scenario with the readable trace it gives at the normal level:
// tests/sim/commands/NAME.sim against NAME.trace (HMISIM_UPDATE_EXPECTED=1 rewrites them).
// Checked lines, failed ones included, are part of the trace.
#include <gtest/gtest.h>

#include "sim/engine/session.hpp"
#include "tests/sim/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::test {
namespace {

std::vector<std::string> command_scenarios() {
    return hmi::test::file_stems(HMI_COMMANDS_DIR, ".sim");
}

class Command : public ::testing::TestWithParam<std::string> {};

TEST_P(Command, GivesTheExpectedTrace) {
    const std::string dir = HMI_COMMANDS_DIR;
    const std::string name = GetParam();
    // Scenarios named params-* keep their parameters in a file, the others in memory.
    TempDir params;
    Options options;
    if (name.rfind("params-", 0) == 0) options.params_path = params.path + "/params.txt";
    Recorder out;
    Simulator sim(real_panel(), real_library(), options, out.sink());
    sim.session().view.level = TraceLevel::Normal;
    sim.start();
    ScenarioResult result =
        run_scenario(read_file(dir + "/" + name + ".sim"), dir + "/" + name + ".sim", sim);
    std::string trace = out.text + "-- " + std::to_string(result.expectations) +
                        " expectation(s), " + std::to_string(result.failures) + " failure(s), " +
                        std::to_string(result.bad_lines) + " bad line(s)\n";
    // Paths as the scenario wrote them, the same in every checkout.
    trace = hmi::test::without(hmi::test::without(trace, dir + "/"), params.path + "/");
    hmi::test::expect_golden(trace, dir + "/" + name + ".trace");
}

INSTANTIATE_TEST_SUITE_P(Scenario, Command, ::testing::ValuesIn(command_scenarios()),
                         [](const auto& info) { return hmi::test::test_name(info.param); });

}  // namespace
}  // namespace hmi::sim::test
