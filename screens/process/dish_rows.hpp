// The handler and property rows of window "8".
#pragma once

#include "screens/process/dish.hpp"
#include "screens/rows.hpp"

namespace hmi::dish {

constexpr Row window_8_events[] = {
    on("8_button274_click", switch_display_on), on("8_picture272_click", go_home),
    on("8_picture264_click", extract_bit),      on("8_picture263_click", join_texts),
    on("8_picture262_click", calculate),        on("8_gradellipse206_click", toggle_ellipse),
};

constexpr Row window_8_properties[] = {
    bind<"8_text278_visible", flag_copy<"dish.display_w">>,
    bind<"8_text278_text", text_by_flag<"dish.light", "False", "Ture">>,  // the screen's caption
    bind<"8_light3277_flash", flag_off_and_on<"dish.light", "dish.display_w">>,
    bind<"8_light3277_fillcolor1", colour_by_flag<"dish.light", kRed, kGreen>>,
    bind<"8_text275_visible", flag_is_0<"dish.display_w">>,
    bind<"8_text242_text", text_of_decimal<"dish.put18", 0, 2>>,
    bind<"8_text229_text", text_of_integer_option<"dish.put12", Int::I16, 0>>,
    bind<"8_text225_text", text_of_integer_option<"dish.put10", Int::I16, 0>>,
    bind<"8_text222_text", text_copy<"dish.put7">>,
    bind<"8_text219_text", text_of_decimal<"dish.put6", 0, 2>>,
    bind<"8_gradellipse206_endcolor", colour_by_flag<"dish.return", kTan, kIndigo>>,
};

}  // namespace hmi::dish
