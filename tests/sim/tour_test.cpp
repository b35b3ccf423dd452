// The tour: the home screen's whole trace, restricted to the home windows, against the
// expected text (other screens' events and properties are left out, so the trace holds
// as screens land); the scenarios waiting for their screens name only what the panel has.
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

// Until its screen is in the library a pending scenario cannot run, but every line that
// does not need the screen's handlers must already be right: tags, values, windows.
TEST(PendingScenarios, NameOnlyTagsWindowsAndValuesThePanelHas) {
    std::vector<std::string> files = tour_scenarios(std::string(HMI_SCENARIO_DIR) + "/pending");
    EXPECT_GE(files.size(), 8u);
    Simulator sim(real_panel(), real_library(), Options{}, nullptr);
    for (const std::string& file : files) {
        std::string text = read_file(file);
        size_t start = 0;
        for (int number = 1; start < text.size(); ++number) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string error;
            parse_command(std::string_view(text).substr(start, end - start), sim, &error);
            bool waits = error.find("has no handlers for window") != std::string::npos ||
                         error.find("has no handlers of its own") != std::string::npos;
            EXPECT_TRUE(error.empty() || waits) << file << ":" << number << ": " << error;
            start = end + 1;
        }
    }
}

}  // namespace
}  // namespace hmi::sim::test
