// The tour: the home screen's whole trace, restricted to the home windows, against the
// expected text (other screens' events and properties are left out); every screen's
// scenario meets its expectations.
#include "sim/engine/tour.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

TEST(HomeScreen, TheTourScenarioGivesTheExpectedTrace) {
    Recorder out;
    out.filter = WindowFilter({"main", "pic1", "pic2", "pic3", "TimeSetting"});
    std::string scenario = "10-home.sim";
    ScenarioRun run = run_scenario_file(std::string(HMI_SCENARIO_DIR) + "/" + scenario,
                                        real_panel(), real_library(), Options{}, out.sink());
    EXPECT_TRUE(run.result.ok());
    EXPECT_GT(run.result.expectations, 50);
    // The first line names the scenario by its path, which differs from one checkout to
    // the next.
    std::string trace = out.text.substr(out.text.find('\n') + 1);
    std::string expected_path = std::string(HMI_EXPECTED_DIR) + "/10-home.trace";
    if (std::getenv("HMISIM_UPDATE_EXPECTED") != nullptr) {
        std::ofstream(expected_path, std::ios::binary) << trace;
    }
    EXPECT_EQ(trace, read_file(expected_path));
}

// Every screen's scenario of the tour runs on the real library and meets all its
// expectations.
TEST(Tour, EveryScreensScenarioMeetsItsExpectations) {
    std::vector<std::string> files = tour_scenarios(HMI_SCENARIO_DIR);
    EXPECT_GE(files.size(), 11u);
    for (const std::string& file : files) {
        Recorder out;
        ScenarioRun run =
            run_scenario_file(file, real_panel(), real_library(), Options{}, out.sink());
        EXPECT_TRUE(run.result.ok()) << file << "\n" << out.text;
        EXPECT_GT(run.result.expectations, 10) << file;
    }
}

}  // namespace
}  // namespace hmi::sim::test
