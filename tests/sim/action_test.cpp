// Actions: made from a line or from names, written back as the line that does them again;
// a recording of what is typed replays to the same panel.
#include "sim/engine/action.hpp"

#include <gtest/gtest.h>

#include "sim/engine/recorder.hpp"
#include "sim/engine/session.hpp"
#include "sim/engine/tour.hpp"
#include "tests/sim/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::test {
namespace {

class Actions : public ::testing::Test {
  protected:
    Actions() { sim.start(); }
    Action parsed(const std::string& line) {
        std::string error;
        std::optional<Action> a = parse_command(line, sim, &error);
        EXPECT_TRUE(a) << line << ": " << error;
        return a ? *a : Action{Quit{}};
    }
    std::string error_of(const std::string& line) {
        std::string error;
        EXPECT_FALSE(parse_command(line, sim, &error)) << line;
        return error;
    }
    Simulator sim{real_panel(), real_library(), Options{}, nullptr};
};

TEST_F(Actions, AreWrittenAsTheLineThatDoesThemAgain) {
    const std::pair<const char*, const char*> kLines[] = {
        // A widget by its label where no other widget of its window has it.
        {"click 12 rectangle29", "click 12 \"HV218 duration\""},
        {"click 12_text2_click", "click 12 automatic"},
        {"click main \"idle time\"", "click main \"idle time\""},
        {"fire main timer1 3", "fire main \"screen saver timer\" 3"},
        {"set main.count=5", "set main.count 5"},
        {"set dish.put7 \"two words\"", "set dish.put7 \"two words\""},
        {"show 12", "show 12"},
        {"run 90s", "run 1m30s"},
        {"run until chief.KA19 = 1 max 2m", "run until chief.KA19 = 1 max 2m"},
        {"run until shown main", "run until shown main"},
        {"clock 2026-01-01 08:00:00", "clock 2026-01-01 08:00:00"},
        {"answer msgbox 6 7 ok", "answer msgbox yes no ok"},
        {"answer input 2.5 cancel", "answer input 2.5 cancel"},
        {"expect shown main", "expect shown main"},
        {"expect tag main.count >= 0", "expect tag main.count >= 0"},
        {"break chief.KA19 = 1", "break chief.KA19 = 1"},
        {"break clear", "break clear"},
        {"watch dtmain.HV20?", "watch dtmain.HV20?"},
        {"trace quiet", "trace quiet"},
        {"restart", "restart"},
        // The bare word ends a recording; a file named stop is written in quotes.
        {"record stop", "record stop"},
        {"record \"stop\"", "record \"stop\""},
        {"record \"my run.sim\"", "record \"my run.sim\""},
        {"say the valve opens", "say the valve opens"},
    };
    for (const auto& [typed, written] : kLines) {
        std::string line = scenario_line(parsed(typed));
        EXPECT_EQ(line, written) << typed;
        EXPECT_EQ(scenario_line(parsed(line)), line) << "written again: " << line;
    }
    EXPECT_TRUE(std::holds_alternative<RecordStop>(parsed("record stop")));
    EXPECT_EQ(std::get<Record>(parsed("record \"stop\"")).path, "stop");
}

TEST_F(Actions, UnknownNamesGetTheNearestKnownOnes) {
    const std::pair<std::string, const char*> kLines[] = {
        {"click main sequncer", "unknown widget 'sequncer' in main; did you mean 'sequencer'?"},
        {"show mian", "unknown window 'mian'; did you mean 'main'?"},
        {"clik main picture3", "unknown command 'clik'; did you mean 'click'? (commands: "},
        {"set main.cont 1", "unknown tag 'main.cont'; did you mean 'main.count', "},
        {"expect main.cont = 1", "did you mean 'main.count', "},
        {"click main zzzzzzzz", "unknown widget 'zzzzzzzz' in main (widgets: "},
        // What a message quotes is at most 60 bytes, its control bytes escaped.
        {"show " + std::string(100, 'w') + "\x01", "www...'"},
        {"set main.count \"\x1b[2J\"", "'\"\\x1B[2J\"' is not a whole number"},
    };
    for (const auto& [line, message] : kLines) {
        std::string error = error_of(line);
        EXPECT_NE(error.find(message), std::string::npos) << line << "\n  gave: " << error;
    }
}

TEST_F(Actions, FrontEndsMakeTheSameActionFromNames) {
    std::string error;
    // Labels with blanks, as the prompt takes them in quotes.
    std::optional<Action> click = make_click(sim, "12", "HV218 duration", &error);
    ASSERT_TRUE(click) << error;
    EXPECT_EQ(scenario_line(*click), scenario_line(parsed("click 12 rectangle29")));
    std::optional<Action> set = make_set(sim, "dish.put7", "a # b", &error);
    ASSERT_TRUE(set) << error;
    EXPECT_EQ(scenario_line(*set), "set dish.put7 \"a # b\"");
    EXPECT_FALSE(make_click(sim, "main bmptext20", "x", &error));
    EXPECT_EQ(error, "unknown window 'main bmptext20'");
    EXPECT_FALSE(make_clock("2025-02-30 00:00:00", &error));
}

// Typed at the prompt one line after another with a recording on, the scenario's lines
// give a recording that replays to the panel's state at the scenario's end.
class RecordedTour : public ::testing::TestWithParam<std::string> {};

std::vector<std::vector<unsigned char>> tag_state(Simulator& sim) {
    std::vector<std::vector<unsigned char>> state;
    for (const host::Tag& t : sim.host().tags().all()) {
        state.emplace_back(t.value, t.value + host::width(t.def->kind));
    }
    return state;
}

TEST_P(RecordedTour, ReplaysToTheSameTags) {
    TempDir dir;
    std::string recording = dir.path + "/recorded.sim";
    Simulator typed(real_panel(), real_library(), Options{}, nullptr);
    typed.start();
    std::string error;
    typed.session().recorder = ScenarioRecorder::open(recording, false, &error);
    ASSERT_TRUE(typed.session().recorder) << error;
    host::LineErrors errors(GetParam());
    host::for_each_line(read_file(GetParam()), errors, [&](int, std::string_view line) {
        std::optional<Action> a = parse_command(line, typed, &error);
        if (a) {
            EXPECT_TRUE(execute_typed(typed, *a, written_text(line))) << line;
        }
        return error;
    });
    ASSERT_EQ(errors.count(), 0);
    typed.session().recorder.reset();

    Simulator replay(real_panel(), real_library(), Options{}, nullptr);
    replay.start();
    ScenarioResult result = run_scenario(read_file(recording), recording, replay);
    EXPECT_TRUE(result.ok()) << read_file(recording);
    EXPECT_EQ(replay.now(), typed.now());
    EXPECT_TRUE(tag_state(replay) == tag_state(typed)) << read_file(recording);
}

INSTANTIATE_TEST_SUITE_P(Tour, RecordedTour, ::testing::ValuesIn(tour_scenarios(HMI_SCENARIO_DIR)),
                         [](const auto& info) {
                             std::string name = info.param.substr(info.param.rfind('/') + 1);
                             return hmi::test::test_name(name.substr(0, name.find('.')));
                         });

// What changes a run is recorded: a replay stops at the same break and meets the same
// expectation.
TEST(Recording, KeepsWhatChangesARun) {
    TempDir dir;
    std::string recording = dir.path + "/rec.sim";
    Simulator typed(real_panel(), real_library(), Options{}, nullptr);
    typed.start();
    const std::string kTyped[] = {
        "record \"" + recording + "\"",
        "click main relays",
        "click 11 \"auto toggle\"",
        "break chief.KA19 = 1",
        "run 1m",
        "expect chief.KA19 = 1",
        "watch dtmain.HV20?",
        "trace normal",
        "clock 2026-02-01 08:00:00",
        "restart",
        "record stop",
    };
    std::string error;
    for (const std::string& line : kTyped) {
        std::optional<Action> a = parse_command(line, typed, &error);
        ASSERT_TRUE(a) << line << ": " << error;
        EXPECT_TRUE(execute_typed(typed, *a, line)) << line;
    }
    std::string text = read_file(recording);
    for (const char* kept : {"break chief.KA19 = 1\n", "watch dtmain.HV20?\n", "trace normal\n",
                             "clock 2026-02-01 08:00:00\n", "restart\n"}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
    }
    EXPECT_EQ(text.find("\nrecord"), std::string::npos) << text;
    Simulator replay(real_panel(), real_library(), Options{}, nullptr);
    replay.start();
    EXPECT_TRUE(run_scenario(text, recording, replay).ok()) << text;
    EXPECT_EQ(replay.now(), typed.now());
}

}  // namespace
}  // namespace hmi::sim::test
