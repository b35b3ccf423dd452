// The water treatment windows: the animated process picture "3", its second page
// "21" with the input lamps and two instruments, and the pictures "20" and
// "Equipment", which only lead back home.
#pragma once

#include <stdint.h>

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::water {

void animation_step();
// The tabs of the process picture and of the second page.
void page_tab_on_picture();
void picture_tab_on_picture();
void page_tab_on_page();
void picture_tab_on_page();
// The home pictures.
void home_from_picture();
void home_from_page();
void home_from_window20();
void home_from_equipment();

inline constexpr Row equipment_events[] = {
    on("Equipment_picture17_click", home_from_equipment),
};
inline constexpr Row window20_events[] = {
    on("20_picture5_click", home_from_window20),
};
inline constexpr Row window21_events[] = {
    on("21_button7_click", page_tab_on_page),
    on("21_button6_click", picture_tab_on_page),
    on("21_picture52_click", home_from_page),
};
inline constexpr Row window3_events[] = {
    on("3_button17_click", page_tab_on_picture),
    on("3_button16_click", picture_tab_on_picture),
    on("3_picture4_click", home_from_picture),
    on("3_timer4_timer", animation_step),
};

inline constexpr Row window21_props[] = {
    bind<"21_gradrectangle42_endcolor", colour<"iotest.DI0", kRed, kGreen>>,
    bind<"21_scale28_value", random_percent>,
    bind<"21_circleMeter27_value", random_percent>,
    bind<"21_ellipse16_fillcolor", colour<"iotest.DI2", kRed, kGreen>>,
    bind<"21_rectangle15_fillcolor", colour<"iotest.DI1", kRed, kGreen>>,
};

// A bubble is shown from its threshold on; all bubbles travel with the car.
template <Name Key, uint16_t Threshold>
inline constexpr Row bubble_shown = bind<Key, bubble<"face.mov", Threshold>>;
template <Name Key>
inline constexpr Row bubble_offset = bind<Key, half<"face.mo", Int::I32>>;

inline constexpr Row window3_props[] = {
    bind<"3_digitled3_value", real_of<"face.mo", Int::I32>>,
    bind<"3_rectangle6_visible", flag_is_1<"face.face4">>,
    bind<"3_picture5_xoffset", half<"face.move", Int::I16>>,
    bind<"3_lineflowpipe23_flowstate", word_is_1<"face.face0">>,
    bind<"3_lineflowpipe152_flowstate", word_is_1<"face.face0">>,
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
    bind<"3_motor137_color", colour<"face.face3", kRed, kGreen>>,
    bind<"3_hoisting25_direction", word<"face.face3">>,
    bind<"3_pump413_opencolor", colour<"face.face0", kRed, kGreen>>,
    bind<"3_hoisting8_direction", word<"face.face3">>,
    bind<"3_lineflowpipe12_flowstate", word_is_1<"face.face0">>,
    bind<"3_reactor121_bodyendcolor", colour<"face.face0", kBlack, kTan>>,
    bind<"3_lineflowpipe116_flowstate", word_is_1<"face.face0">>,
    bind<"3_usrcar16_xoffset", half<"face.mo", Int::I32>>,
    bind<"3_usrcar16_direction", word<"face.face5">>,
};

}  // namespace hmi::water
