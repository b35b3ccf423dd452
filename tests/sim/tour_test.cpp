// The tour: every screen's scenario meets its expectations and gives exactly its
// expected trace (tests/sim/expected/NAME.trace), on the desktop and on the panel's
// 32-bit target alike. HMISIM_UPDATE_EXPECTED=1 writes the traces anew.
#include "sim/engine/tour.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/sim/support.hpp"

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
    // The first line names the scenario by its path, which differs from one checkout to
    // the next.
    std::string trace = out.text.substr(out.text.find('\n') + 1);
    std::string expected_path = std::string(HMI_EXPECTED_DIR) + "/" + stem(file) + ".trace";
    if (std::getenv("HMISIM_UPDATE_EXPECTED") != nullptr) {
        std::ofstream(expected_path, std::ios::binary) << trace;
    }
    EXPECT_EQ(trace, read_file(expected_path));
}

INSTANTIATE_TEST_SUITE_P(Tour, TourScenario, ::testing::ValuesIn(tour()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = stem(info.param);
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(Tour, HasEveryScreensScenario) {
    EXPECT_GE(tour().size(), 11u);
}

}  // namespace
}  // namespace hmi::sim::test
