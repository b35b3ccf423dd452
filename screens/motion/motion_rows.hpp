// The handler and property rows of the motion screen "18" and of its axis window
// "window".
#pragma once

#include "screens/motion/motion.hpp"
#include "screens/rows.hpp"

namespace hmi::motion {

constexpr Row window_18_events[] = {
    on("18_timer2_timer", motion_tick),           on("18_picture49_click", request_clear_count),
    on("18_picture38_click", request_stop),       on("18_picture37_click", request_pause),
    on("18_picture36_click", request_continue),   on("18_picture34_click", start_run),
    on("18_picture33_click", go_to_origin),       on("18_picture4_click", leave_and_reset),
    on("18_picture60_click", toggle_axis_window), on("18_picture35_click", toggle_automatic),
    on("18_window_open", open_motion_screen),
};

constexpr Row window_window_events[] = {
    on("window_picture3_click", leave_axis_window),
    on("window_picture17_click", select_axis<Axis::Z>),
    on("window_picture13_click", select_axis<Axis::U>),
    on("window_picture15_click", select_axis<Axis::Y>),
    on("window_picture5_click", select_axis<Axis::V>),
    on("window_picture11_click", zero_pending_start),
    on("window_picture9_click", select_axis<Axis::X>),
    on("window_picture7_click", toggle_axis_mode),
    on("window_picture19_click", toggle_automatic_in_axis_window),
    on("window_window_close", clear_axes_on_close),
};

// Labels follow the axis-window mode and automatic mode; the texts show the run
// time, the counters, the clock, the angle and the positions.
constexpr Row window_18_properties[] = {
    bind<"18_bmptext23_visible", flag_is_0<"kelvor.anxis">>,
    bind<"18_bmptext22_visible", flag_copy<"kelvor.anxis">>,
    bind<"18_bmptext10_visible", flag_copy<"kelvor.automatic">>,
    bind<"18_bmptext8_visible", flag_is_0<"kelvor.automatic">>,
    bind<"18_timer2_enable", flag_copy<"main.can5">>,
    bind<"18_text46_text", text_of_integer_option<"kelvor.run_time", Int::U32, 0>>,
    bind<"18_text31_text", text_of_integer_option<"kelvor.sum_point", Int::I32, 0>>,
    bind<"18_text27_text", text_of_integer_option<"system.Second", Int::U8, 0>>,
    bind<"18_text26_text", text_of_integer_option<"system.Minute", Int::U8, 0>>,
    bind<"18_text24_text", text_of_integer_option<"system.Hour", Int::U8, 0>>,
    bind<"18_text22_text", text_of_unsigned_decimal<"kelvor.v_Real", 0, 1>>,
    bind<"18_text21_text", text_of_unsigned_decimal<"kelvor.z_Real", 0, 1>>,
    bind<"18_text20_text", text_of_decimal<"kelvor.cur_angle", 0, 2>>,
    bind<"18_text16_text", text_of_integer_option<"kelvor.num_complate", Int::U16, 4>>,
    bind<"18_text15_text", text_of_decimal<"kelvor.y_Real", 0, 1>>,
    bind<"18_text6_text", text_of_decimal<"kelvor.x_Real", 0, 1>>,
};

constexpr Row window_window_properties[] = {
    bind<"window_bmptext1_visible", flag_copy<"kelvor.anxis">>,
    bind<"window_bmptext12_visible", flag_is_0<"kelvor.anxis">>,
    bind<"window_bmptext6_visible", flag_is_0<"kelvor.automatic">>,
    bind<"window_bmptext5_visible", flag_copy<"kelvor.automatic">>,
};

}  // namespace hmi::motion
