// The tour: every screen's scenario meets its expectations and gives exactly its
// expected trace (tests/sim/expected/NAME.trace), on the desktop and on the panel's
// 32-bit target alike. HMISIM_UPDATE_EXPECTED=1 writes the traces anew.
#include "sim/engine/tour.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/sim/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::test {
namespace {

std::vector<std::string> tour() {
    return tour_scenarios(HMI_SCENARIO_DIR);
}

std::string stem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

class TourScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(TourScenario, MeetsItsExpectationsWithTheExpectedTrace) {
    const std::string& file = GetParam();
    Recorder out;
    ScenarioRun run = run_scenario_file(file, real_panel(), real_library(), Options{}, out.sink());
    EXPECT_TRUE(run.result.ok()) << out.text;
    EXPECT_GT(run.result.expectations, 10);
    // The scenario's path differs from one checkout to the next: the first line names it,
    // the expectations' lines begin with it. The trace keeps the file's name alone.
    std::string trace = hmi::test::without(out.text.substr(out.text.find('\n') + 1),
                                           std::string(HMI_SCENARIO_DIR) + "/");
    hmi::test::expect_golden(trace, std::string(HMI_EXPECTED_DIR) + "/" + stem(file) + ".trace");
}

INSTANTIATE_TEST_SUITE_P(Tour, TourScenario, ::testing::ValuesIn(tour()),
                         [](const auto& info) { return hmi::test::test_name(stem(info.param)); });

TEST(Tour, HasEveryScreensScenario) {
    EXPECT_GE(tour().size(), 11u);
}

}  // namespace
}  // namespace hmi::sim::test
