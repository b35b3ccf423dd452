// The recorder writes each command after the dialog answers given while it ran.
#include "sim/engine/recorder.hpp"

#include <gtest/gtest.h>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

TEST(ScenarioRecorder, AnswersComeBeforeTheCommandThatAskedThem) {
    TempDir dir;
    std::string path = dir.path + "/r.sim";
    std::string error;
    Simulator sim(real_panel(), real_library(), Options{}, nullptr);
    auto action = [&](const char* line) {
        std::optional<Action> a = parse_command(line, sim, &error);
        EXPECT_TRUE(a) << line << ": " << error;
        return a ? *a : Action{Quit{}};
    };
    std::optional<ScenarioRecorder> r = ScenarioRecorder::open(path, false, &error);
    ASSERT_TRUE(r) << error;
    r->begin_command(action("click 12 rectangle29"));
    ASSERT_TRUE(r->end_command());
    r->begin_command(action("click timeinput hours"));
    r->answered_input(2.5);
    ASSERT_TRUE(r->end_command());
    r->begin_command(action("click timeinput confirm"));
    r->answered_msgbox(6);
    r->answered_msgbox(7);
    r->answered_msgbox(1);
    r->answered_input(std::nullopt);
    ASSERT_TRUE(r->end_command());
    EXPECT_EQ(read_file(path),
              "# recorded at the prompt\n"
              "click 12 \"HV218 duration\"\n"
              "answer input 2.5\n"
              "click timeinput hours\n"
              "answer msgbox yes no ok\n"
              "answer input cancel\n"
              "click timeinput confirm\n");
}

TEST(ScenarioRecorder, AFileThatCannotBeWrittenIsNamed) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(ScenarioRecorder::open(dir.path + "/no/such/dir/r.sim", false, &error));
    EXPECT_EQ(error, "cannot write " + dir.path + "/no/such/dir/r.sim: No such file or directory");
}

}  // namespace
}  // namespace hmi::sim::test
