// Every command as a scenario with the readable trace it gives at the normal level:
// tests/sim/commands/NAME.sim against NAME.trace (HMISIM_UPDATE_EXPECTED=1 rewrites them).
// Checked lines, failed ones included, are part of the trace.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sim/engine/session.hpp"
#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

std::vector<std::string> command_scenarios() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(HMI_COMMANDS_DIR)) {
        if (entry.path().extension() == ".sim") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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
    for (const std::string& prefix : {dir + "/", params.path + "/"}) {
        for (size_t at = trace.find(prefix); at != std::string::npos; at = trace.find(prefix)) {
            trace.erase(at, prefix.size());
        }
    }
    std::string expected_path = dir + "/" + name + ".trace";
    if (std::getenv("HMISIM_UPDATE_EXPECTED") != nullptr) {
        std::ofstream(expected_path, std::ios::binary) << trace;
    }
    EXPECT_EQ(trace, read_file(expected_path));
}

INSTANTIATE_TEST_SUITE_P(Scenario, Command, ::testing::ValuesIn(command_scenarios()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace hmi::sim::test
