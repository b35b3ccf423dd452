// The operator's controls of window "12": modes, home, shut-down and the pump symbols.
#include "tests/sequencer/line.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

const char* const kManualQuestion =
    "msgbox \"提示\" \"自动模式正在运行，确信切换到手动模式吗？\" style 290 -> ";
const char* const kShutDownQuestion =
    "msgbox \"Warning\" \"Are you sure shut down all the valves and pumps？\" style 290 -> ";

struct Mode {
    uint8_t automatic, manual, stepping;
    bool operator==(const Mode&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Mode& m) {
    return os << "(" << int(m.automatic) << ", " << int(m.manual) << ", " << int(m.stepping) << ")";
}

class Modes : public PanelTest {
  protected:
    void set_mode(Mode m) {
        set<uint8_t>("dtmain.DP_AUTO", m.automatic);
        set<uint8_t>("dtmain.DP_MANUAL", m.manual);
        set<uint8_t>("dtmain.DP_STEP", m.stepping);
    }
    Mode mode() {
        return {get<uint8_t>("dtmain.DP_AUTO"), get<uint8_t>("dtmain.DP_MANUAL"),
                get<uint8_t>("dtmain.DP_STEP")};
    }
    // Writes of the three mode flags from `from` to `to`, in the handlers' order.
    static std::string mode_writes(Mode from, Mode to) {
        std::string out;
        if (from.stepping != to.stepping) out += "set dtmain.DP_STEP = 0\n";
        if (from.manual != to.manual) {
            out += "set dtmain.DP_MANUAL = " + std::to_string(to.manual) + "\n";
        }
        if (from.automatic != to.automatic) {
            out += "set dtmain.DP_AUTO = " + std::to_string(to.automatic) + "\n";
        }
        return out;
    }
};

constexpr Mode kAutomatic{1, 0, 0}, kManual{0, 1, 0}, kNeither{0, 0, 0}, kStepping{0, 0, 1},
    kOdd{2, 3, 4};

TEST_F(Modes, AutomaticButtonFromEveryMode) {
    for (Mode from : {kAutomatic, kManual, kNeither, kStepping, kOdd}) {
        set_mode(from);
        fire("12_text2_click");
        EXPECT_EQ(trace(), mode_writes(from, kAutomatic)) << from;
        EXPECT_EQ(mode(), kAutomatic) << from;
    }
}

TEST_F(Modes, ManualButtonAsksInEveryModeAndActsOnlyOnSix) {
    for (Mode from : {kAutomatic, kManual, kNeither, kStepping, kOdd}) {
        for (int answer : {6, 7, 2, 1, 0}) {
            set_mode(from);
            host.answer_msgbox(answer);
            fire("12_text5_click");
            Mode to = answer == 6 ? kManual : from;
            EXPECT_EQ(trace(),
                      kManualQuestion + std::to_string(answer) + "\n" + mode_writes(from, to))
                << from << " answer " << answer;
            EXPECT_EQ(mode(), to) << from << " answer " << answer;
        }
    }
}

TEST_F(Modes, HomeButtonStopsBothLinesAndHidesTheScreens) {
    const std::string windows =
        "show main\n"
        "hide pic1\nhide pic2\nhide pic3\nhide water\nhide 4\nhide 5\nhide 6\nhide 7\nhide 8\n"
        "hide 9\nhide 10\nhide 11\nhide 12\nhide 13\nhide 14\nhide 15\nhide 16\nhide 17\n"
        "hide 18\nhide 19\nhide 20\nhide 21\nhide 22\nhide 23\n";
    set_mode(kAutomatic);
    set<uint8_t>("dtmain.DT_AUTO", 1);
    fire("12_picture2_click");
    EXPECT_EQ(trace(), windows + "set dtmain.DP_AUTO = 0\nset dtmain.DT_AUTO = 0\n");
    EXPECT_EQ(mode(), kNeither);

    set_mode(kManual);
    fire("12_picture2_click");  // both automatic flags already 0
    EXPECT_EQ(trace(), windows);
    EXPECT_EQ(mode(), kManual);  // the manual flag stays
}

TEST_F(Modes, ShutDownClosesTheWholeLineOnlyWhenConfirmed) {
    for (int answer : {6, 7, 0}) {
        std::string writes;
        for (int n = 206; n >= 201; --n) {  // HM204 and HM202 already off
            uint8_t on = n % 2 == 1 ? 1 : (n == 206 ? 9 : 0);
            set<uint8_t>(("dtmain.HM" + std::to_string(n)).c_str(), on);
            if (on) writes += "set dtmain.HM" + std::to_string(n) + " = 0\n";
        }
        for (int n = 222; n >= 201; --n) {
            uint8_t open = n % 3 == 0 ? 1 : 0;
            set<uint8_t>(valve(n).c_str(), open);
            if (open) writes += "set " + valve(n) + " = 0\n";
        }
        set_mode(kAutomatic);
        set<uint8_t>("dtmain.num", 207);
        host.answer_msgbox(answer);
        fire("12_button7_click");
        EXPECT_EQ(trace(), kShutDownQuestion + std::to_string(answer) + "\nshow dpmain\n" +
                               (answer == 6 ? writes : ""))
            << "answer " << answer;
        EXPECT_EQ(mode(), kAutomatic);  // the mode and the step counter are not touched
        EXPECT_EQ(get<uint8_t>("dtmain.num"), 207);
    }
}

TEST_F(Modes, AutomaticModeGoesOnAfterAShutDown) {
    set_mode(kAutomatic);
    set<uint8_t>("dtmain.dp_web_flag", 1);
    set<uint8_t>("dtmain.HM201", 1);
    set<uint8_t>("dtmain.num", 203);
    host.answer_msgbox(6);
    fire("12_button7_click");
    trace();
    fire("12_timer11_timer");
    EXPECT_EQ(trace(), valve_write(204, 1) + "set dtmain.num = 204\nset dtmain.HM201 = 1\n");
}

// The pump symbols toggle their pump only in manual mode (any manual flag but 0); the
// interlock closes the line whenever both main pumps end up off, in every mode.
TEST_F(Modes, PumpSymbolsToggleThenInterlock) {
    struct Case {
        Mode mode;
        const char* key;
        uint8_t hm201, hm202;        // before
        uint8_t after201, after202;  // after
    };
    const Mode kOddManual{0, 2, 0};
    const Case cases[] = {
        {kManual, "12_ellipse146_click", 1, 0, 0, 0},
        {kManual, "12_ellipse146_click", 1, 1, 0, 1},
        {kManual, "12_ellipse146_click", 0, 0, 1, 0},
        {kManual, "12_ellipse32_click", 0, 5, 0, 0},
        {kManual, "12_ellipse32_click", 1, 5, 1, 0},
        {kManual, "12_ellipse32_click", 0, 0, 0, 1},
        {kOddManual, "12_ellipse32_click", 0, 1, 0, 0},
        {kAutomatic, "12_ellipse146_click", 0, 0, 0, 0},
        {kAutomatic, "12_ellipse32_click", 0, 0, 0, 0},
        {kAutomatic, "12_ellipse146_click", 1, 0, 1, 0},
        {kAutomatic, "12_ellipse32_click", 0, 3, 0, 3},
        {kNeither, "12_ellipse146_click", 0, 0, 0, 0},
        {kNeither, "12_ellipse32_click", 0, 0, 0, 0},
        {kNeither, "12_ellipse32_click", 0, 1, 0, 1},
        {kStepping, "12_ellipse146_click", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.key << " in " << c.mode << " with pumps "
                                          << int(c.hm201) << ", " << int(c.hm202));
        set_mode(c.mode);
        set<uint8_t>("dtmain.HM201", c.hm201);
        set<uint8_t>("dtmain.HM202", c.hm202);
        bool closes = c.after201 == 0 && c.after202 == 0;
        std::string writes;
        for (int n = 206; n >= 203; --n) {
            set<uint8_t>(("dtmain.HM" + std::to_string(n)).c_str(), n == 204 ? 0 : 1);
            if (closes && n != 204) writes += "set dtmain.HM" + std::to_string(n) + " = 0\n";
        }
        for (int n = 222; n >= 201; --n) {
            uint8_t open = n % 2;
            set<uint8_t>(valve(n).c_str(), open);
            if (closes && open) writes += "set " + valve(n) + " = 0\n";
        }
        auto pump_write = [](int n, uint8_t before, uint8_t after) {
            return before == after
                       ? std::string()
                       : "set dtmain.HM" + std::to_string(n) + " = " + std::to_string(after) + "\n";
        };
        // the other main pump, then the toggled one
        if (std::string(c.key) == "12_ellipse146_click") {
            writes += pump_write(202, c.hm202, c.after202) + pump_write(201, c.hm201, c.after201);
        } else {
            writes += pump_write(201, c.hm201, c.after201) + pump_write(202, c.hm202, c.after202);
        }

        fire(c.key);
        EXPECT_EQ(trace(), writes);
        EXPECT_EQ(get<uint8_t>("dtmain.HM201"), c.after201);
        EXPECT_EQ(get<uint8_t>("dtmain.HM202"), c.after202);
        EXPECT_EQ(mode(), c.mode);
    }
}

}  // namespace
}  // namespace hmi::test
