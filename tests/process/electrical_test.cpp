// Window "17": the simulation step over its whole run, its bounds, the buttons, the
// home picture, and the window's bindings.
#include <set>

#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

using host::Topic;

// The three range lamps and the two indicators.
struct Lamps {
    int above_70, from_50_to_60, below_30, comm1, comm2;
    bool operator==(const Lamps&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Lamps& l) {
    return out << "b5 " << l.above_70 << " b6 " << l.from_50_to_60 << " b7 " << l.below_30
               << " comm1 " << l.comm1 << " comm2 " << l.comm2;
}

class Electrical : public PanelTest {
  protected:
    Electrical() {
        set<uint8_t>("electric.electric_b_0", 1);
        set<float>("electric.electric1", 1.0f);
        set<float>("electric.electric2", 2.0f);
        set<float>("electric.electric3", 3.0f);
        set<float>("electric.electric4", 4.0f);
        for (const char* flag : {"electric.electric_b_5", "electric.electric_b_6",
                                 "electric.electric_b_7", "electric.comm1", "electric.comm2"}) {
            set<uint8_t>(flag, 0);
        }
    }
    std::string tick() {
        fire("17_timer3_timer");
        return trace();
    }
    Lamps lamps() {
        return {get<uint8_t>("electric.electric_b_5"), get<uint8_t>("electric.electric_b_6"),
                get<uint8_t>("electric.electric_b_7"), get<uint8_t>("electric.comm1"),
                get<uint8_t>("electric.comm2")};
    }
};

TEST_F(Electrical, FortyTicksFromTheResetValues) {
    const char* tags[4] = {"electric.electric1", "electric.electric2", "electric.electric3",
                           "electric.electric4"};
    const double steps[4] = {1.062, 2.036, 3.032, 4.033};
    const double limits[4] = {70.0, 80.0, 70.0, 90.0};
    const float restarts[4] = {10.0f, 10.0f, 20.0f, 20.0f};
    float values[4] = {1.0f, 2.0f, 3.0f, 4.0f};

    EXPECT_EQ(tick(),
              "set electric.electric_b_7 = 1\nset electric.electric4 = 8.033\n"
              "set electric.electric3 = 6.032\nset electric.electric2 = 4.036\n"
              "set electric.electric1 = 2.062\n");
    for (int t = 1; t <= 40; ++t) {
        if (t > 1) fire("17_timer3_timer");
        for (int i = 0; i < 4; ++i) {
            // Each step in double precision, rounded to single.
            values[i] = static_cast<float>(values[i] + steps[i]);
            if (values[i] > limits[i]) values[i] = restarts[i];
            EXPECT_EQ(get<float>(tags[i]), values[i]) << tags[i] << " tick " << t;
        }
        Lamps expected{0, 0, 1, 0, 0};  // the second value below 30
        if (t >= 14) expected.below_30 = 0;
        if (t >= 24 && t <= 28) expected = {0, 1, 0, 0, 1};
        if (t >= 34 && t <= 38) expected = {1, 0, 0, 1, 0};
        if (t >= 39) expected = {0, 0, 1, 0, 0};  // restarted at 10.0
        EXPECT_EQ(lamps(), expected) << "tick " << t;
    }
    EXPECT_EQ(get<float>("electric.electric2"), 12.036f);
}

TEST_F(Electrical, IndicatorsAreWrittenBeforeLampsAndValues) {
    set<float>("electric.electric2", 68.5f);
    set<uint8_t>("electric.electric_b_6", 1);
    set<uint8_t>("electric.comm2", 1);
    std::string written = tick();
    EXPECT_EQ(written.substr(0, written.find("set electric.electric4")),
              "set electric.comm2 = 0\nset electric.comm1 = 1\nset electric.electric_b_6 = 0\n"
              "set electric.electric_b_5 = 1\n");
}

TEST_F(Electrical, ValuesRestartOnlyAboveTheirLimit) {
    struct Case {
        const char* tag;
        float before;
        float after;
    };
    for (auto [tag, before, after] : {
             Case{"electric.electric1", 69.0f, 10.0f},
             Case{"electric.electric1", 68.9f, static_cast<float>(68.9f + 1.062)},
             Case{"electric.electric2", 78.0f, 10.0f},
             Case{"electric.electric3", 67.0f, 20.0f},
             Case{"electric.electric3", 66.9f, static_cast<float>(66.9f + 3.032)},
             Case{"electric.electric4", 85.967f, 90.0f},  // exactly on the limit: kept
             Case{"electric.electric4", 90.0f, 20.0f},
         }) {
        set<float>(tag, before);
        fire("17_timer3_timer");
        EXPECT_EQ(get<float>(tag), after) << tag << " from " << before;
    }
}

TEST_F(Electrical, LampBoundsAreStrict) {
    struct Case {
        float before;
        float after;
        Lamps lamps;
    };
    for (auto [before, after, expected] : {
             Case{27.964f, 30.0f, {0, 0, 0, 0, 0}},
             Case{27.0f, 29.036f, {0, 0, 1, 0, 0}},
             Case{47.964f, 50.0f, {0, 0, 0, 0, 0}},
             Case{48.464f, 50.5f, {0, 1, 0, 0, 1}},
             Case{57.964f, 60.0f, {0, 0, 0, 0, 0}},
             Case{67.964f, 70.0f, {0, 0, 0, 0, 0}},
             Case{68.5f, 70.536f, {1, 0, 0, 1, 0}},
             Case{-5.0f, -2.964f, {0, 0, 0, 0, 0}},
         }) {
        set<float>("electric.electric2", before);
        set<uint8_t>("electric.electric_b_7", 1);
        fire("17_timer3_timer");
        ASSERT_EQ(get<float>("electric.electric2"), after) << "from " << before;
        EXPECT_EQ(lamps(), expected) << "second value " << after;
    }
}

TEST_F(Electrical, AStoppedTickWritesNothing) {
    set<uint8_t>("electric.electric_b_0", 0);
    set<float>("electric.electric1", 69.0f);
    EXPECT_EQ(tick(), "");
}

TEST_F(Electrical, StartAndStopButtons) {
    set<uint8_t>("electric.electric_b_0", 0);
    fire("17_gradellipse40_click");
    EXPECT_EQ(trace(), "set electric.electric_b_0 = 1\n");
    fire("17_gradellipse40_click");
    EXPECT_EQ(trace(), "");
    fire("17_gradellipse42_click");
    EXPECT_EQ(trace(), "set electric.electric_b_0 = 0\n");
    fire("17_gradellipse42_click");
    EXPECT_EQ(trace(), "");
}

TEST_F(Electrical, HomePictureResetsAndStopsAfterTheWindowCalls) {
    const std::string windows =
        "show main\nhide water\nhide 3\nhide 6\nhide 8\nhide 9\nhide 11\nhide 12\nhide 13\n"
        "hide 15\nhide 16\nhide 17\nhide 18\nhide 20\n";
    set<float>("electric.electric1", 5.5f);
    set<float>("electric.electric3", 7.5f);
    set<float>("electric.electric4", 8.5f);
    fire("17_picture11_click");
    EXPECT_EQ(trace(), windows +
                           "set electric.electric4 = 4\nset electric.electric3 = 3\n"
                           "set electric.electric1 = 1\nset electric.electric_b_0 = 0\n");
    fire("17_picture11_click");
    EXPECT_EQ(trace(), windows);
}

TEST_F(Electrical, InertPicturesAreDistinctAndDoNothing) {
    std::set<hmi_event_func> seen;
    for (const char* key : {"17_picture37_click", "17_picture21_click", "17_picture24_click",
                            "17_picture30_click", "16_bmptext16_click"}) {
        fire(key);
        EXPECT_EQ(trace(host::kAllTopics), "") << key;
        EXPECT_TRUE(seen.insert(event(key)).second) << key << " shares its function";
    }
}

TEST_F(Electrical, Picture92FollowsTheIndicatorsAndStaysPutForOtherValues) {
    struct Case {
        uint8_t comm1, comm2;
        int16_t top, bottom;
    };
    for (auto [comm1, comm2, top, bottom] : {
             Case{0, 1, 241, 303},
             Case{1, 0, 207, 238},
             Case{1, 1, 223, 254},
             Case{0, 0, 261, 292},
             Case{2, 0, -7, -7},  // not a state the indicators take: kept
             Case{0, 2, -7, -7},
             Case{255, 1, -7, -7},
         }) {
        set<uint8_t>("electric.comm1", comm1);
        set<uint8_t>("electric.comm2", comm2);
        for (auto [key, expected] :
             {std::pair{"17_picture92_top", top}, std::pair{"17_picture92_bottom", bottom}}) {
            int16_t position = -7;
            EXPECT_EQ(poll(key, position), expected == -7 ? 0 : 1) << key;
            EXPECT_EQ(position, expected) << key << " at " << +comm1 << ", " << +comm2;
            EXPECT_EQ(poll(key, position), 0) << key;
        }
        // Each reads both indicators.
        EXPECT_EQ(trace(static_cast<unsigned>(Topic::Poll)),
                  "poll electric.comm1\npoll electric.comm2\npoll electric.comm1\n"
                  "poll electric.comm2\npoll electric.comm1\npoll electric.comm2\n"
                  "poll electric.comm1\npoll electric.comm2\n");
    }
}

struct Binding {
    const char* key;
    const char* tag;
    uint32_t at0, at1, at2;  // the property for the tag's byte at 0, 1 and 2
};

TEST_F(Electrical, FlagBindings) {
    for (auto [key, tag, at0, at1, at2] : {
             Binding{"17_bmptext5_visible", "electric.comm1", 0, 1, 2},
             Binding{"17_bmptext3_visible", "electric.comm2", 1, 0, 0},
             Binding{"17_bmptext2_visible", "electric.comm2", 0, 1, 2},
             Binding{"17_bmptext1_visible", "electric.comm1", 1, 0, 0},
             Binding{"17_bmptext49_visible", "electric.comm2", 0, 1, 2},
             Binding{"17_bmptext48_visible", "electric.comm2", 1, 0, 0},
             Binding{"17_bmptext47_visible", "electric.comm1", 1, 0, 0},
             Binding{"17_rectangle46_flash", "electric.comm2", 0, 1, 2},
             Binding{"17_rectangle45_flash", "electric.comm1", 0, 1, 2},
             Binding{"17_rectangle20_visible", "electric.comm2", 0, 1, 2},
             Binding{"17_line24_visible", "electric.electric_b_0", 1, 0, 0},
             Binding{"17_rectangle19_visible", "electric.electric_b_0", 1, 0, 0},
             Binding{"17_rectangle18_visible", "electric.electric_b_0", 1, 0, 0},
             Binding{"17_rectangle1_visible", "electric.comm1", 0, 1, 2},
         }) {
        uint8_t flag = 9;
        for (auto [byte, expected] : {std::pair{0, at0}, std::pair{1, at1}, std::pair{2, at2}}) {
            set<uint8_t>(tag, byte);
            poll(key, flag);
            EXPECT_EQ(flag, expected) << key << " with " << tag << " at " << byte;
        }
    }
}

TEST_F(Electrical, ColourBindings) {
    for (auto [key, tag, at0, at1, at2] : {
             Binding{"17_rectangle46_fillcolor", "electric.comm2", 0x00FF00, 0x0000FF, 0x0000FF},
             Binding{"17_rectangle45_fillcolor", "electric.comm1", 0x00FF00, 0x0000FF, 0x0000FF},
             Binding{"17_gradellipse40_endcolor", "electric.electric_b_0", 0x8CB4D2, 0x00FF00,
                     0x00FF00},
             Binding{"17_light728_fillcolor1", "electric.electric_b_7", 0x00FFFF, 0x00FF00,
                     0x00FF00},
             Binding{"17_light726_fillcolor1", "electric.electric_b_6", 0x00FFFF, 0x00FF00,
                     0x00FF00},
             Binding{"17_light724_fillcolor1", "electric.electric_b_5", 0x00FFFF, 0x00FF00,
                     0x00FF00},
             Binding{"17_curve15_datacolor1", "electric.electric_b_1", 0x8E8E38, 0x00FF00,
                     0x00FF00},
             Binding{"17_curve15_datacolor2", "electric.electric_b_2", 0x8E8E38, 0xFF0000,
                     0xFF0000},
             Binding{"17_curve15_datacolor3", "electric.electric_b_3", 0x8E8E38, 0x0000FF,
                     0x0000FF},
             Binding{"17_curve15_datacolor4", "electric.electric_b_4", 0x8E8E38, 0x00FFFF,
                     0x00FFFF},
         }) {
        uint32_t colour = 0x123456;
        for (auto [byte, expected] : {std::pair{0, at0}, std::pair{1, at1}, std::pair{2, at2}}) {
            set<uint8_t>(tag, byte);
            poll(key, colour);
            EXPECT_EQ(colour, expected) << key << " with " << tag << " at " << byte;
        }
    }
}

TEST_F(Electrical, ValueTextsAndMeters) {
    set<float>("electric.electric1", 12.345f);
    set<float>("electric.electric2", 23.5f);
    set<float>("electric.electric3", 7.0f);
    set<float>("electric.electric4", 90.0f);
    struct Text {
        const char* key;
        const char* shown;
    };
    for (auto [key, shown] : {Text{"17_text8_text", "12.35"}, Text{"17_text52_text", "23.50"},
                              Text{"17_text11_text", "7.00"}, Text{"17_text12_text", "90.00"}}) {
        char text[16] = {};
        EXPECT_EQ(poll(key, text), 1);
        EXPECT_EQ(std::string(text), shown) << key;
    }
    EXPECT_NE(trace(static_cast<unsigned>(Topic::Format)).find("float2str3 23.5 0 2 -> \"23.50\""),
              std::string::npos);

    float meter = 0.0f;
    EXPECT_EQ(poll("17_circleMeter1_value", meter), 1);
    EXPECT_EQ(meter, 12.345f);
    EXPECT_EQ(poll("17_circleMeter48_value", meter), 1);
    EXPECT_EQ(meter, 23.5f);
    EXPECT_EQ(poll("17_circleMeter48_value", meter), 0);
}

}  // namespace
}  // namespace hmi::test
