// The property functions of window "12" and of the duration dialog, and the humidity
// inputs.
#include <cstring>
#include <ostream>
#include <vector>

#include "tests/sequencer/line.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kValveBlue = 0x0467FB, kRed = 0x0000FF, kGreen = 0x00FF00;

struct Binding {
    std::string key;
    std::string tag;
};
void PrintTo(const Binding& b, std::ostream* out) {
    *out << b.key << " follows " << b.tag;
}

// Every valve and pump widget of window "12", with the tag it follows.
std::vector<Binding> valve_and_pump_colours() {
    // HV201 to HV220 in turn: the duration rectangle and its two gradient rectangles
    const char* const valves[20][3] = {
        {"rectangle130_fillcolor", "gradrectangle132_startcolor", "gradrectangle131_startcolor"},
        {"rectangle128_fillcolor", "gradrectangle92_startcolor", "gradrectangle91_startcolor"},
        {"rectangle133_fillcolor", "gradrectangle94_startcolor", "gradrectangle93_startcolor"},
        {"rectangle134_fillcolor", "gradrectangle96_startcolor", "gradrectangle95_startcolor"},
        {"rectangle135_fillcolor", "gradrectangle98_startcolor", "gradrectangle97_startcolor"},
        {"rectangle136_fillcolor", "gradrectangle100_startcolor", "gradrectangle99_startcolor"},
        {"rectangle137_fillcolor", "gradrectangle104_startcolor", "gradrectangle103_startcolor"},
        {"rectangle138_fillcolor", "gradrectangle106_startcolor", "gradrectangle105_startcolor"},
        {"rectangle139_fillcolor", "gradrectangle108_startcolor", "gradrectangle107_startcolor"},
        {"rectangle142_fillcolor", "gradrectangle111_startcolor", "gradrectangle110_startcolor"},
        {"rectangle141_fillcolor", "gradrectangle113_startcolor", "gradrectangle112_startcolor"},
        {"rectangle140_fillcolor", "gradrectangle115_startcolor", "gradrectangle114_startcolor"},
        {"rectangle143_fillcolor", "gradrectangle123_startcolor", "gradrectangle122_startcolor"},
        {"rectangle144_fillcolor", "gradrectangle125_startcolor", "gradrectangle124_startcolor"},
        {"rectangle145_fillcolor", "gradrectangle127_startcolor", "gradrectangle126_startcolor"},
        {"rectangle149_fillcolor", "gradrectangle117_startcolor", "gradrectangle116_startcolor"},
        {"rectangle147_fillcolor", "gradrectangle119_startcolor", "gradrectangle118_startcolor"},
        {"rectangle29_fillcolor", "gradrectangle28_startcolor", "gradrectangle27_startcolor"},
        {"rectangle21_fillcolor", "gradrectangle9_startcolor", "gradrectangle8_startcolor"},
        {"rectangle22_fillcolor", "gradrectangle11_startcolor", "gradrectangle10_startcolor"},
    };
    std::vector<Binding> rows;
    for (int i = 0; i < 20; ++i) {
        for (const char* key : valves[i]) {
            rows.push_back({std::string("12_") + key, valve(201 + i)});
        }
    }
    rows.push_back({"12_ellipse146_fillcolor", "dtmain.HM201"});
    rows.push_back({"12_ellipse32_fillcolor", "dtmain.HM202"});
    return rows;
}

// Every valve and pump flag of both lines.
std::vector<std::string> line_flags() {
    std::vector<std::string> flags;
    for (int n = 201; n <= 222; ++n) flags.push_back(valve(n));
    for (int n = 101; n <= 110; ++n) flags.push_back(valve(n));
    for (int n = 201; n <= 206; ++n) flags.push_back("dtmain.HM" + std::to_string(n));
    flags.push_back("dtmain.HM101");
    return flags;
}

class Bindings : public PanelTest {
  protected:
    // Sets the tag and every other line flag to the given values.
    void set_line(const std::string& tag, uint8_t own, uint8_t others) {
        for (const std::string& flag : line_flags()) set<uint8_t>(flag.c_str(), others);
        set<uint8_t>(tag.c_str(), own);
    }
    uint32_t colour(const std::string& key, uint32_t current = 0x123456) {
        const uint32_t before = current;
        const int changed = poll(key, current);
        EXPECT_EQ(changed, current != before ? 1 : 0) << key;
        EXPECT_EQ(poll(key, current), 0) << key << ": stored again without a change";
        return current;
    }
    std::string text_of(const std::string& key) {
        char value[16] = "old";
        poll_raw(key, value);
        return std::string(value, strnlen(value, sizeof value));
    }
};

// One test a widget, named by its key.
class ValveAndPumpColour : public Bindings, public ::testing::WithParamInterface<Binding> {};

TEST_P(ValveAndPumpColour, FollowsItsOwnTagOnly) {
    const Binding& b = GetParam();
    set_line(b.tag, 0, 1);
    EXPECT_EQ(colour(b.key), kWhite);
    set_line(b.tag, 1, 0);
    EXPECT_EQ(colour(b.key), kValveBlue);
    set_line(b.tag, 2, 0);  // any value but 0 is open or running
    EXPECT_EQ(colour(b.key), kValveBlue);
    EXPECT_EQ(colour(b.key, kValveBlue), kValveBlue);  // already right
}

INSTANTIATE_TEST_SUITE_P(Window12, ValveAndPumpColour,
                         ::testing::ValuesIn(valve_and_pump_colours()),
                         [](const ::testing::TestParamInfo<Binding>& info) {
                             return info.param.key;
                         });

TEST(Window12, HasAColourRowForEveryValveFrom201To220AndBothMainPumps) {
    EXPECT_EQ(valve_and_pump_colours().size(), 62u);
}

TEST_F(Bindings, RunningColourWhileEitherMainPumpRuns) {
    struct Case {
        uint8_t hm201, hm202;
        uint32_t colour;
    };
    for (const char* key : {"12_gradrectangle7_startcolor", "12_gradrectangle101_startcolor"}) {
        for (Case c : {Case{0, 0, kWhite}, Case{1, 0, kValveBlue}, Case{0, 1, kValveBlue},
                       Case{0, 3, kValveBlue}, Case{1, 1, kValveBlue}}) {
            set_line("dtmain.HM201", c.hm201, c.hm201 || c.hm202 ? 0 : 1);
            set<uint8_t>("dtmain.HM202", c.hm202);
            EXPECT_EQ(colour(key), c.colour) << key << " " << int(c.hm201) << int(c.hm202);
        }
    }
}

TEST_F(Bindings, ModeLampsFollowTheirOwnFlag) {
    for (const Binding& b : {Binding{"12_ellipse3_fillcolor", "dtmain.DP_AUTO"},
                             Binding{"12_ellipse6_fillcolor", "dtmain.DP_MANUAL"}}) {
        for (uint8_t other : {0, 1}) {
            set<uint8_t>("dtmain.DP_AUTO", other);
            set<uint8_t>("dtmain.DP_MANUAL", other);
            set<uint8_t>(b.tag.c_str(), 0);
            EXPECT_EQ(colour(b.key), kRed) << b.key;
            set<uint8_t>(b.tag.c_str(), 1);
            EXPECT_EQ(colour(b.key), kGreen) << b.key;
            set<uint8_t>(b.tag.c_str(), 7);
            EXPECT_EQ(colour(b.key), kGreen) << b.key;
        }
    }
}

TEST_F(Bindings, TimerRunsWhileEitherPageIsOpen) {
    struct Case {
        uint8_t dp, dt, enabled;
    };
    for (Case c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{0, 1, 1}, Case{2, 0, 1}, Case{0, 255, 1},
                   Case{1, 1, 1}}) {
        set<uint8_t>("dtmain.dp_web_flag", c.dp);
        set<uint8_t>("dtmain.dt_web_flag", c.dt);
        uint8_t value = 9;
        EXPECT_EQ(poll("12_timer11_enable", value), 1);
        EXPECT_EQ(value, c.enabled) << int(c.dp) << " " << int(c.dt);
        EXPECT_EQ(poll("12_timer11_enable", value), 0);
    }
}

TEST_F(Bindings, HumidityTextsShowTheirOwnValueWithAPercentSign) {
    set<uint16_t>("dtmain.II203", 60);
    set<uint16_t>("dtmain.II201", 65535);  // unsigned
    EXPECT_EQ(text_of("12_text158_text"), "60.0%");
    EXPECT_EQ(text_of("12_text157_text"), "65535.0%");
}

TEST_F(Bindings, DialogFieldsShowTheirOwnByte) {
    set<uint8_t>("dtmain.TimeHour", 255);
    set<uint8_t>("dtmain.TimeMinute", 7);
    set<uint8_t>("dtmain.TimeSecond", 0);
    EXPECT_EQ(text_of("15_text2_text"), "255");
    EXPECT_EQ(text_of("15_text4_text"), "7");
    EXPECT_EQ(text_of("15_text7_text"), "0");
}

TEST_F(Bindings, HumidityInputOnlyWhileTheSimulationRuns) {
    struct Case {
        const char* key;
        const char* tag;
    };
    for (Case c :
         {Case{"12_text158_click", "dtmain.II203"}, Case{"12_text157_click", "dtmain.II201"}}) {
        set<uint8_t>("dtmain.RUN_SIM", 0);
        fire(c.key);
        EXPECT_EQ(trace(), "") << c.key;
        for (uint8_t running : {1, 2}) {
            set<uint8_t>("dtmain.RUN_SIM", running);
            host.answer_input(55.0);
            fire(c.key);
            EXPECT_EQ(trace(), std::string("input ") + c.tag +
                                   " \"请输入湿度值(0%～100%)\" 0..100 option 1 -> 55 stored\n")
                << c.key;
            EXPECT_EQ(get<uint16_t>(c.tag), 55);
        }
    }
}

}  // namespace
}  // namespace hmi::test
