// Window "8", the dish screen of group `dish`: a lamp with its caption, a display
// switch, a colour-changing ellipse and three calculation buttons (a trigonometric
// expression with a power of ten, a bit of an integer, two texts joined).
#pragma once

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::dish {

void switch_display_on();
void go_home();
void extract_bit();
void join_texts();
void calculate();
void toggle_ellipse();

inline constexpr Row events[] = {
    on("8_button274_click", switch_display_on), on("8_picture272_click", go_home),
    on("8_picture264_click", extract_bit),      on("8_picture263_click", join_texts),
    on("8_picture262_click", calculate),        on("8_gradellipse206_click", toggle_ellipse),
};

inline constexpr Row props[] = {
    bind<"8_text278_visible", flag<"dish.display_w">>,
    bind<"8_text278_text", text_choice<"dish.light", "Ture", "False">>,  // the screen's own caption
    bind<"8_light3277_flash", lamp_flash<"dish.light", "dish.display_w">>,
    bind<"8_light3277_fillcolor1", colour<"dish.light", kRed, kGreen>>,
    bind<"8_text275_visible", flag_not<"dish.display_w">>,
    bind<"8_text242_text", text_of_float<"dish.put18", 0, 2>>,
    bind<"8_text229_text", text_of_long2<"dish.put12", Int::I16, 0>>,
    bind<"8_text225_text", text_of_long2<"dish.put10", Int::I16, 0>>,
    bind<"8_text222_text", text_copy<"dish.put7">>,
    bind<"8_text219_text", text_of_float<"dish.put6", 0, 2>>,
    bind<"8_gradellipse206_endcolor", colour<"dish.return", kTan, kIndigo>>,
};

}  // namespace hmi::dish
