// The water treatment windows: the animation of window "3" tick by tick, its
// stop, hold and resume, its 16-bit edges, the bubbles and offsets, the bindings
// of windows "3" and "21", and the navigation of all four windows.
#include <climits>
#include <cstdlib>
#include <set>

#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

// The tags the animation writes.
struct Animation {
    int move, mov, mo, face4, face5;
    bool operator==(const Animation&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Animation& a) {
    return out << "move " << a.move << " mov " << a.mov << " mo " << a.mo << " face4 " << a.face4
               << " face5 " << a.face5;
}

class Water : public PanelTest {
  protected:
    Water() {
        set<uint8_t>("face.face3", 1);
        set<uint8_t>("face.face0", 1);
        put({0, 0, 0, 0, 0});
    }
    void put(const Animation& a) {
        set<int16_t>("face.move", static_cast<int16_t>(a.move));
        set<int16_t>("face.mov", static_cast<int16_t>(a.mov));
        set<int32_t>("face.mo", a.mo);
        set<uint8_t>("face.face4", static_cast<uint8_t>(a.face4));
        set<uint8_t>("face.face5", static_cast<uint8_t>(a.face5));
    }
    Animation now() {
        return {get<int16_t>("face.move"), get<int16_t>("face.mov"), get<int32_t>("face.mo"),
                get<uint8_t>("face.face4"), get<uint8_t>("face.face5")};
    }
    std::string tick() {
        fire("3_timer4_timer");
        return trace();
    }
};

// Where the animation stands after tick t of a cycle started from the reset state.
Animation after_tick(int t) {
    if (t <= 11) return {10 * t, 0, 0, 0, 0};            // the picture slides
    if (t <= 20) return {120, t - 11, 0, 1, 0};          // one more bubble a tick
    if (t <= 38) return {120, 9, -20 * (t - 20), 1, 1};  // bubbles and car travel
    return {0, 0, 0, 0, 0};                              // the cycle restarts
}

TEST_F(Water, ACycleLasts39TicksAndTheNextBeginsAtTen) {
    for (int t = 1; t <= 39; ++t) {
        fire("3_timer4_timer");
        ASSERT_EQ(now(), after_tick(t)) << "tick " << t;
    }
    fire("3_timer4_timer");
    EXPECT_EQ(now(), (Animation{10, 0, 0, 0, 0}));
}

TEST_F(Water, WritesGoMoFirstAndOnlyWhatChanged) {
    put(after_tick(11));
    EXPECT_EQ(tick(), "set face.mov = 1\nset face.face4 = 1\nset face.move = 120\n");
    put(after_tick(20));
    EXPECT_EQ(tick(), "set face.mo = -20\nset face.face5 = 1\n");
    put(after_tick(38));
    EXPECT_EQ(tick(),
              "set face.mo = 0\nset face.face5 = 0\nset face.mov = 0\nset face.face4 = 0\n"
              "set face.move = 0\n");
}

TEST_F(Water, StopResetsAllButTheCarDirectionAndResumeStartsOver) {
    put(after_tick(25));
    set<uint8_t>("face.face3", 0);
    EXPECT_EQ(tick(), "set face.mo = 0\nset face.mov = 0\nset face.face4 = 0\nset face.move = 0\n");
    EXPECT_EQ(tick(), "");
    EXPECT_EQ(get<uint8_t>("face.face5"), 1);

    set<uint8_t>("face.face3", 1);
    EXPECT_EQ(tick(), "set face.move = 10\n");
    for (int t = 2; t <= 20; ++t) fire("3_timer4_timer");
    EXPECT_EQ(now(), (Animation{120, 9, 0, 1, 1}));  // the car still faces its old way
}

TEST_F(Water, OtherRunValuesHoldThePicture) {
    put(after_tick(25));
    for (uint8_t run : {2, 255}) {
        set<uint8_t>("face.face3", run);
        EXPECT_EQ(tick(), "") << +run;
    }
}

TEST_F(Water, StepsInSixteenBitsWithSignedComparisons) {
    struct Case {
        Animation before, after;
    };
    for (auto [before, after] : {
             Case{{115, 0, 0, 0, 0}, {120, 1, 0, 1, 0}},
             Case{{-50, 5, 0, 0, 0}, {-40, 5, 0, 0, 0}},
             Case{{120, 9, -340, 1, 1}, {120, 9, -360, 1, 1}},
             Case{{120, 9, -360, 1, 1}, {0, 0, 0, 0, 0}},  // -380 is not above -380
             Case{{120, 9, 100, 0, 0}, {120, 9, 80, 1, 1}},
             // The slide wraps to a negative offset and keeps sliding.
             Case{{32765, 0, 0, 0, 0}, {-32761, 0, 0, 0, 0}},
             // The bubble count wraps to a negative count: bubbles again.
             Case{{120, 32767, 0, 0, 0}, {120, -32768, 0, 1, 0}},
             // An offset below the travel's end restarts, even at the 32-bit minimum.
             Case{{120, 9, -1000, 1, 1}, {0, 0, 0, 0, 0}},
             Case{{120, 9, INT_MIN, 1, 1}, {0, 0, 0, 0, 0}},
         }) {
        put(before);
        fire("3_timer4_timer");
        EXPECT_EQ(now(), after) << "from " << before;
    }
}

TEST_F(Water, BubblesShowFromTheirThresholdUpToNine) {
    struct Bubble {
        const char* key;
        int threshold;
    };
    const Bubble bubbles[] = {
        {"3_gradellipse45_visible", 1}, {"3_gradellipse44_visible", 2},
        {"3_gradellipse43_visible", 3}, {"3_gradellipse48_visible", 4},
        {"3_gradellipse47_visible", 5}, {"3_gradellipse46_visible", 6},
        {"3_gradellipse51_visible", 7}, {"3_gradellipse50_visible", 8},
        {"3_gradellipse49_visible", 9},
    };
    for (int count : {-1, 0, 1, 5, 8, 9, 10, 32767}) {
        set<int16_t>("face.mov", static_cast<int16_t>(count));
        for (auto [key, threshold] : bubbles) {
            uint8_t visible = 7;
            poll(key, visible);
            // A negative count is a large unsigned one: no bubble.
            EXPECT_EQ(visible, count >= threshold && count <= 9 ? 1 : 0) << key << " at " << count;
        }
    }
}

TEST_F(Water, BubblesAndCarTravelWithTheLow16BitsOfTheOffset) {
    const char* offsets[] = {
        "3_gradellipse51_xoffset", "3_gradellipse50_xoffset", "3_gradellipse49_xoffset",
        "3_gradellipse48_xoffset", "3_gradellipse47_xoffset", "3_gradellipse46_xoffset",
        "3_gradellipse45_xoffset", "3_gradellipse44_xoffset", "3_gradellipse43_xoffset",
        "3_usrcar16_xoffset",
    };
    struct Case {
        int32_t mo;
        int16_t offset;
        float shown;
    };
    for (auto [mo, offset, shown] :
         {Case{-100, -100, -100.0f}, Case{70000, 4464, 70000.0f}, Case{-40000, 25536, -40000.0f}}) {
        set<int32_t>("face.mo", mo);
        for (const char* key : offsets) {
            int16_t value = 0;
            EXPECT_EQ(poll(key, value), 1) << key;
            EXPECT_EQ(value, offset) << key << " at " << mo;
            EXPECT_EQ(poll(key, value), 0) << key;
        }
        float display = 0.0f;
        poll("3_digitled3_value", display);
        EXPECT_EQ(display, shown);
    }
    set<int16_t>("face.move", -40);
    int16_t slide = 0;
    poll("3_picture5_xoffset", slide);
    EXPECT_EQ(slide, -40);
}

struct Binding {
    const char* key;
    const char* tag;
    uint32_t at0, at1, at2;  // the property for the tag's byte at 0, 1 and 2
};

// 4-byte properties: colours, flow states, directions.
TEST_F(Water, WordBindings) {
    constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kTan = 0x8CB4D2;
    for (auto [key, tag, at0, at1, at2] : {
             Binding{"3_lineflowpipe23_flowstate", "face.face0", 0, 1, 0},
             Binding{"3_lineflowpipe152_flowstate", "face.face0", 0, 1, 0},
             Binding{"3_lineflowpipe12_flowstate", "face.face0", 0, 1, 0},
             Binding{"3_lineflowpipe116_flowstate", "face.face0", 0, 1, 0},
             Binding{"3_pump413_opencolor", "face.face0", kRed, kGreen, kGreen},
             Binding{"3_reactor121_bodyendcolor", "face.face0", 0x000000, kTan, kTan},
             Binding{"3_motor137_color", "face.face3", kRed, kGreen, kGreen},
             Binding{"3_hoisting25_direction", "face.face3", 0, 1, 2},
             Binding{"3_hoisting8_direction", "face.face3", 0, 1, 2},
             Binding{"3_usrcar16_direction", "face.face5", 0, 1, 2},
             Binding{"21_gradrectangle42_endcolor", "iotest.DI0", kRed, kGreen, kGreen},
             Binding{"21_ellipse16_fillcolor", "iotest.DI2", kRed, kGreen, kGreen},
             Binding{"21_rectangle15_fillcolor", "iotest.DI1", kRed, kGreen, kGreen},
         }) {
        uint32_t value = 0x123456;
        for (auto [byte, expected] : {std::pair{0, at0}, std::pair{1, at1}, std::pair{2, at2}}) {
            set<uint8_t>(tag, byte);
            poll(key, value);
            EXPECT_EQ(value, expected) << key << " with " << tag << " at " << byte;
        }
    }
}

TEST_F(Water, LampOfTheBubblePhaseShowsOnlyForOne) {
    for (auto [byte, expected] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{2, 0}}) {
        set<uint8_t>("face.face4", byte);
        uint8_t visible = 9;
        poll("3_rectangle6_visible", visible);
        EXPECT_EQ(visible, expected) << byte;
    }
}

TEST_F(Water, SecondPageInstrumentsShowANewRandomPercentAtEveryPoll) {
    for (const char* key : {"21_scale28_value", "21_circleMeter27_value"}) {
        for (unsigned seed : {3u, 4u}) {
            std::srand(seed);
            float first = static_cast<float>(std::rand() % 100);
            float second = static_cast<float>(std::rand() % 100);
            std::srand(seed);
            float value = -1.0f;
            EXPECT_EQ(poll(key, value), 1);
            EXPECT_EQ(value, first) << key;
            EXPECT_EQ(poll(key, value), first == second ? 0 : 1);
            EXPECT_EQ(value, second) << key;
        }
    }
}

TEST_F(Water, NavigationMakesItsTwoWindowCallsAndNothingElse) {
    struct Case {
        const char* key;
        const char* calls;
    };
    std::set<hmi_event_func> seen;
    for (auto [key, calls] : {
             Case{"3_button17_click", "show 21\nhide 3\n"},
             Case{"3_button16_click", "show 3\nhide 21\n"},
             Case{"3_picture4_click", "show main\nhide 3\n"},
             Case{"21_button7_click", "show 21\nhide 3\n"},
             Case{"21_button6_click", "show 3\nhide 21\n"},
             Case{"21_picture52_click", "show main\nhide 21\n"},
             Case{"20_picture5_click", "show main\nhide 20\n"},
             Case{"Equipment_picture17_click", "show main\nhide Equipment\n"},
         }) {
        fire(key);
        EXPECT_EQ(trace(host::kAllTopics), calls) << key;
        EXPECT_TRUE(seen.insert(event(key)).second) << key << " shares its function";
    }
}

}  // namespace
}  // namespace hmi::test
