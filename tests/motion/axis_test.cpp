// The axis selection window "window" and the axis button of window "18".
#include <cstdint>
#include <string>

#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

const char* const kAxes[] = {"kelvor.x_anxis", "kelvor.y_anxis", "kelvor.z_anxis", "kelvor.u_anxis",
                             "kelvor.v_anxis"};

class AxisWindow : public PanelTest {
  protected:
    // The five selections from a pattern such as "01000" (x, y, z, u, v).
    void select(const char* pattern) {
        for (int i = 0; i < 5; ++i) set<uint8_t>(kAxes[i], pattern[i] - '0');
    }
    std::string selections() {
        std::string pattern;
        for (const char* axis : kAxes) pattern += static_cast<char>('0' + get<uint8_t>(axis));
        return pattern;
    }
};

struct Select {
    const char* key;
    const char* before;
    const char* trace;
    const char* after;
};

TEST_F(AxisWindow, EachSelectButtonSelectsOnlyItsAxis) {
    const Select cases[] = {
        // writes in the reverse of each button's own read order
        {"window_picture9_click", "11111",
         "set kelvor.v_anxis = 0\nset kelvor.z_anxis = 0\nset kelvor.y_anxis = 0\n"
         "set kelvor.u_anxis = 0\n",
         "10000"},
        {"window_picture15_click", "10111",
         "set kelvor.v_anxis = 0\nset kelvor.u_anxis = 0\nset kelvor.z_anxis = 0\n"
         "set kelvor.x_anxis = 0\nset kelvor.y_anxis = 1\n",
         "01000"},
        {"window_picture17_click", "11011",
         "set kelvor.v_anxis = 0\nset kelvor.u_anxis = 0\nset kelvor.y_anxis = 0\n"
         "set kelvor.x_anxis = 0\nset kelvor.z_anxis = 1\n",
         "00100"},
        {"window_picture13_click", "11101",
         "set kelvor.v_anxis = 0\nset kelvor.z_anxis = 0\nset kelvor.y_anxis = 0\n"
         "set kelvor.x_anxis = 0\nset kelvor.u_anxis = 1\n",
         "00010"},
        {"window_picture5_click", "11110",
         "set kelvor.u_anxis = 0\nset kelvor.z_anxis = 0\nset kelvor.y_anxis = 0\n"
         "set kelvor.x_anxis = 0\nset kelvor.v_anxis = 1\n",
         "00001"},
        {"window_picture15_click", "00001", "set kelvor.v_anxis = 0\nset kelvor.y_anxis = 1\n",
         "01000"},
        {"window_picture15_click", "01000", "", "01000"},  // already the only one
        {"window_picture9_click", "20000", "set kelvor.x_anxis = 1\n", "10000"},
    };
    for (const Select& c : cases) {
        select(c.before);
        trace();
        fire(c.key);
        EXPECT_EQ(trace(), c.trace) << c.key << " from " << c.before;
        EXPECT_EQ(selections(), c.after) << c.key << " from " << c.before;
    }
}

struct Toggle {
    const char* key;
    uint8_t mode;  // kelvor.anxis before
    const char* trace;
};

// "18_picture60_click" drops the selections when it closes the window;
// "window_picture7_click" drops them when it opens it.
TEST_F(AxisWindow, TheTwoModeTogglesClearTheSelectionsOnOppositeSides) {
    const Toggle cases[] = {
        {"18_picture60_click", 0, "show window\nset kelvor.anxis = 1\n"},
        {"18_picture60_click", 1,
         "hide window\nset kelvor.v_anxis = 0\nset kelvor.y_anxis = 0\nset kelvor.anxis = 0\n"},
        {"18_picture60_click", 2,
         "hide window\nset kelvor.v_anxis = 0\nset kelvor.y_anxis = 0\nset kelvor.anxis = 0\n"},
        {"window_picture7_click", 0,
         "show window\nset kelvor.v_anxis = 0\nset kelvor.y_anxis = 0\nset kelvor.anxis = 1\n"},
        {"window_picture7_click", 1, "hide window\nset kelvor.anxis = 0\n"},
    };
    for (const Toggle& c : cases) {
        select("01001");
        set<uint8_t>("kelvor.anxis", c.mode);
        trace();
        fire(c.key);
        EXPECT_EQ(trace(), c.trace) << c.key << " from " << int{c.mode};
    }
    select("00000");
    set<uint8_t>("kelvor.anxis", 1);
    fire("18_picture60_click");
    EXPECT_EQ(trace(), "hide window\nset kelvor.anxis = 0\n");  // nothing was selected
}

TEST_F(AxisWindow, ClosingTheWindowClearsEverySelectionButNotTheMode) {
    select("00110");
    set<uint8_t>("kelvor.anxis", 1);
    fire("window_window_close");
    EXPECT_EQ(trace(), "set kelvor.u_anxis = 0\nset kelvor.z_anxis = 0\n");
    fire("window_window_close");
    EXPECT_EQ(trace(), "");
    EXPECT_EQ(get<uint8_t>("kelvor.anxis"), 1);
}

TEST_F(AxisWindow, ZeroButtonActsOnlyWhileAStartIsPending) {
    set<float>("kelvor.x_Real", 100.0f);
    set<float>("kelvor.y_Real", 100.0f);
    set<uint8_t>("kelvor.star_Run", 0);
    fire("window_picture11_click");
    EXPECT_EQ(trace(), "");
    set<uint8_t>("kelvor.star_Run", 1);
    fire("window_picture11_click");
    EXPECT_EQ(trace(), "set kelvor.y_Real = 0\nset kelvor.x_Real = 0\n");
}

TEST_F(AxisWindow, HomeButtonOnlySwitchesWindows) {
    select("10000");
    set<uint8_t>("kelvor.anxis", 1);
    fire("window_picture3_click");
    EXPECT_EQ(trace(), "show main\nhide window\nhide kelvor\n");
}

}  // namespace
}  // namespace hmi::test
