// Window "6": the simulated samples, the curve picture and the way home.
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

constexpr const char* kSamples[] = {"curve.curvex", "curve.curvey", "curve.curve2", "curve.curve3"};

class Curve : public PanelTest {
  protected:
    Curve() {
        set<uint16_t>("curve.curvex", 10);
        set<uint16_t>("curve.curvey", 10);
        set<uint16_t>("curve.curve2", 20);
        set<uint16_t>("curve.curve3", 20);
    }
};

TEST_F(Curve, EachTickWritesTheFourSamplesLastFirst) {
    fire("6_timer97_timer");
    EXPECT_EQ(trace(),
              "set curve.curve3 = 25\nset curve.curve2 = 24\n"
              "set curve.curvey = 13\nset curve.curvex = 12\n");
}

// Each sample's whole cycle from its reset value: length, top and the value it
// restarts at.
TEST_F(Curve, SamplesRunTheirSawtooths) {
    struct Cycle {
        const char* tag;
        int length;
        uint16_t top, restart;
    } cycles[] = {
        {"curve.curvex", 31, 70, 10},
        {"curve.curvey", 24, 79, 10},
        {"curve.curve2", 13, 68, 20},
        {"curve.curve3", 15, 90, 20},
    };
    std::vector<uint16_t> seen[4];
    for (int tick = 0; tick < 3 * 31; ++tick) {  // three of the longest cycle
        for (int i = 0; i < 4; ++i) seen[i].push_back(get<uint16_t>(kSamples[i]));
        fire("6_timer97_timer");
    }
    for (int i = 0; i < 4; ++i) {
        const Cycle& c = cycles[i];
        const std::vector<uint16_t>& values = seen[i];
        EXPECT_EQ(values[0], c.restart) << c.tag;
        EXPECT_EQ(values[c.length], c.restart) << c.tag;
        EXPECT_EQ(values[c.length - 1], c.top) << c.tag;
        for (size_t t = c.length; t < values.size(); ++t) {
            EXPECT_EQ(values[t], values[t - c.length]) << c.tag << " tick " << t;
        }
        for (int t = 1; t < c.length; ++t) {
            EXPECT_GT(values[t], values[t - 1]) << c.tag << " rises within a cycle";
        }
    }
}

TEST_F(Curve, StepsWrapIn16BitsAndRestartOnlyAboveTheTop) {
    struct Step {
        const char* tag;
        uint16_t before, after;
    } steps[] = {
        {"curve.curvex", 70, 10},   {"curve.curvex", 69, 10}, {"curve.curvex", 68, 70},
        {"curve.curvex", 65535, 1}, {"curve.curvey", 77, 80}, {"curve.curvey", 78, 10},
        {"curve.curvey", 65534, 1}, {"curve.curve2", 66, 70}, {"curve.curve2", 68, 20},
        {"curve.curve2", 65535, 3}, {"curve.curve3", 85, 90}, {"curve.curve3", 86, 20},
        {"curve.curve3", 65535, 4}, {"curve.curve3", 0, 5},
    };
    for (const Step& s : steps) {
        set<uint16_t>(s.tag, s.before);
        fire("6_timer97_timer");
        EXPECT_EQ(get<uint16_t>(s.tag), s.after) << s.tag << " from " << s.before;
    }
    set<uint16_t>("curve.curvex", 65535);
    fire("6_timer97_timer");
    fire("6_timer97_timer");
    EXPECT_EQ(get<uint16_t>("curve.curvex"), 3);  // counts up normally after the wrap
}

TEST_F(Curve, CurvePictureRaisesItsFlag) {
    set<uint8_t>("curve.curve", 0);
    fire("6_picture88_click");
    EXPECT_EQ(trace(), "set curve.curve = 1\n");
    fire("6_picture88_click");
    EXPECT_EQ(trace(), "");
}

TEST_F(Curve, HomePictureShowsMainThenHidesEveryOtherScreen) {
    fire("6_picture91_click");
    EXPECT_EQ(trace(),
              "show main\nhide pic1\nhide pic2\nhide pic3\nhide water\n"
              "hide 1\nhide 2\nhide 3\nhide 4\nhide 5\nhide 6\nhide 7\nhide 8\nhide 9\n"
              "hide 10\nhide 11\nhide 12\nhide 13\nhide 14\nhide 15\nhide 16\nhide 17\n"
              "hide 18\nhide 19\nhide 20\nhide 21\nhide 22\nhide 23\n");
}

}  // namespace
}  // namespace hmi::test
