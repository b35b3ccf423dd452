// The run control buttons of window "18", its opening and its home button.
#include <cstdint>
#include <string>

#include "tests/motion/fixture.hpp"

namespace hmi::test {
namespace {

using enum Stored;

const std::string kStopFirst = "msgbox \"提示\" \"请先停止运行。\" style 0 -> 0\n";

TEST_F(Motion, OpeningTheScreenEnablesTheTickAndTheTimer) {
    set<uint8_t>("main.can5", 0);
    set<uint8_t>("project_water.alarm_right", 1);
    set<uint8_t>("kelvor.allow_alarm", 0);
    fire("18_window_open");
    EXPECT_EQ(trace(),
              "set kelvor.allow_alarm = 1\nset project_water.alarm_right = 0\nset main.can5 = 1\n");
    fire("18_window_open");
    EXPECT_EQ(trace(), "");
}

struct Press {
    const char* key;
    uint8_t pause;  // before the press
    const char* trace;
};

TEST_F(Motion, PauseStopAndContinueOnlyRaiseTheirRequests) {
    const Press cases[] = {
        {"18_picture37_click", 0, "set kelvor.pause = 1\n"},
        {"18_picture37_click", 1, ""},
        {"18_picture38_click", 0, "set kelvor.stop = 1\n"},
        {"18_picture36_click", 0, ""},  // nothing to continue
        {"18_picture36_click", 2, ""},  // only a pause of 1 is pending
        {"18_picture36_click", 1, "set kelvor.continue = 1\n"},
    };
    for (const Press& c : cases) {
        reset();
        set<uint8_t>("kelvor.pause", c.pause);
        fire(c.key);
        EXPECT_EQ(trace(), c.trace) << c.key << " with pause " << int{c.pause};
    }
}

TEST_F(Motion, ClearCountTellsTheOperatorBeforeTheRequestIsWritten) {
    fire("18_picture49_click");
    EXPECT_EQ(trace(),
              "msgbox \"提示\" \"完成个数已清零。\" style 0 -> 0\nset kelvor.clear_cmp = 1\n");
    EXPECT_EQ(get<uint16_t>("kelvor.num_complate"), 3);  // the tick clears it
}

TEST_F(Motion, BothAutomaticTogglesFlipTheMode) {
    for (const char* key : {"18_picture35_click", "window_picture19_click"}) {
        for (auto [before, after] : {std::pair<uint8_t, uint8_t>{0, 1}, {1, 0}, {2, 0}}) {
            set<uint8_t>("kelvor.automatic", before);
            fire(key);
            EXPECT_EQ(get<uint8_t>("kelvor.automatic"), after) << key << " " << int{before};
        }
    }
}

TEST_F(Motion, StartPresetsOnlyWhenHeldAfterAPauseOrAManualEnd) {
    const std::string preset =
        "set kelvor.direction = 0\nset kelvor.y_Real = 100\nset kelvor.x_Real = 100\n"
        "set kelvor.star_Run = 1\n";
    const std::string question = "msgbox \"提示\" \"是否放弃当前进度？\" style 2 -> ";
    for (uint8_t hold = 0; hold <= 4; ++hold) {
        for (uint8_t pause : {0, 1}) {
            for (int answer : {6, 7}) {
                reset();
                set<uint8_t>("kelvor.save_flag", hold);
                set<uint8_t>("kelvor.pause", pause);
                set<float>("kelvor.x_Real", 500.0f);
                set<float>("kelvor.y_Real", 500.0f);
                set<uint8_t>("kelvor.direction", 1);
                std::string expected;
                if (pause == 1) {
                    host.answer_msgbox(answer);
                    expected = question + std::to_string(answer) + "\n";
                    if (answer != 6) {
                        expected += "set kelvor.continue = 1\n";  // resume instead
                    } else if (hold == 1) {
                        expected += preset + "set kelvor.pause = 0\n";
                    }
                } else if (hold == 1) {
                    expected = preset;
                }
                fire("18_picture34_click");
                EXPECT_EQ(trace(), expected)
                    << "hold " << int{hold} << " pause " << int{pause} << " answer " << answer;
                EXPECT_EQ(host.pending_answers(), 0u);
                if (pause == 0) break;  // no question, so no answer to vary
            }
        }
    }
}

struct Origin {
    uint8_t hold;
    uint8_t pending;  // star_Location before the press
    std::string trace;
};

TEST_F(Motion, OriginIsRequestedOnlyWhenHeldAndShownWhilePending) {
    const std::string at_origin = "set kelvor.y_Real = 0\nset kelvor.x_Real = 0\n";
    const Origin cases[] = {
        {1, 0, "set kelvor.star_Location = 1\n" + at_origin},
        {1, 1, at_origin},
        {0, 0, kStopFirst},
        {2, 0, kStopFirst},
        {3, 0, kStopFirst},
        {4, 0, kStopFirst},
        {4, 1, kStopFirst + at_origin},  // an earlier request is still pending
    };
    for (const Origin& c : cases) {
        reset();
        set<uint8_t>("kelvor.save_flag", c.hold);
        set<uint8_t>("kelvor.star_Location", c.pending);
        set<float>("kelvor.x_Real", 500.0f);
        set<float>("kelvor.y_Real", 500.0f);
        set<uint32_t>("kelvor.z_Real", 9);
        fire("18_picture33_click");
        EXPECT_EQ(trace(), c.trace) << "hold " << int{c.hold} << " pending " << int{c.pending};
    }
}

// ---- the home button ----

struct Default {
    const char* tag;
    Stored kind;
    const char* shown;  // the default as the host shows it
};

// The table of defaults, in read order.
const Default kDefaults[] = {
    {"main.can5", U8, "0"},
    {"kelvor.allow_alarm", U8, "1"},
    {"kelvor.x_Real", F32, "100"},
    {"kelvor.y_Real", F32, "100"},
    {"kelvor.star_Location", U8, "0"},
    {"kelvor.star_Run", U8, "0"},
    {"kelvor.automatic", U8, "1"},
    {"kelvor.continue", U8, "0"},
    {"kelvor.pause", U8, "0"},
    {"kelvor.stop", U8, "0"},
    {"kelvor.anxis", U8, "0"},
    {"kelvor.runState", U8, "0"},
    {"kelvor.x_star", U16, "100"},
    {"kelvor.y_star", U16, "100"},
    {"kelvor.direction", U8, "0"},
    {"kelvor.save_flag", U8, "2"},
    {"kelvor.state_flag", U8, "3"},
    {"kelvor.temp2", U8, "0"},
    {"kelvor.circle_x", F32, "0"},
    {"kelvor.circle_y", F32, "0"},
    {"kelvor.radius", F32, "500"},
    {"kelvor.c_center_x", F32, "1000"},
    {"kelvor.c_center_y", F32, "1000"},
    {"kelvor.s_control", I32, "1"},
    {"kelvor.radius_input", F32, "200"},
    {"kelvor.cur_angle", F32, "0"},
    {"kelvor.edge_len", F32, "2100"},
    {"kelvor.control", I32, "1"},
    {"kelvor.cur_step", I32, "0"},
    {"kelvor.edge_width", F32, "1100"},
    {"kelvor.temp1", U8, "0"},
    {"kelvor.temp3", U8, "0"},
    {"kelvor.sum_point", I32, "0"},
    {"kelvor.num_complate", U16, "0"},
    {"kelvor.temp", U8, "0"},
    {"kelvor.run_time", U32, "0"},
    {"kelvor.clear_cmp", U8, "0"},
    {"kelvor.x_anxis", U8, "0"},
    {"kelvor.y_anxis", U8, "0"},
    {"kelvor.z_anxis", U8, "0"},
    {"kelvor.u_anxis", U8, "0"},
    {"kelvor.v_anxis", U8, "0"},
    {"kelvor.run_flag", U8, "1"},
};

class HomeButton : public Motion {
  protected:
    // A value that no default has.
    void set_off_default(const Default& d) { set_as(d.tag, d.kind, d.kind == F32 ? 7.5 : 7.0); }
    static constexpr char kWindows[] = "show main\nhide window\nhide kelvor\n";
};

TEST_F(HomeButton, SwitchesWindowsFirstThenWritesEveryDefaultInReverse) {
    std::string expected = kWindows;
    for (size_t i = std::size(kDefaults); i-- > 0;) {
        set_off_default(kDefaults[i]);
        expected += std::string("set ") + kDefaults[i].tag + " = " + kDefaults[i].shown + "\n";
    }
    fire("18_picture4_click");
    EXPECT_EQ(trace(), expected);
    fire("18_picture4_click");
    EXPECT_EQ(trace(), kWindows);  // everything already at its default
}

TEST_F(HomeButton, WritesOnlyTheTagsAwayFromTheirDefaults) {
    fire("18_picture4_click");
    trace();
    set<uint8_t>("kelvor.run_flag", 0);
    set<uint8_t>("kelvor.save_flag", 0);
    set<float>("kelvor.x_Real", 300.0f);
    set<uint8_t>("main.can5", 1);
    fire("18_picture4_click");
    EXPECT_EQ(trace(), std::string(kWindows) +
                           "set kelvor.run_flag = 1\nset kelvor.save_flag = 2\n"
                           "set kelvor.x_Real = 100\nset main.can5 = 0\n");
}

}  // namespace
}  // namespace hmi::test
