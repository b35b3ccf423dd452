// Window "9": the four-step animation, its home button and the line properties.
#include <vector>

#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

class Animation : public PanelTest {
  protected:
    Animation() {
        set<uint16_t>("main.state", 1);
        set<uint8_t>("main.down", 0);
        set<uint8_t>("main.flash", 0);
        set<uint8_t>("main.back", 0);
        set<uint8_t>("main.page_open", 1);
    }
    std::string tick() {
        fire("9_timer7_timer");
        return trace();
    }
};

TEST_F(Animation, OpenPageRunsTheFourStepsOverAndOver) {
    EXPECT_EQ(tick(), "set main.state = 2\n");  // lines already dark
    for (int cycle = 0; cycle < 3; ++cycle) {
        EXPECT_EQ(tick(), "set main.back = 1\nset main.flash = 1\nset main.state = 3\n");
        EXPECT_EQ(tick(), "set main.flash = 0\nset main.down = 1\nset main.state = 4\n");
        EXPECT_EQ(tick(), "set main.state = 1\n");  // the pause keeps the lines
        EXPECT_EQ(tick(), "set main.back = 0\nset main.down = 0\nset main.state = 2\n");
    }
}

TEST_F(Animation, ClosedPageAppliesTheStepWithoutMovingOn) {
    set<uint8_t>("main.page_open", 0);
    set<uint16_t>("main.state", 2);
    EXPECT_EQ(tick(), "set main.back = 1\nset main.flash = 1\n");
    EXPECT_EQ(tick(), "");
    set<uint16_t>("main.state", 3);
    EXPECT_EQ(tick(), "set main.flash = 0\nset main.down = 1\n");
    set<uint16_t>("main.state", 4);
    EXPECT_EQ(tick(), "set main.state = 0\n");
    EXPECT_EQ(tick(), "");              // and stays at 0
    set<uint8_t>("main.page_open", 2);  // only 1 runs the animation
    EXPECT_EQ(tick(), "");
    set<uint8_t>("main.page_open", 1);
    EXPECT_EQ(tick(), "set main.state = 1\n");
}

TEST_F(Animation, OtherStepsOnlyCountUpAndWrapAt16Bits) {
    set<uint8_t>("main.back", 1);
    set<uint16_t>("main.state", 7);
    EXPECT_EQ(tick(), "set main.state = 8\n");
    set<uint16_t>("main.state", 65534);
    EXPECT_EQ(tick(), "set main.state = 65535\n");
    EXPECT_EQ(tick(), "set main.state = 0\n");
    EXPECT_EQ(tick(), "set main.state = 1\n");
    EXPECT_EQ(tick(), "set main.back = 0\nset main.state = 2\n");
}

TEST_F(Animation, HomeStopsAndResetsAfterTheWindowCalls) {
    set<uint16_t>("main.state", 3);
    set<uint8_t>("main.down", 1);
    set<uint8_t>("main.flash", 1);
    set<uint8_t>("main.back", 1);
    fire("9_picture1_click");
    EXPECT_EQ(trace(),
              "show main\nhide 9\nset main.back = 0\nset main.down = 0\nset main.flash = 0\n"
              "set main.state = 1\nset main.page_open = 0\n");
    fire("9_picture1_click");
    EXPECT_EQ(trace(), "show main\nhide 9\n");
}

TEST_F(Animation, LinesFollowTheirFlags) {
    const uint32_t kCopy[3] = {0, 1, 2}, kNot[3] = {1, 0, 0};
    struct Rule {
        const char* tag;
        bool negated;
        std::vector<const char*> keys;
    };
    const Rule rules[] = {
        {"main.back",
         false,
         {"9_line1_visible", "9_line2_visible", "9_line3_visible", "9_line5_visible",
          "9_line7_visible", "9_line8_visible", "9_line9_visible", "9_line11_visible",
          "9_line12_visible", "9_line13_visible"}},
        {"main.flash",
         false,
         {"9_line1_flash", "9_line2_flash", "9_line3_flash", "9_line5_flash", "9_line7_flash",
          "9_line8_flash", "9_line9_flash"}},
        {"main.down", false, {"9_line4_visible", "9_line6_visible"}},
        {"main.back", true, {"9_picture2_visible"}},
    };
    for (const Rule& rule : rules) {
        for (const char* key : rule.keys) {
            expect_byte_rule<uint8_t>(key, rule.tag, rule.negated ? kNot : kCopy);
        }
    }
}

}  // namespace
}  // namespace hmi::test
