// Window "11": the automatic level sequence, its mode button, the window's opening,
// the picture buttons and the relay panel's properties.
#include <array>
#include <charconv>
#include <cmath>

#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

// The level steps as stated: in double precision, kept as single.
float rise(float left) {
    return static_cast<float>(double{left} + 1.3);
}
float fall(float right) {
    return static_cast<float>(double{right} - 2.1);
}

std::string shortest(float f) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, f).ptr);
}

const char* const kRelays[] = {"chief.KA16", "chief.KA17", "chief.KA18", "chief.KA19"};

class Relays : public PanelTest {
  protected:
    Relays() {
        set<uint8_t>("chief.chief_auto", 1);
        set_levels(10.0f, 80.0f);
        set_relays({0, 0, 0, 0});
    }
    void set_levels(float left, float right) {
        set<float>("chief.wy_left", left);
        set<float>("chief.wy_right", right);
    }
    void set_relays(std::array<uint8_t, 4> ka16_to_19) {
        for (int i = 0; i < 4; ++i) set<uint8_t>(kRelays[i], ka16_to_19[i]);
    }
    std::array<uint8_t, 4> relays() {
        std::array<uint8_t, 4> states;
        for (int i = 0; i < 4; ++i) states[i] = get<uint8_t>(kRelays[i]);
        return states;
    }
    std::string tick() {
        fire("11_timer399_timer");
        return trace();
    }
};

TEST_F(Relays, OneCycleFromTheRestartStateLasts39Ticks) {
    float left = 10.0f, right = 80.0f;
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (int n = 1; n <= 39; ++n) {
            std::string relay_writes;
            if (n == 1 && cycle == 0) relay_writes = "set chief.KA17 = 1\n";
            if (n == 10) relay_writes = "set chief.KA19 = 1\n";
            left = rise(left);
            right = fall(right);
            if (n == 39) {
                EXPECT_LT(right, 0.0f);
                left = 10.0f;
                right = 80.0f;
                relay_writes = "set chief.KA19 = 0\n";
            }
            EXPECT_EQ(tick(), relay_writes + "set chief.wy_right = " + shortest(right) +
                                  "\nset chief.wy_left = " + shortest(left) + "\n")
                << "tick " << n;
            if (n == 38) {
                EXPECT_NEAR(right, 0.2f, 0.001f);
            }
        }
        EXPECT_EQ(relays(), (std::array<uint8_t, 4>{0, 1, 0, 0}));
    }
}

TEST_F(Relays, ThresholdsCompareTheRoundedLevels) {
    struct Case {
        const char* what;
        float left, right;
        std::array<uint8_t, 4> before, after;  // KA16 to KA19
    };
    const float kBetween = 70.0f;  // a level that switches nothing
    const Case cases[] = {
        {"left reaches 60", 58.7f, kBetween, {0, 0, 0, 0}, {0, 1, 0, 0}},
        {"left just above 60", std::nextafter(58.7f, 100.0f), kBetween, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"left reaches 80", 78.7f, kBetween, {0, 1, 0, 0}, {1, 0, 0, 0}},
        {"left just below 80", std::nextafter(78.7f, 0.0f), kBetween, {0, 1, 0, 0}, {0, 1, 0, 0}},
        {"right reaches 80", kBetween, 82.1f, {0, 0, 0, 0}, {0, 0, 1, 0}},
        {"right just below 80", kBetween, std::nextafter(82.1f, 0.0f), {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"right reaches 60", kBetween, 62.1f, {0, 0, 1, 0}, {0, 0, 0, 1}},
        {"right just above 60",
         kBetween,
         std::nextafter(62.1f, 100.0f),
         {0, 0, 1, 0},
         {0, 0, 1, 0}},
        {"left 59, right 81", 59.0f, 81.0f, {1, 0, 1, 1}, {1, 0, 1, 1}},
        {"right just above 0", kBetween, std::nextafter(2.1f, 100.0f), {1, 1, 1, 0}, {1, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        set_levels(c.left, c.right);
        set_relays(c.before);
        tick();
        EXPECT_EQ(relays(), c.after) << c.what;
        EXPECT_EQ(get<float>("chief.wy_left"), rise(c.left)) << c.what;
        EXPECT_EQ(get<float>("chief.wy_right"), fall(c.right)) << c.what;
    }
    EXPECT_EQ(rise(58.7f), 60.0f);  // exactly on the threshold only after rounding
    EXPECT_GT(double{58.7f} + 1.3, 60.0);
}

TEST_F(Relays, RightLevelAtOrBelowZeroRestartsTheCycle) {
    for (float right : {2.1f, 2.0f}) {
        set_levels(50.0f, right);
        set_relays({1, 1, 1, 1});
        EXPECT_EQ(tick(),
                  "set chief.KA19 = 0\nset chief.KA18 = 0\nset chief.KA16 = 0\n"
                  "set chief.wy_right = 80\nset chief.wy_left = 10\n")
            << right;
    }
}

TEST_F(Relays, OnlyAutomaticModeOfExactlyOneMovesTheLevels) {
    set_levels(50.0f, 2.0f);
    for (uint8_t mode : {0, 2, 5, 255}) {
        set<uint8_t>("chief.chief_auto", mode);
        EXPECT_EQ(tick(), "") << int{mode};
    }
}

TEST_F(Relays, ModeButtonTogglesTheFlag) {
    set<uint8_t>("chief.chief_auto", 0);
    fire("11_ellipse403_click");
    fire("11_ellipse403_click");
    set<uint8_t>("chief.chief_auto", 5);
    fire("11_ellipse403_click");
    EXPECT_EQ(trace(),
              "set chief.chief_auto = 1\nset chief.chief_auto = 0\nset chief.chief_auto = 0\n");
}

TEST_F(Relays, OpeningTakesTheAlarmFromTheMotionScreen) {
    set<uint8_t>("kelvor.allow_alarm", 1);
    set<uint8_t>("project_water.alarm_right", 0);
    fire("11_window_open");
    EXPECT_EQ(trace(), "set kelvor.allow_alarm = 0\nset project_water.alarm_right = 1\n");
    fire("11_window_open");
    EXPECT_EQ(trace(), "");
}

TEST_F(Relays, PictureButtonsOnlyCallWindows) {
    fire("11_picture311_click");
    EXPECT_EQ(trace(), "show main\nhide 11\n");
    fire("11_picture310_click");
    EXPECT_EQ(trace(), "show hmi_sys_set_wnd\n");
}

// ---- properties ----

struct ByteRule {
    const char* key;
    const char* tag;
    uint32_t at[3];  // the property with the tag's byte at 0, 1 and 2
};

constexpr uint32_t kGrey = 0x7F7F7F, kRed = 0x0000FF, kWhite = 0xFFFFFF, kGreen = 0x00FF00,
                   kBlack = 0x000000;

const ByteRule kFlags[] = {
    {"11_ellipse366_flash", "chief.KA08", {0, 1, 0}},
    {"11_ellipse365_flash", "chief.KA07", {0, 1, 0}},
    {"11_ellipse364_flash", "chief.KA06", {0, 1, 0}},
    {"11_ellipse363_flash", "chief.KA05", {0, 1, 2}},  // the byte itself
    {"11_rectangle362_flash", "chief.KA19", {0, 1, 0}},
    {"11_rectangle361_flash", "chief.KA17", {0, 1, 0}},
    {"11_rectangle360_flash", "chief.KA16", {0, 1, 0}},
    {"11_rectangle359_flash", "chief.KA18", {0, 1, 0}},
    {"11_motor1344_flash", "chief.KA01", {0, 1, 0}},
    {"11_motor2319_flash", "chief.KA02", {0, 1, 0}},
};

const ByteRule kWords[] = {
    {"11_light1375_fillcolor1", "chief.KA02", {kGrey, kRed, kRed}},
    {"11_ellipse366_fillcolor", "chief.KA08", {kWhite, kGreen, kGreen}},
    {"11_ellipse365_fillcolor", "chief.KA07", {kWhite, kGreen, kGreen}},
    {"11_ellipse364_fillcolor", "chief.KA06", {kWhite, kGreen, kGreen}},
    {"11_ellipse363_fillcolor", "chief.KA05", {kWhite, kGreen, kGreen}},
    {"11_rectangle362_fillcolor", "chief.KA19", {kBlack, kRed, kRed}},
    {"11_rectangle361_fillcolor", "chief.KA17", {kBlack, kRed, kRed}},
    {"11_rectangle360_fillcolor", "chief.KA16", {kBlack, kRed, kRed}},
    {"11_rectangle359_fillcolor", "chief.KA18", {kBlack, kRed, kRed}},
    {"11_motor1344_color", "chief.KA01", {kWhite, kGreen, kGreen}},
    {"11_motor1338_color", "chief.KA01", {kWhite, kGreen, kGreen}},
    {"11_motor2319_color", "chief.KA02", {kWhite, kGreen, kGreen}},
    {"11_lineflowpipe1341_flowstate", "chief.KA01", {0, 1, 2}},
    {"11_lineflowpipe1329_flowstate", "chief.KA02", {0, 1, 2}},
};

TEST_F(Relays, FlagColourAndFlowProperties) {
    for (const ByteRule& r : kFlags) expect_byte_rule<uint8_t>(r.key, r.tag, r.at);
    for (const ByteRule& r : kWords) expect_byte_rule<uint32_t>(r.key, r.tag, r.at);
    set<uint8_t>("chief.KA01", 200);  // zero-extended, never sign-extended
    uint32_t flow = 0;
    poll("11_lineflowpipe1341_flowstate", flow);
    EXPECT_EQ(flow, 200u);
}

TEST_F(Relays, LevelGaugesAndTexts) {
    set_levels(11.3f, -0.0f);
    float gauge = 0.0f;
    EXPECT_EQ(poll("11_scale336_value", gauge), 0);  // -0.0 equals 0.0
    EXPECT_EQ(poll("11_scale335_value", gauge), 1);
    EXPECT_EQ(gauge, 11.3f);
    EXPECT_EQ(poll("11_scale335_value", gauge), 0);

    trace(host::kAllTopics);
    char text[16] = "";
    EXPECT_EQ(poll("11_text369_text", text), 1);
    EXPECT_STREQ(text, "11.3");
    EXPECT_EQ(poll("11_text369_text", text), 0);
    set<float>("chief.wy_right", 5.0f);
    EXPECT_EQ(poll("11_text370_text", text), 1);
    EXPECT_STREQ(text, "5.0");
    EXPECT_EQ(trace(static_cast<unsigned>(host::Topic::Format)),
              "float2str3 11.3000002 2 1 -> \"11.3\"\nfloat2str3 11.3000002 2 1 -> \"11.3\"\n"
              "float2str3 5 2 1 -> \"5.0\"\n");
}

}  // namespace
}  // namespace hmi::test
