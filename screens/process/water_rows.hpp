// The handler and property rows of the water treatment windows "3", "21", "20" and
// "Equipment".
#pragma once

#include "screens/process/water.hpp"
#include "screens/rows.hpp"

namespace hmi::water {

constexpr Row window_Equipment_events[] = {
    on("Equipment_picture17_click", home_from_equipment),
};

constexpr Row window_20_events[] = {
    on("20_picture5_click", home_from_window20),
};

constexpr Row window_21_events[] = {
    on("21_button7_click", page_tab_on_page),
    on("21_button6_click", picture_tab_on_page),
    on("21_picture52_click", home_from_page),
};

constexpr Row window_3_events[] = {
    on("3_button17_click", page_tab_on_picture),
    on("3_button16_click", picture_tab_on_picture),
    on("3_picture4_click", home_from_picture),
    on("3_timer4_timer", animation_step),
};

constexpr Row window_21_properties[] = {
    bind<"21_gradrectangle42_endcolor", colour_by_flag<"iotest.DI0", kRed, kGreen>>,
    bind<"21_scale28_value", value_random_percent>,
    bind<"21_circleMeter27_value", value_random_percent>,
    bind<"21_ellipse16_fillcolor", colour_by_flag<"iotest.DI2", kRed, kGreen>>,
    bind<"21_rectangle15_fillcolor", colour_by_flag<"iotest.DI1", kRed, kGreen>>,
};

// A bubble is shown from its threshold on; all bubbles travel with the car.
template <Name Key, uint16_t Threshold>
constexpr Row bubble_shown = bind<Key, flag_in_range<"face.mov", Threshold, kBubbles>>;
template <Name Key>
constexpr Row bubble_offset = bind<Key, position_copy<"face.mo", Int::I32>>;

constexpr Row window_3_properties[] = {
    bind<"3_digitled3_value", value_of_integer<"face.mo", Int::I32>>,
    bind<"3_rectangle6_visible", flag_is_1<"face.face4">>,
    bind<"3_picture5_xoffset", position_copy<"face.move", Int::I16>>,
    bind<"3_lineflowpipe23_flowstate", state_is_1<"face.face0">>,
    bind<"3_lineflowpipe152_flowstate", state_is_1<"face.face0">>,
    bubble_shown<"3_gradellipse51_visible", 7>,
    bubble_offset<"3_gradellipse51_xoffset">,
    bubble_shown<"3_gradellipse50_visible", 8>,
    bubble_offset<"3_gradellipse50_xoffset">,
    bubble_shown<"3_gradellipse49_visible", 9>,
    bubble_offset<"3_gradellipse49_xoffset">,
    bubble_shown<"3_gradellipse48_visible", 4>,
    bubble_offset<"3_gradellipse48_xoffset">,
    bubble_shown<"3_gradellipse47_visible", 5>,
    bubble_offset<"3_gradellipse47_xoffset">,
    bubble_shown<"3_gradellipse46_visible", 6>,
    bubble_offset<"3_gradellipse46_xoffset">,
    bubble_shown<"3_gradellipse45_visible", 1>,
    bubble_offset<"3_gradellipse45_xoffset">,
    bubble_shown<"3_gradellipse44_visible", 2>,
    bubble_offset<"3_gradellipse44_xoffset">,
    bubble_shown<"3_gradellipse43_visible", 3>,
    bubble_offset<"3_gradellipse43_xoffset">,
    bind<"3_motor137_color", colour_by_flag<"face.face3", kRed, kGreen>>,
    bind<"3_hoisting25_direction", state_copy<"face.face3">>,
    bind<"3_pump413_opencolor", colour_by_flag<"face.face0", kRed, kGreen>>,
    bind<"3_hoisting8_direction", state_copy<"face.face3">>,
    bind<"3_lineflowpipe12_flowstate", state_is_1<"face.face0">>,
    bind<"3_reactor121_bodyendcolor", colour_by_flag<"face.face0", kBlack, kTan>>,
    bind<"3_lineflowpipe116_flowstate", state_is_1<"face.face0">>,
    bind<"3_usrcar16_xoffset", position_copy<"face.mo", Int::I32>>,
    bind<"3_usrcar16_direction", state_copy<"face.face5">>,
};

}  // namespace hmi::water
