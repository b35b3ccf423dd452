// The property functions of window "18" and of the axis window.
#include <cstdint>
#include <cstring>
#include <string>

#include "tests/motion/fixture.hpp"

namespace hmi::test {
namespace {

using enum Stored;

class MotionBindings : public MotionPanel {};

struct FlagRow {
    const char* key;
    const char* tag;
    uint8_t value;
    uint8_t shown;
};

TEST_F(MotionBindings, LabelsAndTheTimerFollowTheirFlags) {
    const FlagRow rows[] = {
        {"18_bmptext23_visible", "kelvor.anxis", 0, 1},
        {"18_bmptext23_visible", "kelvor.anxis", 2, 0},
        {"18_bmptext22_visible", "kelvor.anxis", 2, 2},  // the tag's own value
        {"18_bmptext10_visible", "kelvor.automatic", 1, 1},
        {"18_bmptext8_visible", "kelvor.automatic", 1, 0},
        {"18_bmptext8_visible", "kelvor.automatic", 0, 1},
        {"18_timer2_enable", "main.can5", 1, 1},
        {"18_timer2_enable", "main.can5", 0, 0},
        {"window_bmptext1_visible", "kelvor.anxis", 2, 2},
        {"window_bmptext12_visible", "kelvor.anxis", 2, 0},
        {"window_bmptext12_visible", "kelvor.anxis", 0, 1},
        {"window_bmptext6_visible", "kelvor.automatic", 0, 1},
        {"window_bmptext6_visible", "kelvor.automatic", 3, 0},
        {"window_bmptext5_visible", "kelvor.automatic", 3, 3},
    };
    for (const FlagRow& r : rows) {
        set<uint8_t>(r.tag, r.value);
        uint8_t property = r.shown == 0 ? 9 : 0;  // anything else
        EXPECT_EQ(poll(r.key, property), 1) << r.key << " " << int{r.value};
        EXPECT_EQ(property, r.shown) << r.key << " " << int{r.value};
        EXPECT_EQ(poll(r.key, property), 0) << r.key << " " << int{r.value};
        EXPECT_EQ(property, r.shown) << r.key << " " << int{r.value};
    }
}

struct TextRow {
    const char* key;
    const char* tag;
    Stored kind;
    double value;
    const char* shown;
};

TEST_F(MotionBindings, TextsFormatTheirTags) {
    const TextRow rows[] = {
        {"18_text46_text", "kelvor.run_time", U32, 60000, "60000"},
        {"18_text31_text", "kelvor.sum_point", I32, -5, "-5"},
        {"18_text27_text", "system.Second", U8, 7, "7"},
        {"18_text26_text", "system.Minute", U8, 59, "59"},
        {"18_text24_text", "system.Hour", U8, 200, "200"},
        {"18_text22_text", "kelvor.v_Real", U32, 4294967295.0, "4294967296.0"},
        {"18_text21_text", "kelvor.z_Real", U32, 4294967295.0, "4294967296.0"},  // not -1
        {"18_text21_text", "kelvor.z_Real", U32, 16777217, "16777216.0"},
        {"18_text20_text", "kelvor.cur_angle", F32, 12.345, "12.35"},
        {"18_text16_text", "kelvor.num_complate", U16, 42, "0042"},
        {"18_text16_text", "kelvor.num_complate", U16, 65535, "65535"},
        {"18_text15_text", "kelvor.y_Real", F32, 1234.56, "1234.6"},
        {"18_text6_text", "kelvor.x_Real", F32, -0.5, "-0.5"},
    };
    for (const TextRow& r : rows) {
        set_as(r.tag, r.kind, r.value);
        char property[16] = "?";
        EXPECT_EQ(poll(r.key, property), 1) << r.key;
        EXPECT_STREQ(property, r.shown) << r.key;
        EXPECT_EQ(poll(r.key, property), 0) << r.key;  // unchanged: nothing stored
        EXPECT_STREQ(property, r.shown) << r.key;
    }
}

}  // namespace
}  // namespace hmi::test
