// Valve durations: the duration rectangles of window "12" and the duration dialog.
#include <cstring>

#include "tests/sequencer/line.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

std::string duration_tag(int index) {
    if (index >= 1 && index <= 22) return "dtmain.HV" + std::to_string(200 + index) + "_TIME";
    if (index >= 24 && index <= 27) return "dtmain.HM" + std::to_string(179 + index) + "_TIME";
    if (index >= 28 && index <= 37) return "dtmain.HV" + std::to_string(73 + index) + "_TIME";
    return "";
}

struct Pages {
    uint8_t dp, dt;
};
constexpr Pages kEveryPage[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 2}};

class Durations : public PanelTest {
  protected:
    Durations() {
        set<uint8_t>("dtmain.num_Flag", 0);
        set_fields(0, 0, 0);
        set<uint8_t>("dtmain.dp_web_flag", 0);
        set<uint8_t>("dtmain.dt_web_flag", 0);
        set<uint8_t>("dtmain.HM201", 0);
        set<uint8_t>("dtmain.HM101", 0);
        set<uint16_t>("dtmain.cur_num", 0);
        set<uint8_t>("dtmain.cur", 0);
    }
    void set_fields(uint8_t hours, uint8_t minutes, uint8_t seconds) {
        set<uint8_t>("dtmain.TimeHour", hours);
        set<uint8_t>("dtmain.TimeMinute", minutes);
        set<uint8_t>("dtmain.TimeSecond", seconds);
    }
    std::string fields() {
        return std::to_string(get<uint8_t>("dtmain.TimeHour")) + ":" +
               std::to_string(get<uint8_t>("dtmain.TimeMinute")) + ":" +
               std::to_string(get<uint8_t>("dtmain.TimeSecond"));
    }
    uint32_t duration(int index) { return get<uint32_t>(duration_tag(index).c_str()); }
    uint32_t saved(int index) {
        uint32_t v = 0;
        const auto& bytes = host.saved_params().at(duration_tag(index));
        std::memcpy(&v, bytes.data(), sizeof v);
        return v;
    }
    // Starts a confirm: the pages, the index, the valve state read at the opening.
    void prepare_confirm(Pages p, int index, uint8_t state) {
        set<uint8_t>("dtmain.dp_web_flag", p.dp);
        set<uint8_t>("dtmain.dt_web_flag", p.dt);
        set<uint8_t>("dtmain.HM201", 0);
        set<uint8_t>("dtmain.HM101", 0);
        set<uint16_t>("dtmain.cur_num", 0);
        set<uint8_t>("dtmain.cur", state);
        set<uint8_t>("dtmain.num_Flag", index);
    }
    // What a confirm does after storing the duration, up to the cleared fields.
    static std::string confirmed(Pages p, int index, uint8_t state, const std::string& cleared) {
        bool dp = p.dp == 1, dt = p.dt == 1;
        std::string t = "param rtdb_to_mem\nparam save\n";
        if (dp) t += valve_write(index + 200, state);
        if (dt) t += valve_write(index + 73, state);
        t += "exit_modal timeinput\nhide timeinput\n";
        if (dt) t += "set dtmain.HM101 = 1\n";
        if (dp || dt) t += "set dtmain.cur_num = " + std::to_string(index + (dt ? 73 : 200)) + "\n";
        if (dp) t += "set dtmain.HM201 = 1\n";
        return t + cleared;
    }
    std::vector<uint32_t> all_durations() {
        std::vector<uint32_t> all;
        for (int i = 1; i <= 37; ++i) {
            if (i != 23) all.push_back(duration(i));
        }
        return all;
    }
};

// ---- the duration rectangles ----

struct Rectangle {
    const char* key;
    int index;
    bool index_first;
};

constexpr Rectangle kRectangles[] = {
    {"12_rectangle130_click", 1, true},   {"12_rectangle128_click", 2, true},
    {"12_rectangle133_click", 3, true},   {"12_rectangle134_click", 4, true},
    {"12_rectangle135_click", 5, false},  {"12_rectangle136_click", 6, false},
    {"12_rectangle137_click", 7, false},  {"12_rectangle138_click", 8, false},
    {"12_rectangle139_click", 9, false},  {"12_rectangle142_click", 10, false},
    {"12_rectangle141_click", 11, false}, {"12_rectangle140_click", 12, false},
    {"12_rectangle143_click", 13, false}, {"12_rectangle144_click", 14, false},
    {"12_rectangle145_click", 15, false}, {"12_rectangle149_click", 16, false},
    {"12_rectangle147_click", 17, false}, {"12_rectangle29_click", 18, false},
    {"12_rectangle21_click", 19, false},  {"12_rectangle22_click", 20, false},
};

TEST_F(Durations, EachRectangleLoadsItsDurationSetsItsIndexAndOpensTheDialog) {
    for (const Rectangle& r : kRectangles) {
        int h = r.index, m = r.index + 30, s = 59 - r.index;
        uint32_t d = h * 3600 + m * 60 + s;
        set<uint32_t>(duration_tag(r.index).c_str(), d);
        set<uint8_t>("dtmain.num_Flag", 99);
        set_fields(99, 99, 99);
        std::vector<uint32_t> before = all_durations();
        fire(r.key);
        std::string index = "set dtmain.num_Flag = " + std::to_string(r.index) + "\n";
        std::string loaded = "set dtmain.TimeSecond = " + std::to_string(s) +
                             "\nset dtmain.TimeMinute = " + std::to_string(m) +
                             "\nset dtmain.TimeHour = " + std::to_string(h) + "\n";
        EXPECT_EQ(trace(), (r.index_first ? index + loaded : loaded + index) +
                               "param rtdb_to_mem\nparam save\nshow_modal timeinput\n")
            << r.key;
        EXPECT_EQ(saved(r.index), d) << r.key;
        EXPECT_EQ(all_durations(), before) << r.key;  // no duration is written
    }
}

TEST_F(Durations, OnlyChangedFieldsAreWritten) {
    set<uint32_t>("dtmain.HV205_TIME", 3725);
    set_fields(1, 0, 5);
    set<uint8_t>("dtmain.num_Flag", 5);
    fire("12_rectangle135_click");
    EXPECT_EQ(trace(),
              "set dtmain.TimeMinute = 2\nparam rtdb_to_mem\nparam save\nshow_modal timeinput\n");
    EXPECT_EQ(fields(), "1:2:5");
}

TEST_F(Durations, DurationsBeyondTheFieldsShowTheirLargestValue) {
    struct Case {
        uint32_t duration;
        const char* shown;
    };
    for (Case c :
         {Case{921599, "255:59:59"}, Case{921600, "255:59:59"}, Case{1000000, "255:59:59"},
          Case{0xFFFFFFFF, "255:59:59"}, Case{918000 + 7, "255:0:7"}, Case{363599, "100:59:59"}}) {
        set<uint32_t>("dtmain.HV201_TIME", c.duration);
        fire("12_rectangle130_click");
        EXPECT_EQ(fields(), c.shown) << c.duration;
        EXPECT_EQ(get<uint32_t>("dtmain.HV201_TIME"), c.duration);
    }
}

// ---- the dialog ----

TEST_F(Durations, EditFieldsAreEnteredThroughTheInputWindow) {
    struct Field {
        const char* key;
        const char* input;
    };
    for (Field f : {Field{"15_text2_click", "input dtmain.TimeHour \"请输入小时\" 0..100"},
                    Field{"15_text4_click", "input dtmain.TimeMinute \"请输入分\" 0..59"},
                    Field{"15_text7_click", "input dtmain.TimeSecond \"请输入秒\" 0..59"}}) {
        host.answer_input(42.0);
        fire(f.key);
        EXPECT_EQ(trace(), std::string(f.input) + " option 0 -> 42 stored\n") << f.key;
    }
    EXPECT_EQ(fields(), "42:42:42");
    fire("15_window_close");
    EXPECT_EQ(trace(), "hide timeinput\n");
}

TEST_F(Durations, OpeningTheDialogReadsTheSelectedValveOfEachOpenPage) {
    set<uint8_t>(valve(205).c_str(), 1);
    set<uint8_t>(valve(103).c_str(), 1);
    struct Case {
        Pages pages;
        int index;
        const char* trace;
    };
    const Case cases[] = {
        {{0, 0}, 5, ""},
        {{2, 2}, 5, ""},  // page flags count only when exactly 1
        {{1, 0}, 5, "lookup dtmain.HV205 -> 1\nset dtmain.cur = 1\nset dtmain.cur_num = 205\n"},
        {{0, 1}, 30, "lookup dtmain.HV103 -> 1\nset dtmain.cur = 1\nset dtmain.cur_num = 103\n"},
        // the DT lookup names no valve: the state of the DP lookup stays
        {{1, 1},
         5,
         "lookup dtmain.HV205 -> 1\nlookup dtmain.HV78 (no such tag)\nset dtmain.cur = 1\n"
         "set dtmain.cur_num = 78\n"},
        // the DP lookup names no valve: the state starts at 0
        {{1, 1},
         30,
         "lookup dtmain.HV230 (no such tag)\nlookup dtmain.HV103 -> 1\nset dtmain.cur = 1\n"
         "set dtmain.cur_num = 103\n"},
        {{1, 0}, 23, "lookup dtmain.HV223 (no such tag)\nset dtmain.cur_num = 223\n"},
    };
    for (const Case& c : cases) {
        set<uint8_t>("dtmain.dp_web_flag", c.pages.dp);
        set<uint8_t>("dtmain.dt_web_flag", c.pages.dt);
        set<uint8_t>("dtmain.num_Flag", c.index);
        set<uint8_t>("dtmain.cur", 0);
        set<uint16_t>("dtmain.cur_num", 0);
        fire("15_window_open");
        EXPECT_EQ(trace(), c.trace) << int(c.pages.dp) << int(c.pages.dt) << " " << c.index;
    }
}

TEST_F(Durations, ConfirmStoresTheDurationSavesItAndRestoresTheValveOfEachOpenPage) {
    for (int index : {5, 30}) {
        for (Pages p : kEveryPage) {
            prepare_confirm(p, index, 1);
            set<uint32_t>(duration_tag(index).c_str(), 30);
            set_fields(1, 2, 5);
            fire("15_button8_click");
            EXPECT_EQ(trace(),
                      "set " + duration_tag(index) + " = 3725\n" +
                          confirmed(p, index, 1,
                                    "set dtmain.TimeSecond = 0\nset dtmain.TimeMinute = 0\n"
                                    "set dtmain.TimeHour = 0\n"))
                << index << " " << int(p.dp) << int(p.dt);
            EXPECT_EQ(saved(index), 3725u) << "the confirmed duration is saved at once";
        }
    }
}

TEST_F(Durations, ConfirmingUnchangedFieldsKeepsTheDuration) {
    set<uint32_t>("dtmain.HV205_TIME", 3725);
    fire("12_rectangle135_click");
    trace();
    fire("15_button8_click");
    EXPECT_EQ(trace(),
              "param rtdb_to_mem\nparam save\nexit_modal timeinput\nhide timeinput\n"
              "set dtmain.TimeSecond = 0\nset dtmain.TimeMinute = 0\nset dtmain.TimeHour = 0\n");
    EXPECT_EQ(get<uint32_t>("dtmain.HV205_TIME"), 3725u);
}

TEST_F(Durations, ConfirmServesEveryDurationIndexAndTheLargestEntry) {
    for (int index = 1; index <= 37; ++index) {
        if (index == 23) continue;
        set<uint8_t>("dtmain.num_Flag", index);
        set_fields(100, 59, 59);
        std::vector<uint32_t> expected = all_durations();
        expected[index < 23 ? index - 1 : index - 2] = 363599;
        fire("15_button8_click");
        EXPECT_EQ(all_durations(), expected) << index;
        EXPECT_EQ(saved(index), 363599u) << index;
    }
}

TEST_F(Durations, IndicesWithoutADurationStoreNothingButStillCloseTheDialog) {
    for (int index : {0, 23, 38, 255}) {
        for (Pages p : kEveryPage) {
            prepare_confirm(p, index, 0);
            set_fields(1, 0, 0);
            std::vector<uint32_t> before = all_durations();
            fire("15_button8_click");
            EXPECT_EQ(trace(), confirmed(p, index, 0, "set dtmain.TimeHour = 0\n"))
                << index << " " << int(p.dp) << int(p.dt);
            EXPECT_EQ(all_durations(), before) << index;
        }
    }
}

TEST_F(Durations, CancelPutsTheSavedParametersBackAndClearsTheFields) {
    set<uint32_t>("dtmain.HV205_TIME", 3725);
    for (Pages p : kEveryPage) {  // cancel does not look at the pages
        set<uint8_t>("dtmain.dp_web_flag", p.dp);
        set<uint8_t>("dtmain.dt_web_flag", p.dt);
        fire("12_rectangle135_click");
        set<uint32_t>("dtmain.HV205_TIME", 60);  // changed after the copy was taken
        set_fields(4, 0, 6);
        trace();
        fire("15_button20_click");
        EXPECT_EQ(trace(),
                  "param mem_to_rtdb\nexit_modal timeinput\nhide timeinput\n"
                  "set dtmain.TimeSecond = 0\nset dtmain.TimeHour = 0\n");
        EXPECT_EQ(get<uint32_t>("dtmain.HV205_TIME"), 3725u);
        EXPECT_EQ(fields(), "0:0:0");
    }
    fire("15_button20_click");  // fields already 0: nothing written
    EXPECT_EQ(trace(), "param mem_to_rtdb\nexit_modal timeinput\nhide timeinput\n");
}

TEST_F(Durations, AWholeEditFromRectangleToConfirm) {
    set<uint8_t>("dtmain.dp_web_flag", 1);
    set<uint8_t>(valve(207).c_str(), 1);
    fire("12_rectangle137_click");
    fire("15_window_open");
    host.answer_input(2.0);
    fire("15_text2_click");
    host.answer_input(30.0);
    fire("15_text4_click");
    host.answer_input(0.0);
    fire("15_text7_click");
    set<uint8_t>(valve(207).c_str(), 0);  // the tick moved on meanwhile
    trace();
    fire("15_button8_click");
    EXPECT_EQ(get<uint32_t>("dtmain.HV207_TIME"), 9000u);
    EXPECT_EQ(saved(7), 9000u);
    EXPECT_EQ(get<uint8_t>(valve(207).c_str()), 1);  // back to its state at the opening
    EXPECT_EQ(get<uint8_t>("dtmain.HM201"), 1);
    EXPECT_EQ(fields(), "0:0:0");
}

}  // namespace
}  // namespace hmi::test
