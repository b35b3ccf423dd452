// The rows of windows "18" and "window" in the exported tables: contiguous, "18"
// first, each window's rows in the panel's order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/library.hpp"

namespace hmi::test {
namespace {

std::vector<std::string> motion_rows(const hmi_func_row* table) {
    std::vector<std::string> keys;
    bool inside = false, left = false;
    for (const hmi_func_row* row = table; row->key != nullptr; ++row) {
        std::string key = row->key;
        bool motion = key.rfind("18_", 0) == 0 || key.rfind("window_", 0) == 0;
        EXPECT_FALSE(motion && left) << key << " stands apart from the other motion rows";
        if (motion) keys.push_back(key);
        left = left || (inside && !motion);
        inside = motion;
    }
    return keys;
}

TEST(MotionRows, EventRowsInThePanelsOrder) {
    EXPECT_EQ(motion_rows(Library::get().event_funcs),
              (std::vector<std::string>{
                  "18_timer2_timer",        "18_picture49_click",     "18_picture38_click",
                  "18_picture37_click",     "18_picture36_click",     "18_picture34_click",
                  "18_picture33_click",     "18_picture4_click",      "18_picture60_click",
                  "18_picture35_click",     "18_window_open",         "window_picture3_click",
                  "window_picture17_click", "window_picture13_click", "window_picture15_click",
                  "window_picture5_click",  "window_picture11_click", "window_picture9_click",
                  "window_picture7_click",  "window_picture19_click", "window_window_close"}));
}

TEST(MotionRows, PropertyRowsInThePanelsOrder) {
    EXPECT_EQ(motion_rows(Library::get().prop_funcs),
              (std::vector<std::string>{
                  "18_bmptext23_visible",    "18_bmptext22_visible",    "18_bmptext10_visible",
                  "18_bmptext8_visible",     "18_timer2_enable",        "18_text46_text",
                  "18_text31_text",          "18_text27_text",          "18_text26_text",
                  "18_text24_text",          "18_text22_text",          "18_text21_text",
                  "18_text20_text",          "18_text16_text",          "18_text15_text",
                  "18_text6_text",           "window_bmptext1_visible", "window_bmptext12_visible",
                  "window_bmptext6_visible", "window_bmptext5_visible"}));
}

}  // namespace
}  // namespace hmi::test
